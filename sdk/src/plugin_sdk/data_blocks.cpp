#include <qpu/plugin_sdk/data_blocks.h>

#include <dlfcn.h>

namespace qpu::sdk {

const QpuDataMgrApi* FindDataMgrApi()
{
    static const QpuDataMgrApi* const api = []() -> const QpuDataMgrApi* {
        void* symbol = ::dlsym(RTLD_DEFAULT, QPU_DATA_MGR_API_SYMBOL);
        if (symbol == nullptr)
            return nullptr;
        const QpuDataMgrApi* table = reinterpret_cast<QPU_GetDataMgrApi_t>(symbol)();
        // A table older than the one this plug-in was built against lacks functions.
        if (table == nullptr || table->structSize < sizeof(QpuDataMgrApi) ||
            table->version < QPU_DATA_MGR_API_VERSION)
            return nullptr;
        return table;
    }();
    return api;
}

void MakeBlockHeader(DataBlockHeader* header, uint32_t blockId, uint32_t version,
                     uint32_t sizeBytes)
{
    std::memset(header, 0, sizeof *header);
    std::memcpy(header->magic, "PND", 4);
    header->id = blockId;
    header->version = version;
    header->totalSize = sizeBytes;
}

DataBlocks::DataBlocks(const AppState* state, const QpuDataMgrApi* api)
    : m_api(api), m_handle(state ? state->dataMgr : nullptr)
{}

int32_t DataBlocks::Find(uint32_t blockId) const
{
    return Available() ? m_api->FindBlock(m_handle, blockId) : kDataMgrUnavailable;
}

int32_t DataBlocks::Add(uint32_t blockId, uint32_t version, int32_t sizeBytes) const
{
    return Available() ? m_api->AddBlock(m_handle, blockId, version, sizeBytes)
                       : kDataMgrUnavailable;
}

int32_t DataBlocks::Get(uint32_t blockId, void* buffer, int32_t length) const
{
    return Available() ? m_api->GetBlockData(m_handle, blockId, buffer, length)
                       : kDataMgrUnavailable;
}

int32_t DataBlocks::Set(uint32_t blockId, void* buffer, int32_t sizeBytes) const
{
    return Available() ? m_api->SetBlockData(m_handle, blockId, sizeBytes, buffer)
                       : kDataMgrUnavailable;
}

int32_t DataBlocks::Size(uint32_t blockId) const
{
    return Available() ? m_api->GetBlockSize(m_handle, blockId) : kDataMgrUnavailable;
}

} // namespace qpu::sdk
