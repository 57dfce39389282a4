#pragma once

#include "printers/printer_registry.h"

#include <QByteArray>
#include <QString>

#include <vector>

class QFile;

// The store of setting data blocks that every page and plug-in shares. A block is a byte
// sequence that begins with a 32-byte DataBlockHeader, keyed by its identifier. The whole
// set is saved per printer in one settings file and restored at the next start. The
// manager also carries the printer registry. Used on the user-interface thread only.
class PluginDataMgr
{
public:
    static constexpr int kOk = 0;
    static constexpr int kNotFound = -1;
    static constexpr int kNotOpened = -2;
    static constexpr int kBadData = -3;
    static constexpr int kTruncated = -4;
    static constexpr int kBadSize = -5;
    static constexpr int kOutOfMemory = -7;

    // Appends a zero block of sizeBytes (at least 33) whose header holds the magic, id and
    // version; its size field stays 0 until the data is set. Does not look for an
    // existing block with the same id. 0, -5 (size below 33) or -7.
    int AddBlock(quint32 id, quint32 version, qint32 sizeBytes);
    // Index of the first block with the id, or -1.
    int FindBlock(quint32 id) const;
    // Stores sizeBytes of buffer as the block's data; writes sizeBytes into the size field
    // of the caller's buffer first. 0, -1 (no such block) or -3 (no buffer, or a size
    // below 33).
    int SetBlockData(quint32 id, qint32 sizeBytes, void* buffer);
    // Copies the first min(length, block size) bytes of the block, header included.
    // 0, -1 (no such block) or -3 (no buffer).
    int GetBlockData(quint32 id, void* buffer, qint32 length) const;
    // The same for the block's default data, the zero block that AddBlock made.
    int GetDefaultBlockData(quint32 id, void* buffer, qint32 length) const;
    // Size of the block's data in bytes, header included, or -1.
    qint32 BlockSize(quint32 id) const;
    void RemoveBlockAt(int index);
    void RemoveAllBlocks();
    int BlockCount() const { return static_cast<int>(m_blocks.size()); }

    // Adds the blocks of a settings file. 0; -2 cannot be opened; -3 bad magic or size;
    // -4 truncated or unreadable; -5/-7 from adding a block. On any failure the manager
    // is left empty.
    int LoadSettingsFile(const QString& path);
    // Writes every block to the settings file when saving is enabled, replacing the
    // previous file only once the new one is complete on disk. Creates the file's folder
    // (one level) if it is missing. 1 written, 0 not written.
    int SaveSettingsFile(const QString& path, const QByteArray& modelName, quint32 valueA,
                         quint32 valueB);

    // Saving is enabled only when the flag is exactly 1.
    void SetSaveEnabled(qint32 flag) { m_saveEnabled = flag; }
    qint32 SaveEnabled() const { return m_saveEnabled; }

    PrinterRegistry& Registry() { return m_registry; }
    const PrinterRegistry& Registry() const { return m_registry; }

private:
    struct Block
    {
        quint32 id = 0;
        quint32 version = 0;
        quint32 reserved = 0;
        quint32 sizeBytes = 0;
        QByteArray current;
        QByteArray defaults;
    };

    int ReadBlocks(QFile& file);
    QByteArray BuildSettingsFile(const QByteArray& modelName, quint32 valueA, quint32 valueB) const;

    // Declared first so that it is released last, after the blocks.
    PrinterRegistry m_registry;
    std::vector<Block> m_blocks;
    qint32 m_saveEnabled = 0;
};
