// Setting data blocks for plug-ins: the utility's data manager reached through the table
// of qpu/data_mgr_api.h and the handle AppState.dataMgr.
#pragma once

#include <qpu/app_state.h>
#include <qpu/data_block.h>
#include <qpu/data_mgr_api.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace qpu::sdk {

// Results besides those of the store (0 done, -1 no such block, -3, -5, -7).
inline constexpr int32_t kDataMgrUnavailable = -24; // no table published, or no handle

// The utility's table, looked up once in the running process; null when the process does
// not publish one (then no block can be reached).
const QpuDataMgrApi* FindDataMgrApi();

// Fills a zeroed block header: "PND", identifier, version and total size.
void MakeBlockHeader(DataBlockHeader* header, uint32_t blockId, uint32_t version,
                     uint32_t sizeBytes);

class DataBlocks
{
public:
    DataBlocks() = default;
    // The store of `state` (may be null: every call then answers kDataMgrUnavailable).
    explicit DataBlocks(const AppState* state, const QpuDataMgrApi* api = FindDataMgrApi());

    bool Available() const { return m_api != nullptr && m_handle != nullptr; }

    int32_t Find(uint32_t blockId) const;
    int32_t Add(uint32_t blockId, uint32_t version, int32_t sizeBytes) const;
    int32_t Get(uint32_t blockId, void* buffer, int32_t length) const;
    int32_t Set(uint32_t blockId, void* buffer, int32_t sizeBytes) const;
    int32_t Size(uint32_t blockId) const;

    // A whole fixed-layout block (a struct that begins with DataBlockHeader). Read answers
    // -1 also when the stored block is shorter than the struct or carries another
    // identifier, so that a damaged settings file never passes as valid data.
    template <class Block> int32_t Read(uint32_t blockId, Block* block) const
    {
        static_assert(std::is_trivially_copyable_v<Block>);
        const int32_t size = Size(blockId);
        if (size < 0)
            return size;
        if (size < static_cast<int32_t>(sizeof(Block)))
            return -1;
        std::memset(block, 0, sizeof(Block));
        const int32_t rc = Get(blockId, block, static_cast<int32_t>(sizeof(Block)));
        if (rc == 0 && block->header.id != blockId)
            return -1;
        return rc;
    }
    template <class Block> int32_t Write(uint32_t blockId, Block* block) const
    {
        static_assert(std::is_trivially_copyable_v<Block>);
        return Set(blockId, block, static_cast<int32_t>(sizeof(Block)));
    }

private:
    const QpuDataMgrApi* m_api = nullptr;
    void* m_handle = nullptr;
};

} // namespace qpu::sdk
