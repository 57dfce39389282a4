#include "pages/plugin_data_mgr.h"

#include "pages/settings_file_header.h"
#include "platform/atomic_file.h"

#include <qpu/data_block.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr char kBlockMagic[4] = {'P', 'N', 'D', '\0'};
constexpr char kFileMagic[4] = {'P', 'S', 'D', '\0'};

template <typename Field> void CopyText(Field& field, const char* text, size_t length)
{
    std::memcpy(field, text, std::min(length, sizeof(field)));
}

// Fills the header fields that the loader checks from the block's entry, so that a block
// whose data was never set (size field 0) or whose owner handed back a damaged header
// cannot make the whole file unreadable.
void StampBlockHeader(char* block, quint32 id, quint32 sizeBytes)
{
    std::memcpy(block + offsetof(DataBlockHeader, magic), kBlockMagic, sizeof(kBlockMagic));
    qToLittleEndian<quint32>(id, block + offsetof(DataBlockHeader, id));
    qToLittleEndian<quint32>(sizeBytes, block + offsetof(DataBlockHeader, totalSize));
}

// Copies the first min(length, size) bytes of data into the caller's buffer.
int CopyPrefix(const QByteArray& data, void* buffer, qint32 length)
{
    const qsizetype count = std::min<qsizetype>(std::max(length, 0), data.size());
    if (count == 0)
        return PluginDataMgr::kOk;
    if (!buffer)
        return PluginDataMgr::kBadData;
    std::memcpy(buffer, data.constData(), static_cast<size_t>(count));
    return PluginDataMgr::kOk;
}

} // namespace

int PluginDataMgr::AddBlock(quint32 id, quint32 version, qint32 sizeBytes)
{
    if (sizeBytes < QPU_BLOCK_MIN_SIZE)
        return kBadSize;
    try {
        Block block;
        block.id = id;
        block.version = version;
        block.sizeBytes = static_cast<quint32>(sizeBytes);
        block.defaults = QByteArray(sizeBytes, '\0');
        char* data = block.defaults.data();
        std::memcpy(data + offsetof(DataBlockHeader, magic), kBlockMagic, sizeof(kBlockMagic));
        qToLittleEndian<quint32>(id, data + offsetof(DataBlockHeader, id));
        qToLittleEndian<quint32>(version, data + offsetof(DataBlockHeader, version));
        block.current = block.defaults;
        block.current.detach();
        m_blocks.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

int PluginDataMgr::FindBlock(quint32 id) const
{
    const auto it = std::find_if(m_blocks.begin(), m_blocks.end(),
                                 [id](const Block& block) { return block.id == id; });
    return it == m_blocks.end() ? kNotFound : static_cast<int>(it - m_blocks.begin());
}

int PluginDataMgr::SetBlockData(quint32 id, qint32 sizeBytes, void* buffer)
{
    const int index = FindBlock(id);
    if (index < 0)
        return kNotFound;
    // Anything shorter could not hold its own header and would be rejected at the next
    // load, taking every other block with it.
    if (!buffer || sizeBytes < QPU_BLOCK_MIN_SIZE)
        return kBadData;
    char* bytes = static_cast<char*>(buffer);
    qToLittleEndian<quint32>(static_cast<quint32>(sizeBytes),
                             bytes + offsetof(DataBlockHeader, totalSize));
    Block& block = m_blocks[static_cast<size_t>(index)];
    try {
        block.current = QByteArray(bytes, sizeBytes);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    block.sizeBytes = static_cast<quint32>(sizeBytes);
    return kOk;
}

int PluginDataMgr::GetBlockData(quint32 id, void* buffer, qint32 length) const
{
    const int index = FindBlock(id);
    if (index < 0)
        return kNotFound;
    return CopyPrefix(m_blocks[static_cast<size_t>(index)].current, buffer, length);
}

int PluginDataMgr::GetDefaultBlockData(quint32 id, void* buffer, qint32 length) const
{
    const int index = FindBlock(id);
    if (index < 0)
        return kNotFound;
    return CopyPrefix(m_blocks[static_cast<size_t>(index)].defaults, buffer, length);
}

qint32 PluginDataMgr::BlockSize(quint32 id) const
{
    const int index = FindBlock(id);
    return index < 0 ? kNotFound
                     : static_cast<qint32>(m_blocks[static_cast<size_t>(index)].sizeBytes);
}

void PluginDataMgr::RemoveBlockAt(int index)
{
    if (index < 0 || index >= BlockCount())
        return;
    m_blocks.erase(m_blocks.begin() + index);
}

void PluginDataMgr::RemoveAllBlocks()
{
    m_blocks.clear();
}

int PluginDataMgr::LoadSettingsFile(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return kNotOpened;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kNotOpened;
    int result = kOk;
    try {
        result = ReadBlocks(file);
    } catch (const std::bad_alloc&) {
        result = kOutOfMemory;
    }
    // A settings file is taken whole or not at all.
    if (result != kOk)
        RemoveAllBlocks();
    return result;
}

int PluginDataMgr::ReadBlocks(QFile& file)
{
    const qint64 fileSize = file.size();
    SettingsFileHeader fileHeader;
    if (file.read(reinterpret_cast<char*>(&fileHeader), sizeof(fileHeader)) !=
        static_cast<qint64>(sizeof(fileHeader)))
        return kTruncated;
    if (std::memcmp(fileHeader.magic, kFileMagic, sizeof(kFileMagic)) != 0)
        return kBadData;

    const quint32 count = qFromLittleEndian(fileHeader.blockCount);
    for (quint32 i = 0; i < count; ++i) {
        DataBlockHeader header;
        if (file.read(reinterpret_cast<char*>(&header), sizeof(header)) !=
            static_cast<qint64>(sizeof(header)))
            return kTruncated;
        if (std::memcmp(header.magic, kBlockMagic, sizeof(kBlockMagic)) != 0)
            return kBadData;
        const quint32 sizeBytes = qFromLittleEndian(header.totalSize);
        if (sizeBytes <= QPU_BLOCK_HEADER_SIZE)
            return kBadData;
        // A size that runs past the end of the file is refused before anything of that
        // size is allocated.
        const qint64 payloadBytes = qint64(sizeBytes) - QPU_BLOCK_HEADER_SIZE;
        if (payloadBytes > fileSize - file.pos())
            return kTruncated;
        if (sizeBytes > quint32(std::numeric_limits<qint32>::max()))
            return kBadData;

        QByteArray block(qsizetype(sizeBytes), Qt::Uninitialized);
        std::memcpy(block.data(), &header, sizeof(header));
        if (file.read(block.data() + sizeof(header), payloadBytes) != payloadBytes)
            return kTruncated;

        const quint32 id = qFromLittleEndian(header.id);
        const int added = AddBlock(id, qFromLittleEndian(header.version), qint32(sizeBytes));
        if (added != kOk)
            return added;
        // As for every block owner, the data goes to the first block with the id.
        if (SetBlockData(id, qint32(sizeBytes), block.data()) != kOk) {
            RemoveBlockAt(BlockCount() - 1);
            return kBadData;
        }
    }
    return kOk;
}

QByteArray PluginDataMgr::BuildSettingsFile(const QByteArray& modelName, quint32 valueA,
                                            quint32 valueB) const
{
    qsizetype totalBytes = sizeof(SettingsFileHeader);
    for (const Block& block : m_blocks)
        totalBytes += block.current.size();

    QByteArray content;
    content.reserve(totalBytes);

    SettingsFileHeader header;
    std::memset(&header, 0, sizeof(header));
    std::memcpy(header.magic, kFileMagic, sizeof(kFileMagic));
    header.valueA = qToLittleEndian(valueA);
    header.valueB = qToLittleEndian(valueB);
    header.blockCount = qToLittleEndian(static_cast<quint32>(m_blocks.size()));
    CopyText(header.product, QPU_SETTINGS_FILE_PRODUCT, sizeof(QPU_SETTINGS_FILE_PRODUCT) - 1);
    CopyText(header.maker, QPU_SETTINGS_FILE_MAKER, sizeof(QPU_SETTINGS_FILE_MAKER) - 1);
    // The model name ends at its first zero, and at least one zero always follows it.
    const qsizetype modelEnd = modelName.indexOf('\0');
    const QByteArray model = modelEnd < 0 ? modelName : modelName.left(modelEnd);
    std::memcpy(header.modelName, model.constData(),
                std::min<size_t>(model.size(), QPU_SETTINGS_FILE_MODEL_UNITS - 1));
    content.append(reinterpret_cast<const char*>(&header), sizeof(header));

    for (const Block& block : m_blocks) {
        const qsizetype start = content.size();
        content.append(block.current);
        StampBlockHeader(content.data() + start, block.id,
                         static_cast<quint32>(block.current.size()));
    }
    return content;
}

int PluginDataMgr::SaveSettingsFile(const QString& path, const QByteArray& modelName,
                                    quint32 valueA, quint32 valueB)
{
    if (m_saveEnabled != 1 || path.isEmpty())
        return 0;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder))
        return 0;

    QByteArray content;
    try {
        content = BuildSettingsFile(modelName, valueA, valueB);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    // The previous file is replaced only by a complete new one that is already on disk.
    return platform::WriteFileAtomically(path, content) ? 1 : 0;
}
