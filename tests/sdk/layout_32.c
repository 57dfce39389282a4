/* Compiled for a 32-bit target by the test suite: there every offset and size of the
 * contract records equals the original layout, pointers included. The headers assert their
 * own layout; these asserts restate the 32-bit numbers independently of the header's
 * offset formula. */
#include <qpu/app_state.h>
#include <qpu/comm_lib.h>
#include <qpu/data_block.h>
#include <qpu/plugin.h>
#include <qpu/port_info.h>
#include <qpu/prtinf.h>

_Static_assert(sizeof(void*) == 4, "built for a 32-bit target");
_Static_assert(sizeof(AppState) == 11648, "AppState size");
_Static_assert(offsetof(AppState, commLib) == 8440, "AppState.commLib");
_Static_assert(offsetof(AppState, dataMgr) == 8444, "AppState.dataMgr");
_Static_assert(offsetof(AppState, programFolder) == 8448, "AppState.programFolder");
_Static_assert(offsetof(AppState, tempFolder) == 8968, "AppState.tempFolder");
_Static_assert(offsetof(AppState, settingsFolder) == 9488, "AppState.settingsFolder");
_Static_assert(offsetof(AppState, languageFolder) == 10008, "AppState.languageFolder");
_Static_assert(offsetof(AppState, outputFile) == 10528, "AppState.outputFile");
_Static_assert(offsetof(AppState, logoFile) == 11048, "AppState.logoFile");
_Static_assert(offsetof(AppState, appLock) == 11568, "AppState.appLock");
_Static_assert(offsetof(AppState, enableFlexibleFont) == 11572, "AppState.enableFlexibleFont");
_Static_assert(offsetof(AppState, enableFontA) == 11576, "AppState.enableFontA");
_Static_assert(offsetof(AppState, feature100Supported) == 11604, "AppState.feature100Supported");
_Static_assert(offsetof(AppState, command1_14_48Enabled) == 11612, "AppState.command flag");
_Static_assert(offsetof(AppState, commIfSlots) == 11616, "AppState.commIfSlots");
_Static_assert(offsetof(AppState, defaultCommIf) == 11636, "AppState.defaultCommIf");
_Static_assert(offsetof(AppState, reserved2) == 11640, "AppState.reserved2");
_Static_assert(offsetof(AppState, deviceId) == 11644, "AppState.deviceId");
_Static_assert(sizeof(CommLibTable) == 188, "CommLibTable size");
_Static_assert(offsetof(CommLibTable, GetCaller) == 184, "CommLibTable.GetCaller");
_Static_assert(sizeof(PortInfo) == 5764, "PortInfo size");
_Static_assert(sizeof(PluginInfo) == 12, "PluginInfo size");
_Static_assert(sizeof(DataBlockHeader) == 32, "DataBlockHeader size");

int qpu_layout_32(void)
{
    return (int)sizeof(AppState);
}
