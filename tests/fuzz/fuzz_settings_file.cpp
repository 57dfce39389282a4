// The settings file loader with its header and block checks, and a save/load round trip of
// whatever it accepted.
#include "fuzz_util.h"
#include "pages/plugin_data_mgr.h"
#include "pages/settings_file_header.h"

#include <qpu/data_block.h>

#include <QFile>
#include <QSet>
#include <QtEndian>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The identifiers of the blocks of a settings file that the loader accepted; false when two
// blocks share one (the data of such a file goes to the first of them).
bool UniqueBlockIds(const QByteArray& file, int count)
{
    QSet<quint32> ids;
    qsizetype at = QPU_SETTINGS_FILE_HEADER_SIZE;
    for (int i = 0; i < count; ++i) {
        const auto* header = file.constData() + at;
        ids.insert(qFromLittleEndian<quint32>(header + offsetof(DataBlockHeader, id)));
        at += qFromLittleEndian<quint32>(header + offsetof(DataBlockHeader, totalSize));
    }
    return ids.size() == count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::WriteInput(QStringLiteral("Setting.DAT"), data, size);
    PluginDataMgr loaded;
    const int result = loaded.LoadSettingsFile(path);
    if (result != PluginDataMgr::kOk) {
        // A file is taken whole or not at all.
        if (loaded.BlockCount() != 0)
            __builtin_trap();
        return 0;
    }
    // Never more blocks than the file can hold.
    if (size < QPU_SETTINGS_FILE_HEADER_SIZE ||
        static_cast<size_t>(loaded.BlockCount()) >
            (size - QPU_SETTINGS_FILE_HEADER_SIZE) / QPU_BLOCK_MIN_SIZE)
        __builtin_trap();

    loaded.SetSaveEnabled(1);
    const QString copyPath = fuzz::WorkFolder() + QStringLiteral("/copy/Setting.DAT");
    if (loaded.SaveSettingsFile(copyPath, QByteArrayLiteral("QP-R60"), 1, 2) != 1)
        return 0;
    const QByteArray saved = ReadAll(copyPath);

    // The blocks are written back byte for byte as they were read.
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const int count = loaded.BlockCount();
    if (UniqueBlockIds(saved, count) &&
        saved.mid(QPU_SETTINGS_FILE_HEADER_SIZE) !=
            input.mid(QPU_SETTINGS_FILE_HEADER_SIZE, saved.size() - QPU_SETTINGS_FILE_HEADER_SIZE))
        __builtin_trap();

    PluginDataMgr reloaded;
    if (reloaded.LoadSettingsFile(copyPath) != PluginDataMgr::kOk || reloaded.BlockCount() != count)
        __builtin_trap();
    return 0;
}
