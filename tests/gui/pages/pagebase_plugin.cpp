// A setting-page plug-in for the page-base tests. Built as several libraries from this one
// source, so that a menu can hold several loaded plug-ins with their own answers.
#include "pagebase_plugin_control.h"

#include <pthread.h>

namespace {

PagebaseTestPluginControl g_control{1, 0, 0, nullptr, 0};

} // namespace

QPU_EXPORT PagebaseTestPluginControl* PagebaseTestPlugin_Control(void)
{
    return &g_control;
}

QPU_EXPORT int32_t FORMVIEWDLL_Initialize(void*, void*, AppState*)
{
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_Finalize(void)
{
    return 0;
}

QPU_EXPORT void* FORMVIEWDLL_GetActiveView(void)
{
    return nullptr;
}

QPU_EXPORT int32_t FORMVIEWDLL_ChangeMenuState(int32_t)
{
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_GetPluginInfo(PluginInfo*)
{
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_GetDependPluginData(PluginInfo*, int32_t* count)
{
    if (count != nullptr)
        *count = 0;
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_SetDefaltDataToPluginDataMgr(uint32_t)
{
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_ReadPrinterSettings(void)
{
    ++g_control.readCalls;
    g_control.readThread = static_cast<unsigned long>(pthread_self());
    g_control.readOrder = g_control.sequence != nullptr ? (*g_control.sequence)++ : 0;
    return g_control.readResult;
}
