// Finding the companion tools in a temporary system (registry stand-in, desktop entries,
// program files), reading back the connector's port, and the tool worker's notifications.
#include "add_port_test_support.h"
#include "printers/companion_tools.h"

#include <qpu/window_message.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <memory>
#include <vector>

using namespace addporttest;

namespace {

QByteArray Key(const char* key)
{
    return QByteArray("[") + key + "]\n";
}

class CompanionTools : public ::testing::Test
{
protected:
    FakeSystem m_system;
};

} // namespace

TEST_F(CompanionTools, NetworkToolFromTheUninstallKeyEvenWithoutAFile)
{
    m_system.SetRegistry(Key(kNetworkToolKey) + "InstallLocation=" + m_system.Path("vn").toUtf8() +
                         "\n");
    // A tool at the fallback location is not looked at once the key names a place.
    m_system.AddScript("opt/VORKA/VorkaNet Config V4/VNConfig.exe");
    tools::ToolPaths paths;
    tools::ToolButtons buttons = tools::LookUpTools(3, paths);
    EXPECT_EQ(paths.networkTool, m_system.Path("vn/VNConfig.exe"));
    EXPECT_TRUE(buttons.networkDecided);
    EXPECT_FALSE(buttons.networkToolEnabled);
    EXPECT_FALSE(buttons.portDecided);
    EXPECT_TRUE(paths.portTool.isEmpty());

    m_system.AddScript("vn/VNConfig.exe");
    buttons = tools::LookUpTools(3, paths);
    EXPECT_TRUE(buttons.networkToolEnabled);
}

TEST_F(CompanionTools, NetworkToolFallsBackToProgramFiles)
{
    const QString fallback = m_system.Path("opt/VORKA/VorkaNet Config V4/VNConfig.exe");
    // No key.
    EXPECT_EQ(tools::FindNetworkTool(), fallback);
    // An expandable value does not count.
    m_system.SetRegistry(Key(kNetworkToolKey) + "InstallLocation=expand:%ProgramFiles%/vn\n");
    EXPECT_EQ(tools::FindNetworkTool(), fallback);
    // Nor does a value that leaves no room for the program's name.
    m_system.SetRegistry(Key(kNetworkToolKey) + "InstallLocation=/" + QByteArray(250, 'a') + "\n");
    EXPECT_EQ(tools::FindNetworkTool(), fallback);
    m_system.SetRegistry(Key(kNetworkToolKey) + "InstallLocation=/" + QByteArray(245, 'a') + "\n");
    EXPECT_EQ(tools::FindNetworkTool().size(), 246 + 13);

    tools::ToolPaths paths;
    EXPECT_FALSE(tools::LookUpTools(3, paths).networkToolEnabled);
    m_system.SetRegistry({});
    m_system.AddScript("opt/VORKA/VorkaNet Config V4/VNConfig.exe");
    EXPECT_TRUE(tools::LookUpTools(3, paths).networkToolEnabled);
}

TEST_F(CompanionTools, PortToolFromAppPathsExpanded)
{
    QDir().mkpath(m_system.Path("opt/vrk"));
    m_system.SetRegistry(Key(kPortToolKey) + "Path=expand:%ProgramFiles%/vrk\n");
    EXPECT_EQ(tools::FindPortTool(), m_system.Path("opt/vrk"));
    tools::ToolPaths paths;
    const tools::ToolButtons buttons = tools::LookUpTools(0, paths);
    EXPECT_EQ(paths.portTool, m_system.Path("opt/vrk"));
    EXPECT_TRUE(buttons.portToolEnabled); // a folder counts
    EXPECT_FALSE(buttons.networkDecided);

    // A plain value is expanded too.
    m_system.SetRegistry(Key(kPortToolKey) + "Path=$ProgramFiles/plain\n");
    EXPECT_EQ(tools::FindPortTool(), m_system.Path("opt/plain"));
}

TEST_F(CompanionTools, PortToolFromStartMenusAllUsersFirst)
{
    // A value longer than 129 characters cannot be read and is passed over.
    m_system.SetRegistry(Key(kPortToolKey) + "Path=/" + QByteArray(129, 'p') + "\n");
    const QString userTool = m_system.AddScript("home/tool/user/VrkCa.exe");
    const QString commonTool = m_system.AddScript("common/tool/VrkCa.exe");
    m_system.AddDesktopEntry(
        "home/.local/share/applications/VORKA QPCOMUSB Serial Emulation Driver/"
        "COM Assignment Tool.desktop",
        userTool);
    EXPECT_EQ(tools::FindPortTool(), m_system.Path("home/tool/user"));

    // The second shortcut name in the second all-users folder beats the user's menu.
    m_system.AddDesktopEntry(
        "usr/share/applications/VORKA/QP Virtual Port Driver/Port Assignment Tool.desktop",
        commonTool);
    EXPECT_EQ(tools::FindPortTool(), m_system.Path("common/tool"));
}

TEST_F(CompanionTools, PortToolLastResortIsTheProgramFilesProgram)
{
    // A shortcut whose program is missing counts as no shortcut.
    m_system.AddDesktopEntry(
        "usr/share/applications/VORKA/QP Virtual Port Driver/Port Assignment Tool.desktop",
        m_system.Path("missing/VrkCa.exe"));
    const QString fallback = m_system.Path("opt/VORKA/QPCOMUSB/VrkCa.exe");
    tools::ToolPaths paths;
    tools::ToolButtons buttons = tools::LookUpTools(1, paths);
    EXPECT_EQ(paths.portTool, fallback);
    EXPECT_FALSE(buttons.portToolEnabled);

    m_system.AddScript("opt/VORKA/QPCOMUSB/VrkCa.exe");
    buttons = tools::LookUpTools(1, paths);
    EXPECT_TRUE(buttons.portToolEnabled);
}

TEST_F(CompanionTools, ConnectorOnlyWhenInstalledAndOnlyLookedUpForBluetooth)
{
    tools::ToolPaths paths;
    tools::ToolButtons buttons = tools::LookUpTools(4, paths);
    EXPECT_TRUE(buttons.connectorDecided);
    EXPECT_FALSE(buttons.connectorEnabled);
    EXPECT_TRUE(paths.connector.isEmpty());

    const QString connector =
        m_system.AddScript("opt/VORKA/QP Bluetooth Connector/QPBluetoothConnector.exe");
    buttons = tools::LookUpTools(4, paths);
    EXPECT_TRUE(buttons.connectorEnabled);
    EXPECT_EQ(paths.connector, connector);
    EXPECT_TRUE(buttons.portDecided); // Bluetooth looks up the port tool as well

    // Another interface leaves the connector path alone but clears the others.
    paths.networkTool = QStringLiteral("/x");
    buttons = tools::LookUpTools(0, paths);
    EXPECT_FALSE(buttons.connectorDecided);
    EXPECT_EQ(paths.connector, connector);
    EXPECT_TRUE(paths.networkTool.isEmpty());
}

TEST_F(CompanionTools, SwitchingAwayFromEthernetClearsTheNetworkToolAndBackFindsItAgain)
{
    m_system.AddScript("opt/VORKA/VorkaNet Config V4/VNConfig.exe");
    tools::ToolPaths paths;
    EXPECT_TRUE(tools::LookUpTools(3, paths).networkToolEnabled);
    EXPECT_FALSE(paths.networkTool.isEmpty());
    tools::LookUpTools(0, paths);
    EXPECT_TRUE(paths.networkTool.isEmpty());
    EXPECT_FALSE(paths.portTool.isEmpty());
    tools::LookUpTools(3, paths);
    EXPECT_FALSE(paths.networkTool.isEmpty());
    EXPECT_TRUE(paths.portTool.isEmpty());
}

TEST_F(CompanionTools, VirtualComPortOfTheConnectorSettings)
{
    EXPECT_EQ(tools::ConnectorSettingsPath(),
              m_system.Path("var/lib/VORKA/QPBTConnector/QPBTSetting.ini"));
    EXPECT_TRUE(tools::ReadVirtualComPort().isEmpty());
    WriteFile(tools::ConnectorSettingsPath(), "[Setting]\nVirtualComPort=rfcomm3\n");
    EXPECT_EQ(tools::ReadVirtualComPort(), QStringLiteral("rfcomm3"));
    WriteFile(tools::ConnectorSettingsPath(), "[Other]\nVirtualComPort=rfcomm3\n");
    EXPECT_TRUE(tools::ReadVirtualComPort().isEmpty());
    WriteFile(tools::ConnectorSettingsPath(),
              "[Setting]\nVirtualComPort=" + QByteArray(300, 'c') + "\n");
    EXPECT_EQ(tools::ReadVirtualComPort().size(), 254);
}

// ---------------------------------------------------------------------------------------
// The worker

namespace {

// Records the window messages it gets, with the thread they arrived on.
class MessageSink : public QObject
{
public:
    struct Received
    {
        int message;
        intptr_t wParam;
        bool onOwnThread;
    };
    std::vector<Received> received;
    std::function<void(int)> onMessage;

protected:
    bool event(QEvent* event) override
    {
        if (auto* message = qpu::WindowMessageEvent::From(event)) {
            received.push_back(
                {message->message(), message->wParam(), QThread::currentThread() == thread()});
            message->setResult(0);
            if (onMessage)
                onMessage(message->message());
            return true;
        }
        return QObject::event(event);
    }
};

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

class ToolWorkerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QCoreApplication::instance())
            s_app = new QCoreApplication(s_argc, s_argv);
    }

    FakeSystem m_system;
    static inline int s_argc = 1;
    static inline char s_name[] = "test_add_port";
    static inline char* s_argv[] = {s_name, nullptr};
    static inline QCoreApplication* s_app = nullptr;
};

} // namespace

TEST_F(ToolWorkerTest, StartedThenEndedOnTheReceiversThreadAfterTheProgramEnds)
{
    const QString marker = m_system.Path("ran");
    const QString tool = m_system.AddScript("opt/tool.sh", "touch '" + marker.toUtf8() + "'");
    MessageSink sink;
    bool markerAtEnd = false;
    sink.onMessage = [&](int message) {
        if (message == tools::kMsgNetworkTool && sink.received.size() == 2)
            markerAtEnd = QFile::exists(marker);
    };
    auto worker = tools::ToolWorker::Start(&sink, tool, {tools::kMsgNetworkTool, 1},
                                           {tools::kMsgNetworkTool, 0});
    ASSERT_TRUE(worker);
    ASSERT_TRUE(WaitFor([&] { return worker->IsFinished(); }));
    ASSERT_EQ(sink.received.size(), 2u);
    EXPECT_EQ(sink.received[0].wParam, 1);
    EXPECT_EQ(sink.received[1].wParam, 0);
    EXPECT_TRUE(sink.received[0].onOwnThread);
    EXPECT_TRUE(sink.received[1].onOwnThread);
    EXPECT_TRUE(markerAtEnd); // the end comes after the program ended
    EXPECT_TRUE(worker->ProgramStarted());
}

TEST_F(ToolWorkerTest, AProgramThatCannotStartEndsAtOnce)
{
    MessageSink sink;
    for (const QString& program : {m_system.Path("missing.exe"), QString(), m_system.Path("opt")}) {
        sink.received.clear();
        auto worker = tools::ToolWorker::Start(&sink, program, {tools::kMsgConnectorStarted, 0},
                                               {tools::kMsgConnectorEnded, 0});
        ASSERT_TRUE(worker);
        ASSERT_TRUE(WaitFor([&] { return worker->IsFinished(); })) << program.toStdString();
        ASSERT_EQ(sink.received.size(), 2u);
        EXPECT_EQ(sink.received[0].message, tools::kMsgConnectorStarted);
        EXPECT_EQ(sink.received[1].message, tools::kMsgConnectorEnded);
        EXPECT_FALSE(worker->ProgramStarted());
    }
}

TEST_F(ToolWorkerTest, DestroyingTheWorkerStopsNotificationsWithoutWaitingForTheTool)
{
    const QString release = m_system.Path("release");
    const QString tool = m_system.AddScript("opt/slow.sh", "while [ ! -e '" + release.toUtf8() +
                                                               "' ]; do sleep 0.05; done");
    auto sink = std::make_unique<MessageSink>();
    auto worker = tools::ToolWorker::Start(sink.get(), tool, {tools::kMsgNetworkTool, 1},
                                           {tools::kMsgNetworkTool, 0});
    ASSERT_TRUE(WaitFor([&] { return sink->received.size() == 1; }));
    QElapsedTimer timer;
    timer.start();
    worker.reset();
    EXPECT_LT(timer.elapsed(), 1000);
    // The receiver may go now; the tool's end reaches nobody.
    sink.reset();
    WriteFile(release, "x");
    QThread::msleep(300);
    QCoreApplication::processEvents();
}

TEST_F(ToolWorkerTest, AMessageStillPendingWhenOwnerAndReceiverGoReleasesTheWorker)
{
    const QString marker = m_system.Path("started");
    const QString tool = m_system.AddScript("opt/tool.sh", "touch '" + marker.toUtf8() + "'");
    auto sink = std::make_unique<MessageSink>();
    auto worker = tools::ToolWorker::Start(sink.get(), tool, {tools::kMsgNetworkTool, 1},
                                           {tools::kMsgNetworkTool, 0});
    // Without an event loop the started message stays pending; the owner goes first, as a
    // dialog's members go before its window, then the receiver with the pending message.
    QThread::msleep(100);
    worker.reset();
    sink.reset();
    // Released, the worker goes on: it starts the tool and ends by itself.
    EXPECT_TRUE(WaitFor([&] { return QFile::exists(marker); }));
}
