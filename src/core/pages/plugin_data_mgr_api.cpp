#include "pages/plugin_data_mgr_api.h"

#include "pages/plugin_data_mgr.h"

namespace {

constexpr int32_t kBadArgument = -3;

PluginDataMgr* Manager(void* handle)
{
    return static_cast<PluginDataMgr*>(handle);
}

int32_t FindBlock(void* handle, uint32_t id)
{
    const PluginDataMgr* mgr = Manager(handle);
    return mgr ? mgr->FindBlock(id) : kBadArgument;
}

int32_t AddBlock(void* handle, uint32_t id, uint32_t version, int32_t sizeBytes)
{
    PluginDataMgr* mgr = Manager(handle);
    return mgr ? mgr->AddBlock(id, version, sizeBytes) : kBadArgument;
}

int32_t GetBlockData(void* handle, uint32_t id, void* buffer, int32_t length)
{
    const PluginDataMgr* mgr = Manager(handle);
    if (mgr == nullptr || length < 0)
        return kBadArgument;
    return mgr->GetBlockData(id, buffer, length);
}

int32_t SetBlockData(void* handle, uint32_t id, int32_t sizeBytes, void* buffer)
{
    PluginDataMgr* mgr = Manager(handle);
    return mgr ? mgr->SetBlockData(id, sizeBytes, buffer) : kBadArgument;
}

int32_t GetBlockSize(void* handle, uint32_t id)
{
    const PluginDataMgr* mgr = Manager(handle);
    return mgr ? mgr->BlockSize(id) : kBadArgument;
}

constexpr QpuDataMgrApi kTable = {
    sizeof(QpuDataMgrApi),
    QPU_DATA_MGR_API_VERSION,
    FindBlock,
    AddBlock,
    GetBlockData,
    SetBlockData,
    GetBlockSize,
};

} // namespace

const QpuDataMgrApi& PluginDataMgrApi::Table()
{
    return kTable;
}

const QpuDataMgrApi* QPU_GetDataMgrApi(void)
{
    return &kTable;
}
