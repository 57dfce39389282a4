#include "mainwnd/menu_block_registration.h"

#include "pages/plugin_data_mgr.h"

#include <algorithm>
#include <cstdint>

namespace {

// Adds the block when the manager lacks it and lets the plug-in fill in its defaults.
void AddMissingBlock(const PluginInfo& info, CMenuDLLProc& plugin, PluginDataMgr& dataMgr)
{
    if (dataMgr.FindBlock(info.blockId) != PluginDataMgr::kNotFound)
        return;
    const auto sizeBytes = static_cast<qint32>(std::min<uint32_t>(info.blockSize, INT32_MAX));
    if (dataMgr.AddBlock(info.blockId, info.blockVersion, sizeBytes) == PluginDataMgr::kOk)
        plugin.SetDefaultDataToPluginDataMgr(info.blockId);
}

} // namespace

void RegisterMenuDataBlocks(MenuItemList& entries, PluginDataMgr& dataMgr)
{
    for (auto& entry : entries) {
        if (entry->libraryName.isEmpty())
            continue;
        PluginInfo info{};
        entry->plugin.GetPluginInfo(info);
        AddMissingBlock(info, entry->plugin, dataMgr);
    }
    for (auto& entry : entries) {
        if (entry->libraryName.isEmpty() || !entry->plugin.IsLoaded())
            continue;
        std::vector<PluginInfo> depends;
        entry->plugin.DependPluginData(depends);
        for (const PluginInfo& info : depends)
            AddMissingBlock(info, entry->plugin, dataMgr);
    }
}
