// The registry (PrinterSetting.INI) and the communication library's port list are saved
// by processes that may be killed at any moment. A writer is killed at random moments of
// its saves, again and again; every time, the next start must read a whole file: the one
// from before a save or the one after it, never a mixture and never one it puts aside.
#include "comm/comm_lib_binding.h"
#include "printers/printer_registry.h"

#include "app/fixed_text.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <cstring>
#include <functional>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kKills = 100;
// The writers save lists of these lengths.
constexpr int kShortList = 2;
constexpr int kLongList = 4;

QString PortNameOf(int index)
{
    return QStringLiteral("port-%1").arg(index);
}

// The registry of n printers, each on its own port.
PrinterRegistry RegistryOf(const QString& folder, int n)
{
    PrinterRegistry registry;
    for (int i = 0; i < n; ++i)
        registry.Add(folder, QStringLiteral("QP-R60"), PortNameOf(i));
    return registry;
}

// A port record whose every field tells its index, so that a record made of two saves shows.
PortInfo PortOf(int index)
{
    PortInfo port;
    std::memset(&port, 0, sizeof port);
    SetFixedText(port.interfaceKeyword, QStringLiteral("NET"));
    SetFixedText(port.portName, PortNameOf(index));
    SetFixedText(port.deviceName, QStringLiteral("QP-R60"));
    SetFixedText(port.driverPortPath, QStringLiteral("/dev/VSDPRT%1").arg(index));
    port.reserved1 = -1;
    port.reserved2 = -1;
    std::memset(port.unused2, index, sizeof port.unused2);
    return port;
}

// One of the files: how a writer saves it over and over, and what the next start reads.
// The saves of a cycle of rounds lead through every state of the file; when exactStates
// holds, the saves of rounds n and n + cycle write the same bytes whatever came before.
struct SavedFile
{
    const char* name;
    QString path;
    int cycle;
    bool exactStates;
    std::function<void(int round)> save;  // one save of the list for this round
    std::function<QString()> readAtStart; // empty when a whole file was read, else why not
};

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class KilledSaveTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("QP60UTIL_COMMON_APPDATA", m_dir.filePath("common").toUtf8());
    }
    void TearDown() override { qunsetenv("QP60UTIL_COMMON_APPDATA"); }

    QString SettingsFolder() const { return m_dir.filePath("settings"); }
    QString PortList() const { return m_dir.filePath("common/VORKA/QPComm/ports.dat"); }

    SavedFile Registry()
    {
        QDir().mkpath(SettingsFolder());
        return {"PrinterSetting.INI",
                PrinterRegistry::IniPathOf(SettingsFolder()),
                2,
                true,
                [this](int round) {
                    RegistryOf(SettingsFolder(), round % 2 ? kLongList : kShortList)
                        .Save(SettingsFolder());
                },
                [this]() -> QString {
                    PrinterRegistry loaded;
                    const int count = loaded.Load(SettingsFolder());
                    if (count != kShortList && count != kLongList)
                        return QStringLiteral("%1 printers").arg(count);
                    for (int i = 0; i < count; ++i) {
                        const PrinterEntry& entry = loaded.Entries().at(i);
                        if (entry.deviceName != QLatin1String("QP-R60") ||
                            entry.portName != PortNameOf(i) ||
                            entry.dir != QStringLiteral("PORT_%1").arg(i))
                            return QStringLiteral("entry %1 is damaged").arg(i);
                    }
                    return {};
                }};
    }

    SavedFile Ports()
    {
        m_binding.Bind(QStringLiteral("QPComm.dll"), QStringLiteral(QPU_APP_DIR "/"));
        return {"the port list",
                PortList(),
                2 * kLongList,
                false,
                [this](int round) {
                    // Adds the ports of a long list one by one, then removes them again.
                    const int step = round % (2 * kLongList);
                    PortInfo port = PortOf(step % kLongList);
                    if (step < kLongList)
                        m_binding.Call(&CommLibTable::AddPort, &port);
                    else
                        m_binding.Call(&CommLibTable::RemovePort, &port);
                },
                [this]() -> QString {
                    uint32_t count = 0;
                    if (m_binding.Call(&CommLibTable::EnumPort, nullptr, 0u, &count) != QPC_OK)
                        return QStringLiteral("the list cannot be read");
                    std::vector<PortInfo> ports(count);
                    std::vector<PortInfo*> list;
                    for (PortInfo& port : ports)
                        list.push_back(&port);
                    if (count > 0 && m_binding.Call(&CommLibTable::EnumPort, list.data(), count,
                                                    &count) != QPC_OK)
                        return QStringLiteral("the list cannot be read");
                    if (QFileInfo::exists(PortList() + QStringLiteral(".bad")))
                        return QStringLiteral("the list was put aside as unreadable");
                    for (uint32_t i = 0; i < count; ++i) {
                        const PortInfo expected =
                            PortOf(FixedText(ports[i].portName).mid(5).toInt());
                        if (std::memcmp(&ports[i], &expected, sizeof(PortInfo)) != 0)
                            return QStringLiteral("record %1 is damaged").arg(i);
                    }
                    return {};
                }};
    }

    SavedFile FileUnderTest() { return GetParam() == 0 ? Registry() : Ports(); }

    QTemporaryDir m_dir;
    CommLibBinding m_binding;
};

TEST_P(KilledSaveTest, NextStartReadsAWholeFileAfterEveryKill)
{
    const SavedFile file = FileUnderTest();
    ASSERT_TRUE(GetParam() == 0 || m_binding.IsBound()) << m_binding.ErrorString().toStdString();
    // Every file that a complete save leaves, and how long a cycle of saves takes, for
    // kills that land anywhere within it.
    for (int round = 0; round < file.cycle; ++round)
        file.save(round);
    QSet<QByteArray> whole;
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < file.cycle; ++round) {
        file.save(round);
        whole.insert(Contents(file.path));
    }
    const int spanUs = static_cast<int>(std::max<qint64>(timer.nsecsElapsed() / 1000, 400));
    ASSERT_EQ(file.readAtStart(), QString());

    for (int kill = 0; kill < kKills; ++kill) {
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (int round = kill;; ++round)
                file.save(round);
        }
        ::usleep(QRandomGenerator::global()->bounded(spanUs));
        ::kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own";
        ASSERT_TRUE(!file.exactStates || whole.contains(Contents(file.path)))
            << file.name << " is not one that a save wrote, kill " << kill;
        ASSERT_EQ(file.readAtStart(), QString()) << file.name << ", kill " << kill;
    }
    std::printf("%s: %d kills within %d us of saves\n", file.name, kKills, spanUs);
}

INSTANTIATE_TEST_SUITE_P(RegistryAndPortList, KilledSaveTest, ::testing::Values(0, 1),
                         [](const auto& info) {
                             return info.param == 0 ? std::string("Registry")
                                                    : std::string("PortList");
                         });

} // namespace
