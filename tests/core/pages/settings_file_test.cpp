#include "pages/plugin_data_mgr.h"
#include "pages/settings_file_header.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray U32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray Padded(const QByteArray& text, int width)
{
    return text + QByteArray(width - text.size(), '\0');
}

QByteArray FileHeader(quint32 valueA, quint32 valueB, quint32 count, const QByteArray& model)
{
    return QByteArray("PSD", 4) + U32(valueA) + U32(valueB) + U32(count) +
           Padded("QP-R60 Utility", 16) + QByteArray(16, '\0') + Padded("VORKA", 32) +
           Padded(model, 56);
}

QByteArray BlockBytes(quint32 id, quint32 version, quint32 sizeField, const QByteArray& payload)
{
    return QByteArray("PND", 4) + U32(id) + U32(version) + U32(sizeField) + QByteArray(16, '\0') +
           payload;
}

// Payload of block `index` of a save numbered `seed`: the seed, then bytes that depend on
// both, so that a mix of two saves or a torn block is seen.
QByteArray Pattern(int blockBytes, quint32 seed, int index)
{
    QByteArray bytes(blockBytes - 32, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 31 + seed * 7 + index * 13) & 0xFF);
    qToLittleEndian(seed, bytes.data());
    return bytes;
}

class SettingsFileTest : public ::testing::Test
{
protected:
    QString PathOf(const QString& name) const { return m_dir.filePath(name); }
    QString Path() const { return PathOf(QStringLiteral("QP-R60_Setting.DAT")); }

    static void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Every name in the folder: a failed or interrupted save leaves only whole files.
    QStringList FolderEntries(const QString& folder) const
    {
        QStringList names =
            QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        names.sort();
        return names;
    }

    // A manager holding blocks 1..count with distinct payloads, ready to save.
    static void Fill(PluginDataMgr& mgr, int count, int sizeBytes, quint32 seed)
    {
        for (int i = 1; i <= count; ++i) {
            const quint32 id = 0x20000u + static_cast<quint32>(i);
            ASSERT_EQ(mgr.AddBlock(id, 0x10000, sizeBytes), 0);
            QByteArray data = BlockBytes(id, 0x10000, 0, Pattern(sizeBytes, seed, i));
            ASSERT_EQ(mgr.SetBlockData(id, sizeBytes, data.data()), 0);
        }
        mgr.SetSaveEnabled(1);
    }

    static quint32 BlockSeed(const PluginDataMgr& mgr, quint32 id, int sizeBytes)
    {
        QByteArray data(sizeBytes, '\0');
        EXPECT_EQ(mgr.GetBlockData(id, data.data(), sizeBytes), 0);
        return qFromLittleEndian<quint32>(data.constData() + 32);
    }

    // Loads a file into a manager that already holds a block; a failed load empties it.
    int LoadCorrupt(const QByteArray& bytes)
    {
        WriteFile(Path(), bytes);
        PluginDataMgr mgr;
        EXPECT_EQ(mgr.AddBlock(0x99, 1, 40), 0);
        const int result = mgr.LoadSettingsFile(Path());
        EXPECT_EQ(mgr.BlockCount(), 0);
        return result;
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsFileTest, HeaderStructMatchesTheFileLayout)
{
    SettingsFileHeader header;
    std::memset(&header, 0, sizeof(header));
    std::memcpy(header.magic, "PSD", 4);
    header.valueA = qToLittleEndian(0x10000u);
    header.valueB = qToLittleEndian(0x20000u);
    header.blockCount = qToLittleEndian(3u);
    std::memcpy(header.product, "QP-R60 Utility", 14);
    std::memcpy(header.maker, "VORKA", 5);
    std::memcpy(header.modelName, "QP-R60", 6);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&header), sizeof(header)),
              FileHeader(0x10000, 0x20000, 3, "QP-R60"));
}

TEST_F(SettingsFileTest, SaveWritesHeaderAndBlocksByteForByte)
{
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.AddBlock(0x10001, 0x10000, 40), 0);
    ASSERT_EQ(mgr.AddBlock(0x10005, 0x10002, 35), 0);
    QByteArray first = BlockBytes(0x10001, 0x10000, 0, "12345678");
    ASSERT_EQ(mgr.SetBlockData(0x10001, 40, first.data()), 0);
    QByteArray second = BlockBytes(0x10005, 0x10002, 0, "abc");
    ASSERT_EQ(mgr.SetBlockData(0x10005, 35, second.data()), 0);
    mgr.SetSaveEnabled(1);

    ASSERT_EQ(mgr.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000), 1);
    const QByteArray expected = FileHeader(0x10000, 0x10000, 2, "QP-R60") +
                                BlockBytes(0x10001, 0x10000, 40, "12345678") +
                                BlockBytes(0x10005, 0x10002, 35, "abc");
    EXPECT_EQ(ReadFile(Path()), expected);
    EXPECT_EQ(FolderEntries(m_dir.path()), QStringList({QStringLiteral("QP-R60_Setting.DAT")}));
}

TEST_F(SettingsFileTest, LoadRestoresBlocksFromHandBuiltBytes)
{
    WriteFile(Path(), FileHeader(0x1234, 0x5678, 2, "anything") +
                          BlockBytes(0x10007, 0x10000, 36, "wxyz") +
                          BlockBytes(0x10001, 0x10001, 33, "!") + "trailing bytes are ignored");
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.LoadSettingsFile(Path()), 0);
    ASSERT_EQ(mgr.BlockCount(), 2);
    EXPECT_EQ(mgr.FindBlock(0x10007), 0);
    EXPECT_EQ(mgr.FindBlock(0x10001), 1);
    QByteArray data(36, '\0');
    ASSERT_EQ(mgr.GetBlockData(0x10007, data.data(), 36), 0);
    EXPECT_EQ(data, BlockBytes(0x10007, 0x10000, 36, "wxyz"));
    // The default data is the zero block, not the file's.
    ASSERT_EQ(mgr.GetDefaultBlockData(0x10007, data.data(), 36), 0);
    EXPECT_EQ(data, BlockBytes(0x10007, 0x10000, 0, QByteArray(4, '\0')));

    // Saved again, the same bytes come out (with this program's header texts).
    mgr.SetSaveEnabled(1);
    const QString again = PathOf(QStringLiteral("again.DAT"));
    ASSERT_EQ(mgr.SaveSettingsFile(again, "QP-R60", 0x10000, 0x10000), 1);
    EXPECT_EQ(ReadFile(again), FileHeader(0x10000, 0x10000, 2, "QP-R60") +
                                   BlockBytes(0x10007, 0x10000, 36, "wxyz") +
                                   BlockBytes(0x10001, 0x10001, 33, "!"));
}

TEST_F(SettingsFileTest, EmptyFileWithCountZeroLoads)
{
    WriteFile(Path(), FileHeader(0x10000, 0x10000, 0, "QP-R60"));
    PluginDataMgr mgr;
    EXPECT_EQ(mgr.LoadSettingsFile(Path()), 0);
    EXPECT_EQ(mgr.BlockCount(), 0);
}

TEST_F(SettingsFileTest, MissingOrUnopenableFileGivesMinus2)
{
    PluginDataMgr mgr;
    EXPECT_EQ(mgr.LoadSettingsFile(Path()), -2);
    EXPECT_EQ(mgr.LoadSettingsFile(QString()), -2);
    EXPECT_EQ(mgr.LoadSettingsFile(m_dir.path()), -2);
}

TEST_F(SettingsFileTest, CorruptFilesAreRejectedWhole)
{
    const QByteArray good = BlockBytes(1, 1, 40, "12345678");
    const QByteArray header1 = FileHeader(0x10000, 0x10000, 1, "QP-R60");
    const QByteArray header2 = FileHeader(0x10000, 0x10000, 2, "QP-R60");

    EXPECT_EQ(LoadCorrupt(QByteArray("PSX", 4) + header1.mid(4)), -3) << "wrong file magic";
    EXPECT_EQ(LoadCorrupt(QByteArray("PSD!") + header1.mid(4)), -3) << "magic without zero";
    EXPECT_EQ(LoadCorrupt(header1.left(135)), -4) << "truncated file header";
    EXPECT_EQ(LoadCorrupt(QByteArray()), -4) << "empty file";
    EXPECT_EQ(LoadCorrupt(header1 + good.left(31)), -4) << "truncated block header";
    EXPECT_EQ(LoadCorrupt(header1 + good.left(39)), -4) << "truncated payload";
    EXPECT_EQ(LoadCorrupt(header2 + good + QByteArray("PNX", 4) + good.mid(4)), -3)
        << "wrong block magic";
    EXPECT_EQ(LoadCorrupt(header2 + good + BlockBytes(2, 1, 32, "")), -3)
        << "size 32 after a good block";
    EXPECT_EQ(LoadCorrupt(header1 + BlockBytes(2, 1, 0, "12345678")), -3) << "size 0";
    EXPECT_EQ(LoadCorrupt(header1 + BlockBytes(2, 1, 0xFFFFFFF0u, "12345678")), -4) << "giant size";
    EXPECT_EQ(LoadCorrupt(header1 + BlockBytes(2, 1, 0x7FFFFFFFu, "12345678")), -4)
        << "size past the end";
    EXPECT_EQ(LoadCorrupt(header2 + good), -4) << "count beyond the blocks";
    EXPECT_EQ(LoadCorrupt(FileHeader(0, 0, 0xFFFFFFFFu, "") + good), -4) << "giant count";
}

TEST_F(SettingsFileTest, DuplicatedIdLoadsTwoEntriesAndWritesTheFirst)
{
    WriteFile(Path(), FileHeader(0x10000, 0x10000, 2, "QP-R60") + BlockBytes(7, 1, 36, "AAAA") +
                          BlockBytes(7, 1, 36, "BBBB"));
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.LoadSettingsFile(Path()), 0);
    ASSERT_EQ(mgr.BlockCount(), 2);
    QByteArray data(36, '\0');
    ASSERT_EQ(mgr.GetBlockData(7, data.data(), 36), 0);
    EXPECT_EQ(data, BlockBytes(7, 1, 36, "BBBB"));

    // The second entry was never set; the written file still carries its true size and
    // loads again.
    mgr.SetSaveEnabled(1);
    const QString again = PathOf(QStringLiteral("again.DAT"));
    ASSERT_EQ(mgr.SaveSettingsFile(again, "QP-R60", 0x10000, 0x10000), 1);
    EXPECT_EQ(ReadFile(again), FileHeader(0x10000, 0x10000, 2, "QP-R60") +
                                   BlockBytes(7, 1, 36, "BBBB") +
                                   BlockBytes(7, 1, 36, QByteArray(4, '\0')));
    PluginDataMgr reloaded;
    EXPECT_EQ(reloaded.LoadSettingsFile(again), 0);
    EXPECT_EQ(reloaded.BlockCount(), 2);
}

TEST_F(SettingsFileTest, BlocksThatWereNeverSetAreWrittenWithTheirTrueSize)
{
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.AddBlock(3, 0x10000, 34), 0);
    mgr.SetSaveEnabled(1);
    ASSERT_EQ(mgr.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000), 1);
    EXPECT_EQ(ReadFile(Path()), FileHeader(0x10000, 0x10000, 1, "QP-R60") +
                                    BlockBytes(3, 0x10000, 34, QByteArray(2, '\0')));
    PluginDataMgr reloaded;
    EXPECT_EQ(reloaded.LoadSettingsFile(Path()), 0);
    EXPECT_EQ(reloaded.BlockSize(3), 34);
}

TEST_F(SettingsFileTest, DamagedHeaderFromAnOwnerIsRepairedOnWrite)
{
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.AddBlock(4, 2, 36), 0);
    QByteArray data = BlockBytes(99, 2, 0, "data");
    data[0] = 'X';
    ASSERT_EQ(mgr.SetBlockData(4, 36, data.data()), 0);
    mgr.SetSaveEnabled(1);
    ASSERT_EQ(mgr.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000), 1);
    EXPECT_EQ(ReadFile(Path()).mid(136), BlockBytes(4, 2, 36, "data"));
}

TEST_F(SettingsFileTest, ModelNameKeepsATerminatingZero)
{
    PluginDataMgr mgr;
    mgr.SetSaveEnabled(1);
    const QByteArray longModel(70, 'M');
    ASSERT_EQ(mgr.SaveSettingsFile(Path(), longModel, 1, 2), 1);
    EXPECT_EQ(ReadFile(Path()), FileHeader(1, 2, 0, QByteArray(55, 'M')));
}

TEST_F(SettingsFileTest, NothingIsWrittenUnlessSavingIsEnabled)
{
    const QByteArray before = "previous file";
    WriteFile(Path(), before);
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.AddBlock(1, 1, 40), 0);
    EXPECT_EQ(mgr.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000), 0);
    mgr.SetSaveEnabled(2);
    EXPECT_EQ(mgr.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000), 0);
    mgr.SetSaveEnabled(-1);
    EXPECT_EQ(mgr.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000), 0);
    EXPECT_EQ(ReadFile(Path()), before);
}

TEST_F(SettingsFileTest, SaveCreatesOneMissingFolderLevel)
{
    PluginDataMgr mgr;
    Fill(mgr, 2, 64, 1);
    const QString oneLevel = PathOf(QStringLiteral("PORT_0/QP-R60_Setting.DAT"));
    EXPECT_EQ(mgr.SaveSettingsFile(oneLevel, "QP-R60", 0x10000, 0x10000), 1);
    EXPECT_TRUE(QFile::exists(oneLevel));
    const QString twoLevels = PathOf(QStringLiteral("a/b/QP-R60_Setting.DAT"));
    EXPECT_EQ(mgr.SaveSettingsFile(twoLevels, "QP-R60", 0x10000, 0x10000), 0);
    EXPECT_FALSE(QFile::exists(PathOf(QStringLiteral("a"))));
}

TEST_F(SettingsFileTest, FailedSavesLeaveThePreviousFileAndNoPartialFile)
{
    const QByteArray before = "previous settings";
    WriteFile(Path(), before);
    PluginDataMgr mgr;
    Fill(mgr, 4, 100, 2);

    // The folder is a regular file.
    EXPECT_EQ(mgr.SaveSettingsFile(PathOf(QStringLiteral("QP-R60_Setting.DAT/x.DAT")), "QP-R60",
                                   0x10000, 0x10000),
              0);
    // The target is a folder.
    const QString folderTarget = PathOf(QStringLiteral("occupied"));
    ASSERT_TRUE(QDir().mkpath(folderTarget + QStringLiteral("/inner")));
    EXPECT_EQ(mgr.SaveSettingsFile(folderTarget, "QP-R60", 0x10000, 0x10000), 0);
    EXPECT_EQ(mgr.SaveSettingsFile(QString(), "QP-R60", 0x10000, 0x10000), 0);

    EXPECT_EQ(ReadFile(Path()), before);
    EXPECT_EQ(FolderEntries(m_dir.path()),
              QStringList({QStringLiteral("QP-R60_Setting.DAT"), QStringLiteral("occupied")}));
}

// The write itself fails half-way (the file size limit stands in for a full disk).
TEST_F(SettingsFileTest, WriteFaultHalfWayLeavesThePreviousFile)
{
    PluginDataMgr previous;
    Fill(previous, 2, 64, 3);
    ASSERT_EQ(previous.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000), 1);
    const QByteArray before = ReadFile(Path());

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        PluginDataMgr mgr;
        Fill(mgr, 16, 4096, 4);
        _exit(mgr.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save must report the fault";
    EXPECT_EQ(ReadFile(Path()), before);
    EXPECT_EQ(FolderEntries(m_dir.path()), QStringList({QStringLiteral("QP-R60_Setting.DAT")}));
}

// The process is killed at a random moment of a save; the next start always finds a
// readable file, either the old one or the new one.
TEST_F(SettingsFileTest, KilledSaveNeverLeavesAnUnreadableFile)
{
    constexpr int kBlocks = 64;
    constexpr int kBlockBytes = 32 * 1024;
    QElapsedTimer timer;
    timer.start();
    {
        PluginDataMgr first;
        Fill(first, kBlocks, kBlockBytes, 0);
        ASSERT_EQ(first.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000), 1);
    }
    // Kills land anywhere within the first few saves of the child.
    const int saveUs = static_cast<int>(std::max<qint64>(timer.nsecsElapsed() / 1000, 1000));
    QList<quint32> seenSeeds;
    for (int round = 0; round < 16; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PluginDataMgr mgr;
            for (quint32 seed = 1;; ++seed) {
                mgr.RemoveAllBlocks();
                Fill(mgr, kBlocks, kBlockBytes, seed);
                mgr.SaveSettingsFile(Path(), "QP-R60", 0x10000, 0x10000);
            }
        }
        usleep(QRandomGenerator::global()->bounded(saveUs / 2, saveUs * 4));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        PluginDataMgr next;
        ASSERT_EQ(next.LoadSettingsFile(Path()), 0) << "round " << round;
        ASSERT_EQ(next.BlockCount(), kBlocks);
        // Every block is whole and all come from the same save.
        const quint32 seed = BlockSeed(next, 0x20001, kBlockBytes);
        seenSeeds.append(seed);
        for (int i = 1; i <= kBlocks; ++i) {
            QByteArray data(kBlockBytes, '\0');
            ASSERT_EQ(next.GetBlockData(0x20000u + i, data.data(), kBlockBytes), 0);
            ASSERT_EQ(data.mid(32), Pattern(kBlockBytes, seed, i)) << "round " << round;
        }
    }
    // Which save each round found (0: the one before the child ran).
    std::string seeds;
    for (const quint32 seed : seenSeeds)
        seeds += std::to_string(seed) + " ";
    std::printf("saves found after the kills: %s(one save takes about %d us)\n", seeds.c_str(),
                saveUs);
}

} // namespace
