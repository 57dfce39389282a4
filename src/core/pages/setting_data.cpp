#include "pages/setting_data.h"

#include "pages/plugin_data_mgr.h"

#include <QtEndian>

#include <cstring>

void MakeBlockHeader(DataBlockHeader* header, quint32 id, quint32 version, quint32 sizeBytes)
{
    if (header == nullptr)
        return;
    std::memset(header, 0, sizeof(*header));
    std::memcpy(header->magic, "PND", 4);
    qToLittleEndian(id, &header->id);
    qToLittleEndian(version, &header->version);
    qToLittleEndian(sizeBytes, &header->totalSize);
}

int SetSettingDataById(PluginDataMgr* dataMgr, quint32 id, void* data, qint32 sizeBytes)
{
    if (dataMgr == nullptr)
        return PluginDataMgr::kNotFound;
    return dataMgr->SetBlockData(id, sizeBytes, data);
}

int GetSettingDataById(const PluginDataMgr* dataMgr, quint32 id, void* buffer, qint32 sizeBytes)
{
    if (dataMgr == nullptr)
        return PluginDataMgr::kNotFound;
    return dataMgr->GetBlockData(id, buffer, sizeBytes);
}
