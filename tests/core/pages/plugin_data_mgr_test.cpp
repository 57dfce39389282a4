#include "pages/plugin_data_mgr.h"

#include <QByteArray>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
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

// A block as its owner hands it over: header with the given size field, then payload.
QByteArray Block(quint32 id, quint32 version, qint32 sizeBytes, char fill, quint32 sizeField)
{
    QByteArray bytes =
        QByteArray("PND", 4) + U32(id) + U32(version) + U32(sizeField) + QByteArray(16, '\0');
    bytes += QByteArray(sizeBytes - 32, fill);
    return bytes;
}

QByteArray GetData(const PluginDataMgr& mgr, quint32 id, qint32 length)
{
    QByteArray out(length, '\x55');
    EXPECT_EQ(mgr.GetBlockData(id, out.data(), length), 0);
    return out;
}

TEST(PluginDataMgrBlocks, AddBlockRefusesSizesWithoutPayload)
{
    PluginDataMgr mgr;
    EXPECT_EQ(mgr.AddBlock(1, 0x10000, 0), -5);
    EXPECT_EQ(mgr.AddBlock(1, 0x10000, 32), -5);
    EXPECT_EQ(mgr.AddBlock(1, 0x10000, -40), -5);
    EXPECT_EQ(mgr.BlockCount(), 0);

    ASSERT_EQ(mgr.AddBlock(0x10001, 0x10000, 33), 0);
    EXPECT_EQ(mgr.BlockCount(), 1);
    // Magic, id and version; the size field stays 0 until the data is set; 1 zero payload byte.
    EXPECT_EQ(GetData(mgr, 0x10001, 33), Block(0x10001, 0x10000, 33, '\0', 0));
    EXPECT_EQ(mgr.BlockSize(0x10001), 33);
    QByteArray defaults(33, '\x55');
    ASSERT_EQ(mgr.GetDefaultBlockData(0x10001, defaults.data(), 33), 0);
    EXPECT_EQ(defaults, Block(0x10001, 0x10000, 33, '\0', 0));
}

TEST(PluginDataMgrBlocks, AddBlockReportsOutOfMemory)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The address-space limit below cannot hold the sanitizer's shadow memory, which is
    // reserved before the test starts.
    GTEST_SKIP() << "address-space limit and sanitizer shadow memory do not mix";
#endif
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit = {512u << 20, 512u << 20};
        setrlimit(RLIMIT_AS, &limit);
        PluginDataMgr mgr;
        const int result = mgr.AddBlock(1, 1, std::numeric_limits<qint32>::max());
        _exit(result == -7 && mgr.BlockCount() == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(PluginDataMgrBlocks, FindBlockGivesTheFirstMatch)
{
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.AddBlock(7, 1, 40), 0);
    ASSERT_EQ(mgr.AddBlock(8, 1, 40), 0);
    ASSERT_EQ(mgr.AddBlock(7, 2, 50), 0);
    EXPECT_EQ(mgr.FindBlock(7), 0);
    EXPECT_EQ(mgr.FindBlock(8), 1);
    EXPECT_EQ(mgr.FindBlock(9), -1);
}

TEST(PluginDataMgrBlocks, SetAndGetBlockData)
{
    PluginDataMgr mgr;
    EXPECT_EQ(mgr.SetBlockData(5, 40, QByteArray(40, 'x').data()), -1);
    EXPECT_EQ(mgr.GetBlockData(5, QByteArray(40, 'x').data(), 40), -1);
    ASSERT_EQ(mgr.AddBlock(5, 0x10000, 40), 0);

    QByteArray data = GetData(mgr, 5, 40);
    data.replace(32, 8, "payload!");
    ASSERT_EQ(mgr.SetBlockData(5, 40, data.data()), 0);
    // The size is written into the caller's buffer, then stored with it.
    EXPECT_EQ(qFromLittleEndian<quint32>(data.constData() + 12), 40u);
    EXPECT_EQ(GetData(mgr, 5, 40), data);

    // A short buffer gets only its length, header first; a long one only the block.
    EXPECT_EQ(GetData(mgr, 5, 10), data.left(10));
    const QByteArray longer = GetData(mgr, 5, 60);
    EXPECT_EQ(longer.left(40), data);
    EXPECT_EQ(longer.mid(40), QByteArray(20, '\x55'));

    // The default data stays the zero block.
    QByteArray defaults(40, '\0');
    ASSERT_EQ(mgr.GetDefaultBlockData(5, defaults.data(), 40), 0);
    EXPECT_EQ(defaults, Block(5, 0x10000, 40, '\0', 0));

    // Data of another size replaces the old data and size.
    QByteArray bigger = Block(5, 0x10000, 100, 'b', 0);
    ASSERT_EQ(mgr.SetBlockData(5, 100, bigger.data()), 0);
    EXPECT_EQ(mgr.BlockSize(5), 100);
    EXPECT_EQ(GetData(mgr, 5, 100), Block(5, 0x10000, 100, 'b', 100));
}

TEST(PluginDataMgrBlocks, SetBlockDataRefusesBlocksThatCouldNotBeLoadedAgain)
{
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.AddBlock(5, 1, 40), 0);
    QByteArray small = Block(5, 1, 33, 's', 0).left(32);
    EXPECT_EQ(mgr.SetBlockData(5, 32, small.data()), -3);
    EXPECT_EQ(mgr.SetBlockData(5, 0, small.data()), -3);
    EXPECT_EQ(mgr.SetBlockData(5, 40, nullptr), -3);
    EXPECT_EQ(mgr.BlockSize(5), 40);
    EXPECT_EQ(GetData(mgr, 5, 40), Block(5, 1, 40, '\0', 0));
}

TEST(PluginDataMgrBlocks, SetBlockDataWritesTheFirstOfDuplicatedIds)
{
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.AddBlock(9, 1, 40), 0);
    ASSERT_EQ(mgr.AddBlock(9, 1, 40), 0);
    QByteArray data = Block(9, 1, 40, 'd', 0);
    ASSERT_EQ(mgr.SetBlockData(9, 40, data.data()), 0);
    EXPECT_EQ(GetData(mgr, 9, 40), Block(9, 1, 40, 'd', 40));
    mgr.RemoveBlockAt(0);
    EXPECT_EQ(GetData(mgr, 9, 40), Block(9, 1, 40, '\0', 0));
}

TEST(PluginDataMgrBlocks, RemoveBlockAtClosesTheGap)
{
    PluginDataMgr mgr;
    for (quint32 id = 1; id <= 3; ++id)
        ASSERT_EQ(mgr.AddBlock(id, 1, 40), 0);
    mgr.RemoveBlockAt(-1);
    mgr.RemoveBlockAt(3);
    EXPECT_EQ(mgr.BlockCount(), 3);
    mgr.RemoveBlockAt(1);
    EXPECT_EQ(mgr.BlockCount(), 2);
    EXPECT_EQ(mgr.FindBlock(1), 0);
    EXPECT_EQ(mgr.FindBlock(2), -1);
    EXPECT_EQ(mgr.FindBlock(3), 1);
    mgr.RemoveAllBlocks();
    EXPECT_EQ(mgr.BlockCount(), 0);
}

TEST(PluginDataMgrBlocks, CarriesTheRegistryAndTheSaveFlag)
{
    PluginDataMgr mgr;
    EXPECT_EQ(mgr.SaveEnabled(), 0);
    mgr.SetSaveEnabled(1);
    EXPECT_EQ(mgr.SaveEnabled(), 1);
    mgr.Registry().Add(QStringLiteral("/s"), QStringLiteral("QP-R60"), QStringLiteral("COM1"));
    EXPECT_EQ(static_cast<const PluginDataMgr&>(mgr).Registry().Count(), 1);
}

} // namespace
