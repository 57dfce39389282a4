/* The setting-page plug-in interface: PluginInfo and the FORMVIEWDLL_* exports.
 * All exports use the C calling convention with 32-bit arguments and results. */
#pragma once

#include "app_state.h"
#include "qpu_types.h"

typedef struct PluginInfo
{
    uint32_t blockId;
    uint32_t blockVersion;
    uint32_t blockSize; /* total size in bytes, header included */
} PluginInfo;

QPU_STATIC_ASSERT(sizeof(PluginInfo) == 12, "PluginInfo size");
QPU_STATIC_ASSERT(offsetof(PluginInfo, blockId) == 0, "PluginInfo layout");
QPU_STATIC_ASSERT(offsetof(PluginInfo, blockVersion) == 4, "PluginInfo layout");
QPU_STATIC_ASSERT(offsetof(PluginInfo, blockSize) == 8, "PluginInfo layout");

/* FORMVIEWDLL_ChangeMenuState arguments and the refusal to be left. */
#define QPU_MENU_STATE_LEAVE 1
#define QPU_MENU_STATE_ENTER 2
#define QPU_MENU_STATE_RESELECT 3
#define QPU_MENU_STATE_REFUSE (-5)

/* FORMVIEWDLL_GetMenuName: the buffer is too small; the required length is set. */
#define QPU_PLUGIN_BUFFER_TOO_SMALL (-8)

/* FORMVIEWDLL_ReadPrinterSettings results. */
#define QPU_READ_ALL_DONE 1
#define QPU_READ_STOP (-64)

/* mainFrame and pagePane are the QWidget* of the main frame and of the page area.
 * 0: ready; anything else drops the menu entry. */
typedef int32_t (*FORMVIEWDLL_Initialize_t)(void* mainFrame, void* pagePane, AppState* state);
/* key: null when empty. First call with a null buffer sets *required (characters). */
typedef int32_t (*FORMVIEWDLL_GetMenuName_t)(const QpuChar16* key, int32_t keyLength,
                                             QpuChar16* buffer, int32_t bufferLength,
                                             int32_t* required);
typedef int32_t (*FORMVIEWDLL_GetPluginInfo_t)(PluginInfo* info);
/* First call with a null list sets *count; the second fills *count records. */
typedef int32_t (*FORMVIEWDLL_GetDependPluginData_t)(PluginInfo* list, int32_t* count);
typedef int32_t (*FORMVIEWDLL_SetDefaltDataToPluginDataMgr_t)(uint32_t blockId);
typedef int32_t (*FORMVIEWDLL_ChangeMenuState_t)(int32_t state);
typedef int32_t (*FORMVIEWDLL_ReadPrinterSettings_t)(void);
typedef int32_t (*FORMVIEWDLL_Finalize_t)(void);
/* Required but never called by the host. */
typedef void* (*FORMVIEWDLL_GetActiveView_t)(void);

/* The version of this interface a plug-in is built against, 0xMMMMmmmm. The host refuses a
 * plug-in of another major version; a new minor version only adds optional exports. */
#define QPU_PLUGIN_INTERFACE_VERSION 0x00010000u
#define QPU_PLUGIN_INTERFACE_MAJOR(version) ((uint32_t)(version) >> 16)
#define QPU_PLUGIN_INTERFACE_MINOR(version) ((uint32_t)(version)&0xFFFFu)
/* Optional: the interface version the plug-in was built against. A plug-in without it is
 * taken as one of major version 1. */
typedef uint32_t (*FORMVIEWDLL_GetInterfaceVersion_t)(void);

/* Every export of a plug-in, once: X(name, required). The host resolves FORMVIEWDLL_<name>
 * as FORMVIEWDLL_<name>_t; a missing required one refuses the plug-in. */
#define QPU_PLUGIN_EXPORTS(X)                                                                      \
    X(Initialize, 1)                                                                               \
    X(GetMenuName, 0)                                                                              \
    X(GetPluginInfo, 1)                                                                            \
    X(GetDependPluginData, 1)                                                                      \
    X(SetDefaltDataToPluginDataMgr, 1)                                                             \
    X(ChangeMenuState, 1)                                                                          \
    X(ReadPrinterSettings, 1)                                                                      \
    X(Finalize, 1)                                                                                 \
    X(GetActiveView, 1)                                                                            \
    X(GetInterfaceVersion, 0)
