// Start mode 3 with the real program: "/mR /r<port path>" opens the port that the path
// leads to, against the emulated printer on loopback and on a pseudo-terminal, without
// the selection dialog. The windows are driven through the program's test hook.
#include "e2e_fixture.h"

#include "app/fixed_text.h"
#include "emulator_process.h"

#include <qpu/port_info.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstring>
#include <sys/file.h>

#include "e2e_files.h"

namespace {

constexpr int kModelLineId = 1021;
constexpr int kPortLineId = 1022;
constexpr int kStatusLineId = 1025;
const char kNoAnswer[] = "warning QP-R60 Utility\tCannot communicate with the printer.";

class StartModeThreeE2e : public e2e::ProgramFixture
{
protected:
    void SetUp() override
    {
        QDir().mkpath(Path("dev"));
        PrepareWorld({"--tcp", "127.0.0.1:0", "--pty", Tty().toStdString()});
    }

    QString Tty() const { return Path("dev/ttyUSB0"); }

    std::unique_ptr<ProgramRun> Run(const QString& portPath)
    {
        QProcessEnvironment env = BaseEnvironment();
        env.insert("QPCOMM_DEV_DIR", Path("dev"));
        return RunProgram({"/mR", "/r" + portPath}, env);
    }

    // The main window, shown without any message box before it.
    int MainWindowWithoutMessage(ProgramRun& run)
    {
        const auto frame = run.WaitFor("shown", "CMainFrame");
        EXPECT_TRUE(frame.has_value()) << run.Log().join('\n').toStdString();
        const QString log = run.Log().join('\n');
        EXPECT_FALSE(log.contains("msgbox")) << log.toStdString();
        EXPECT_FALSE(log.contains("CPrinterSelectDlg")) << log.toStdString();
        return frame ? frame->id : 0;
    }

    void CloseAndExit(ProgramRun& run, int frameId)
    {
        run.Send(QStringLiteral("close %1").arg(frameId));
        EXPECT_EQ(run.WaitForExit(), 1) << run.Log().join('\n').toStdString();
        // Start mode 3 keeps no registry of its own.
        EXPECT_FALSE(QFileInfo::exists(Path("common/VORKA/QP60Utl/PrinterSetting.INI")));
    }
};

} // namespace

TEST_F(StartModeThreeE2e, NetworkPathReachesThePrinterAndShowsPortAtHost)
{
    auto run = Run(QStringLiteral("//127.0.0.1/QP-R60"));
    const int frame = MainWindowWithoutMessage(*run);
    ASSERT_NE(frame, 0);
    const QHash<int, QString> fields = WaitForPrinterRead(*run, frame);
    EXPECT_TRUE(fields.value(kModelLineId).startsWith("QP-R60 "))
        << fields.value(kModelLineId).toStdString();
    EXPECT_EQ(fields.value(kPortLineId), QStringLiteral("Port: QP-R60@127.0.0.1"));
    EXPECT_EQ(fields.value(kStatusLineId), QStringLiteral("Status: Online"));
    // The printer heard the model name query of the communication check.
    EXPECT_TRUE(qpr60test::hexText(m_printer.receivedBytes()).find("1D 49 43") !=
                std::string::npos);
    CloseAndExit(*run, frame);
}

TEST_F(StartModeThreeE2e, RegisteredDriverPortIsOpenedByItsPath)
{
    WriteNetPortList(QStringLiteral("127.0.0.1"), QStringLiteral("//printhost/printers/VSDPRT1"));
    auto run = Run(QStringLiteral("//printhost/printers/VSDPRT1"));
    const int frame = MainWindowWithoutMessage(*run);
    ASSERT_NE(frame, 0);
    const QHash<int, QString> fields = WaitForPrinterRead(*run, frame);
    EXPECT_TRUE(fields.value(kModelLineId).contains("ESC/VRK"));
    EXPECT_EQ(fields.value(kPortLineId), QStringLiteral("Port: VSDPRT1@printhost"));
    CloseAndExit(*run, frame);
}

TEST_F(StartModeThreeE2e, SerialDevicePathReachesThePrinter)
{
    auto run = Run(Tty());
    const int frame = MainWindowWithoutMessage(*run);
    ASSERT_NE(frame, 0);
    const QHash<int, QString> fields = WaitForPrinterRead(*run, frame);
    EXPECT_TRUE(fields.value(kModelLineId).contains("ESC/VRK"));
    EXPECT_TRUE(fields.value(kPortLineId).startsWith("Port: ttyUSB0"))
        << fields.value(kPortLineId).toStdString();
    CloseAndExit(*run, frame);
}

TEST_F(StartModeThreeE2e, PrinterThatDoesNotAnswerStillStartsAfterTheMessage)
{
    m_printer.control("silent on");
    auto run = Run(QStringLiteral("//127.0.0.1/QP-R60"));
    EXPECT_EQ(run->AnswerMessageBox("ok"), QString::fromUtf8(kNoAnswer));
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << run->Log().join('\n').toStdString();
    CloseAndExit(*run, frame->id);
}

TEST_F(StartModeThreeE2e, DeviceThatIsNoPrinterPortIsNotOpened)
{
    auto run = Run(QStringLiteral("/dev/null"));
    EXPECT_EQ(run->AnswerMessageBox("ok"), QString::fromUtf8(kNoAnswer));
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << run->Log().join('\n').toStdString();
    CloseAndExit(*run, frame->id);
}

TEST_F(StartModeThreeE2e, PortHeldByAnotherProcessEndsWithMessageFour)
{
    QFile lock(Path(QStringLiteral("run/qpcomm-net-127.0.0.1_%1.lock").arg(m_printer.tcpPort())));
    ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(lock.handle(), LOCK_EX | LOCK_NB), 0);
    auto run = Run(QStringLiteral("//127.0.0.1/QP-R60"));
    EXPECT_EQ(run->AnswerMessageBox("ok"),
              QStringLiteral("warning QP-R60 Utility\tCannot launch the printer because it is "
                             "in use by another application."));
    EXPECT_EQ(run->WaitForExit(), 1);
    EXPECT_FALSE(run->Log().join('\n').contains("CMainFrame"));
}
