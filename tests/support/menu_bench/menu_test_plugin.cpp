// A setting-page plug-in for the menu tests: answers as its control block says and logs
// every call. Built as several libraries from this one source, so that a menu can name
// several plug-ins; MENU_TEST_NO_MENU_NAME leaves out FORMVIEWDLL_GetMenuName and
// MENU_TEST_NO_ACTIVE_VIEW a required export.
#include "test_plugin_control.h"

namespace {

TestPluginControl g_control{};

void Log(int32_t function, int32_t argument)
{
    TestPluginControl& c = g_control;
    const int32_t sequence = c.sequence ? (*c.sequence)++ : 0;
    if (c.callCount < TEST_PLUGIN_MAX_CALLS)
        c.calls[c.callCount++] = TestPluginCall{function, argument, sequence};
}

[[maybe_unused]] int32_t Length(const QpuChar16* text)
{
    int32_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

} // namespace

QPU_EXPORT TestPluginControl* MenuTestPlugin_Control(void)
{
    return &g_control;
}

QPU_EXPORT int32_t FORMVIEWDLL_Initialize(void* mainFrame, void* pagePane, AppState* state)
{
    Log(kCallInitialize, 0);
    g_control.initFrame = mainFrame;
    g_control.initPane = pagePane;
    g_control.initState = state;
    return g_control.initializeResult;
}

QPU_EXPORT int32_t FORMVIEWDLL_Finalize(void)
{
    Log(kCallFinalize, 0);
    return 0;
}

#ifndef MENU_TEST_NO_ACTIVE_VIEW
QPU_EXPORT void* FORMVIEWDLL_GetActiveView(void)
{
    return nullptr;
}
#endif

#ifndef MENU_TEST_NO_MENU_NAME
QPU_EXPORT int32_t FORMVIEWDLL_GetMenuName(const QpuChar16* key, int32_t keyLength,
                                           QpuChar16* buffer, int32_t bufferLength,
                                           int32_t* required)
{
    TestPluginControl& c = g_control;
    Log(kCallGetMenuName, buffer ? bufferLength : -1);
    c.lastMenuKeyNull = key == nullptr;
    int32_t k = 0;
    for (; key && k < keyLength && k < TEST_PLUGIN_TEXT_UNITS - 1; ++k)
        c.lastMenuKey[k] = key[k];
    c.lastMenuKey[k] = 0;
    if (c.menuNameMode == kMenuNameFails)
        return -3;

    QpuChar16 text[2 * TEST_PLUGIN_TEXT_UNITS] = {};
    int32_t length = 0;
    for (int32_t i = 0; i < Length(c.menuName); ++i)
        text[length++] = c.menuName[i];
    text[length++] = u':';
    for (int32_t i = 0; i < k; ++i)
        text[length++] = c.lastMenuKey[i];
    const int32_t needed = length + 1;
    if (!buffer || bufferLength < needed || c.menuNameMode == kMenuNameShortOnce) {
        if (required)
            *required = needed;
        return QPU_PLUGIN_BUFFER_TOO_SMALL;
    }
    for (int32_t i = 0; i < needed; ++i)
        buffer[i] = text[i];
    return 0;
}
#endif

QPU_EXPORT int32_t FORMVIEWDLL_GetPluginInfo(PluginInfo* info)
{
    Log(kCallGetPluginInfo, 0);
    *info = g_control.ownBlock;
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_GetDependPluginData(PluginInfo* list, int32_t* count)
{
    Log(kCallGetDependPluginData, list ? *count : -1);
    if (!list) {
        *count = g_control.dependCount;
        return 0;
    }
    for (int32_t i = 0; i < *count && i < g_control.dependCount; ++i)
        list[i] = g_control.depends[i];
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_SetDefaltDataToPluginDataMgr(uint32_t blockId)
{
    Log(kCallSetDefaultData, static_cast<int32_t>(blockId));
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_ChangeMenuState(int32_t state)
{
    Log(kCallChangeMenuState, state);
    return state == QPU_MENU_STATE_LEAVE ? g_control.leaveResult : 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_ReadPrinterSettings(void)
{
    Log(kCallReadPrinterSettings, 0);
    return QPU_READ_ALL_DONE;
}
