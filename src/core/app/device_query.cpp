#include "app/device_query.h"

#include "app/fixed_text.h"
#include "comm/comm_lib_binding.h"
#include "platform/library.h"
#include "platform/log_categories.h"

#include <qpu/prtinf.h>

void QueryDeviceId(AppState& state, int32_t startupCommResult)
{
    state.deviceId = 0;
    // The library talks to the printer through the binding; without one there is nothing
    // it could ask.
    if (startupCommResult != QPC_OK || !state.commLib)
        return;
    platform::Library library;
    if (!library.Load(QLatin1String(PRTINF_LIBRARY_NAME), FixedText(state.programFolder))) {
        qCWarning(lcPrtInf).noquote()
            << "no device ID: library not loaded:" << library.ErrorString();
        return;
    }
    const auto initialize = library.ResolveAs<PrtInf_Initialize_t>("Initialize");
    const auto finalize = library.ResolveAs<PrtInf_Finalize_t>("Finalize");
    const auto getDeviceId = library.ResolveAs<PrtInf_GetDeviceID_t>("GetDeviceID");
    if (!initialize || !finalize || !getDeviceId) {
        qCWarning(lcPrtInf).noquote()
            << "no device ID:" << library.FilePath() << "lacks an entry point";
        return;
    }
    PrtInfHandle handle = initialize(state.commLib);
    if (!handle)
        return;
    int32_t id = 0;
    if (getDeviceId(handle, &id) == PRTINF_OK)
        state.deviceId = id;
    finalize(&handle);
}

void QueryFeatureFlags(AppState& state, int32_t startupCommResult)
{
    const CommLibTable* table = state.commLib;
    state.command1_14_48Enabled = 0;
    int32_t enabled = 0;
    if (QpcCall(table, &CommLibTable::IsEnableCommand, 1, 14, 48, &enabled) == QPC_OK &&
        enabled != 0)
        state.command1_14_48Enabled = 1;
    if (startupCommResult == QPC_OK && IsCommLibBound(table)) {
        int32_t supported = 0;
        QpcCall(table, &CommLibTable::IsSupported, 100, &supported);
        if (supported != 0)
            state.feature100Supported = 1;
    }
}
