#pragma once

#include "mainwnd/menu_item.h"

class PluginDataMgr;

// Registers the data blocks of the menu's plug-ins with the data manager, in menu order:
// first each plug-in's own block (FORMVIEWDLL_GetPluginInfo), then the blocks each plug-in
// depends on (FORMVIEWDLL_GetDependPluginData). A block the manager lacks is added and
// the plug-in that asked for it writes its defaults (FORMVIEWDLL_SetDefaltDataToPluginDataMgr);
// blocks already held, e.g. restored from the settings file, keep their data.
void RegisterMenuDataBlocks(MenuItemList& entries, PluginDataMgr& dataMgr);
