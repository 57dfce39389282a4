// The control block of the menu test plug-ins. A test opens a plug-in library itself
// (the host's later load shares the same instance), takes this block from the export
// MenuTestPlugin_Control, sets how the plug-in answers and reads back the calls it got.
#pragma once

#include <qpu/plugin.h>

enum TestPluginFunction
{
    kCallInitialize = 1,
    kCallFinalize,
    kCallGetMenuName,
    kCallGetPluginInfo,
    kCallGetDependPluginData,
    kCallSetDefaultData,
    kCallChangeMenuState,
    kCallReadPrinterSettings,
};

// How FORMVIEWDLL_GetMenuName answers.
enum TestMenuNameMode
{
    kMenuNameTwoCalls = 0, // -8 with the length, then the text
    kMenuNameFails = 1,    // -3 at once
    kMenuNameShortOnce = 2 // the second call asks for more again (-8)
};

typedef struct TestPluginCall
{
    int32_t function;
    int32_t argument;
    int32_t sequence; // position among the calls of all test plug-ins
} TestPluginCall;

#define TEST_PLUGIN_MAX_CALLS 256
#define TEST_PLUGIN_MAX_DEPENDS 8
#define TEST_PLUGIN_TEXT_UNITS 64

typedef struct TestPluginControl
{
    int32_t initializeResult;
    int32_t leaveResult; // answer to ChangeMenuState(1)
    PluginInfo ownBlock;
    int32_t dependCount;
    PluginInfo depends[TEST_PLUGIN_MAX_DEPENDS];
    int32_t menuNameMode;
    QpuChar16 menuName[TEST_PLUGIN_TEXT_UNITS]; // the text is menuName + ':' + key
    QpuChar16 lastMenuKey[TEST_PLUGIN_TEXT_UNITS];
    int32_t lastMenuKeyNull;
    void* initFrame;
    void* initPane;
    AppState* initState;
    int32_t* sequence; // shared counter of the test, may be null
    int32_t callCount;
    TestPluginCall calls[TEST_PLUGIN_MAX_CALLS];
} TestPluginControl;

typedef TestPluginControl* (*MenuTestPlugin_Control_t)(void);
