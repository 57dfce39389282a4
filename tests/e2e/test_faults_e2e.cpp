// Faults around the real program: a printer that dies, goes silent, answers garbage or
// slowly, drops its connection or changes its status all the time while the settings are
// read; a disk that is full or read-only when the settings are saved at exit; a damaged
// settings file at start. Every case must end with a clear message, no hang, no crash and
// no lost settings file.
#include "e2e_fixture.h"

#include "app/fixed_text.h"
#include "app/startup_rules.h"
#include "emulator_process.h"
#include "pages/plugin_data_mgr.h"
#include "platform/profile.h"

#include <qpu/port_info.h>
#include <qpu/shipped_blocks.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/fs.h>
#include <ostream>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "e2e_files.h"

// Texts in failure messages as text, not as code units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << "\" " << text.toUtf8().toHex(' ').toStdString();
}

namespace {

using e2e::CopyFolder;
using e2e::PutLe32;
using e2e::ReadFile;
using e2e::WriteFile;

constexpr int kOkButtonId = 1;
constexpr int kModelLineId = 1021;
constexpr int kStatusLineId = 1025;
constexpr quint32 kMarkerBlockId = 0x7F0000AA;
// Menu row of the print settings page.
constexpr int kPrintSettingsRow = 2;
// The print settings page asks the printer for customized value 5 first: from then on
// the printer check is behind the read, and a fault hits the pages' reads.
const char kFirstPageRead[] = "1D 28 45 02 00 06 05";

// The texts of the English language file that the faults must show (the file's line
// breaks come as CR LF).
const QString kPartialRead =
    QStringLiteral("warning QP-R60 Utility\tCould not get some settings from the printer.");
QString NotSavedText(const QString& path)
{
    return QStringLiteral("warning QP-R60 Utility\tCould not save the printer's settings to the "
                          "file:\r\n%1\r\nA settings file saved earlier was left as it was.")
        .arg(path);
}
QString DamagedText(const QString& keptAs)
{
    return QStringLiteral("warning QP-R60 Utility\tThe saved settings file of this printer is "
                          "damaged and could not be read.\r\nIt was kept as:\r\n%1")
        .arg(keptAs);
}

// Sets or clears the immutable attribute of a file or folder; false when the file system
// or the process's rights do not allow it.
bool SetImmutable(const QString& path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

class FaultsE2e : public e2e::ProgramFixture
{
protected:
    void SetUp() override
    {
        PrepareWorld();
        WriteNetPortList();
    }

    void TearDown() override
    {
        // A folder left immutable could not be removed with the temporary tree.
        if (!m_immutable.isEmpty())
            SetImmutable(m_immutable, false);
    }

    QString SettingsFolder() const { return Path("common/VORKA/QP60Utl"); }
    QString PrinterFolder() const { return SettingsFolder() + "/PORT_0"; }
    QString SettingsFile() const { return PrinterFolder() + "/QP-R60_Setting.DAT"; }
    QString RegistryIni() const { return SettingsFolder() + "/PrinterSetting.INI"; }

    std::unique_ptr<ProgramRun> Run(const QStringList& arguments = {})
    {
        return RunProgram(arguments, BaseEnvironment());
    }

    // The printer as registered by an earlier run, with its settings file in PORT_0.
    void RegisterPrinter()
    {
        ASSERT_TRUE(QDir().mkpath(PrinterFolder()));
        ASSERT_TRUE(platform::WritePrivateProfileString("INFO", "COUNT", "1", RegistryIni()));
        ASSERT_TRUE(
            platform::WritePrivateProfileString("PORT_0", "DeviceName", "QP-R60", RegistryIni()));
        ASSERT_TRUE(
            platform::WritePrivateProfileString("PORT_0", "PortName", "127.0.0.1", RegistryIni()));
        ASSERT_TRUE(platform::WritePrivateProfileString("PORT_0", "Dir", "PORT_0", RegistryIni()));
    }

    // A settings file of an earlier run: a block that no page owns, so that any rewrite
    // shows in the bytes. Answers the file's bytes.
    QByteArray SeedSettingsFile()
    {
        RegisterPrinter();
        PluginDataMgr blocks;
        EXPECT_EQ(blocks.AddBlock(kMarkerBlockId, 0x10000, 64), 0);
        QByteArray marker(64, '\0');
        EXPECT_EQ(blocks.GetBlockData(kMarkerBlockId, marker.data(), 64), 0);
        marker.replace(32, 6, "EARLIER");
        EXPECT_EQ(blocks.SetBlockData(kMarkerBlockId, 64, marker.data()), 0);
        blocks.SetSaveEnabled(1);
        EXPECT_EQ(blocks.SaveSettingsFile(SettingsFile(), "QP-R60", 0x10000, 0x10000), 1);
        return ReadFile(SettingsFile());
    }

    // Chooses the printer in the selection dialog; the main window's id, or 0.
    int OpenMainWindow(ProgramRun& run)
    {
        const auto dialog = run.WaitFor("shown", "CPrinterSelectDlg");
        EXPECT_TRUE(dialog.has_value()) << Log(run);
        if (!dialog)
            return 0;
        run.Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kOkButtonId));
        const auto frame = run.WaitFor("shown", "CMainFrame");
        EXPECT_TRUE(frame.has_value()) << Log(run);
        return frame ? frame->id : 0;
    }

    struct ReadUnderWay
    {
        std::unique_ptr<ProgramRun> run;
        int frame = 0;
        int progress = 0; // 0 when the read did not get as far as the pages
    };

    // Starts the program with answers slowed by the emulator command `slow`, which
    // stretches the read so that a fault comes in the middle of it, and waits until the
    // read is past the printer check, at the pages' first request.
    ReadUnderWay StartSlowReadUpToThePages(const char* slow)
    {
        ReadUnderWay read;
        EXPECT_EQ(Control(slow), "OK");
        read.run = Run();
        read.frame = OpenMainWindow(*read.run);
        EXPECT_NE(read.frame, 0);
        const int progress = read.frame != 0 ? WaitForProgress(*read.run) : 0;
        EXPECT_NE(progress, 0) << Log(*read.run);
        const bool atThePages = progress != 0 && WaitForPrinterToReceive(kFirstPageRead);
        EXPECT_TRUE(atThePages) << Log(*read.run);
        read.progress = atThePages ? progress : 0;
        return read;
    }

    // The progress window of the read that the main window starts; its id, or 0.
    static int WaitForProgress(ProgramRun& run)
    {
        const auto progress = run.WaitFor("shown", "CCommStateDlg", 20000);
        return progress ? progress->id : 0;
    }

    // Waits until the printer has received bytes, at most timeoutMs.
    bool WaitForPrinterToReceive(const char* hex, int timeoutMs = 20000) const
    {
        const qpr60test::Bytes wanted = qpr60test::hexBytes(hex);
        const QByteArray needle(reinterpret_cast<const char*>(wanted.data()),
                                static_cast<qsizetype>(wanted.size()));
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            const qpr60test::Bytes log = m_printer.receivedBytes();
            if (QByteArray(reinterpret_cast<const char*>(log.data()),
                           static_cast<qsizetype>(log.size()))
                    .contains(needle))
                return true;
            // The control channel answers at once; this only spaces the questions.
            QThread::msleep(2);
        }
        return false;
    }

    // Waits until no read runs: the main window has no disabled control and the status
    // strip shows the model line that a read gave.
    static bool WaitUntilIdle(ProgramRun& run, int frame, int timeoutMs = 30000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            const auto state = run.State(frame, 5000);
            if (state && state->value(kModelLineId).contains("ESC/VRK") &&
                state->value(-1).isEmpty())
                return true;
            run.WaitFor("hidden", {}, 100);
        }
        return false;
    }

    static bool WaitForStatusLine(ProgramRun& run, int frame, const QString& line,
                                  int timeoutMs = 20000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            const auto state = run.State(frame, 5000);
            if (state && state->value(kStatusLineId) == line)
                return true;
            run.WaitFor("hidden", {}, 100);
        }
        return false;
    }

    // How long one question through the test hook takes; -1 when no answer came.
    static qint64 RoundTripMs(ProgramRun& run, int frame)
    {
        QElapsedTimer timer;
        timer.start();
        return run.State(frame, 20000) ? timer.elapsed() : -1;
    }

    // Closes the main window and answers every box shown on the way out with OK; the box
    // texts.
    static QStringList Exit(ProgramRun& run, int frame)
    {
        QStringList boxes;
        run.Send(QStringLiteral("close %1").arg(frame));
        while (const auto box = run.AnswerMessageBox("ok", 5000))
            boxes << *box;
        return boxes;
    }

    static std::string Log(const ProgramRun& run) { return run.Log().join('\n').toStdString(); }

    static qint64 ResidentKiB(qint64 pid)
    {
        const QByteArray status = ReadFile(QStringLiteral("/proc/%1/status").arg(pid));
        for (const QByteArray& line : status.split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        return -1;
    }

    // The files in the printer's folder, the settings file and any left-over temporary
    // file of a failed save.
    QStringList PrinterFolderEntries() const
    {
        return QDir(PrinterFolder())
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    std::string Control(const std::string& command) const { return m_printer.control(command); }

    // Answers every message box with OK until the window has gone; the box texts, and
    // *gone whether it went within timeoutMs.
    static QStringList AnswerBoxesUntilHidden(ProgramRun& run, int window, int timeoutMs,
                                              bool* gone)
    {
        QStringList boxes;
        *gone = false;
        QDeadlineTimer deadline(timeoutMs);
        while (!*gone && !deadline.hasExpired()) {
            if (const auto box = run.WaitFor("msgbox", {}, 200)) {
                run.Send(QStringLiteral("click %1 ok").arg(box->id));
                run.WaitForHidden(box->id, 10000);
                boxes << ProgramRun::Unescape(box->rest);
            }
            *gone = run.WaitForHidden(window, 200);
        }
        return boxes;
    }

    // Runs the program until the read meets the fault that inject() brings in as soon as
    // the pages start reading, and checks the outcome: the partial-read warning, the main
    // window usable again, the exit without a save, the earlier file untouched.
    void ExpectPartialReadAfterFault(const std::function<void()>& inject,
                                     const std::function<void(ProgramRun&, int)>& afterwards = {})
    {
        const QByteArray before = SeedSettingsFile();
        ReadUnderWay read = StartSlowReadUpToThePages("slow 200");
        ASSERT_NE(read.progress, 0);
        auto& run = read.run;
        const int frame = read.frame;
        const int progress = read.progress;
        inject();

        // While the read waits for the printer, the program still answers.
        const qint64 roundTrip = RoundTripMs(*run, frame);
        EXPECT_GE(roundTrip, 0);
        EXPECT_LT(roundTrip, 10000);

        const auto box = run->AnswerMessageBox("ok", 30000);
        ASSERT_TRUE(box.has_value()) << Log(*run);
        EXPECT_EQ(*box, kPartialRead);
        EXPECT_TRUE(run->WaitForHidden(progress, 10000)) << Log(*run);
        const auto state = run->State(frame);
        ASSERT_TRUE(state.has_value()) << Log(*run);
        EXPECT_TRUE(state->value(-1).isEmpty()) << state->value(-1).toStdString();
        if (afterwards)
            afterwards(*run, frame);

        EXPECT_TRUE(Exit(*run, frame).isEmpty()) << Log(*run);
        EXPECT_EQ(run->WaitForExit(), 1) << Log(*run);
        // The read was incomplete: the file of the earlier run stays as it was.
        EXPECT_EQ(ReadFile(SettingsFile()), before);
    }

    QString m_immutable;
};

} // namespace

TEST_F(FaultsE2e, PrinterKilledDuringTheReadEndsItWithAMessage)
{
    ExpectPartialReadAfterFault(
        [this] {
            ASSERT_EQ(::kill(m_printer.pid(), SIGKILL), 0);
            m_printer.stop();
        },
        [](ProgramRun& run, int frame) {
            // The status strip does not go on claiming a printer that is gone.
            EXPECT_TRUE(WaitForStatusLine(run, frame, "Status: Cannot Get Status")) << Log(run);
        });
}

TEST_F(FaultsE2e, PrinterThatGoesAndComesBackIsShownAsItIs)
{
    auto run = Run();
    const int frame = OpenMainWindow(*run);
    ASSERT_NE(frame, 0);
    ASSERT_TRUE(WaitUntilIdle(*run, frame)) << Log(*run);
    const uint16_t port = m_printer.tcpPort();

    ASSERT_EQ(::kill(m_printer.pid(), SIGKILL), 0);
    m_printer.stop();
    EXPECT_TRUE(WaitForStatusLine(*run, frame, "Status: Cannot Get Status")) << Log(*run);

    // Switched on again at the same address.
    ASSERT_TRUE(m_printer.start({"--tcp", "127.0.0.1:" + std::to_string(port)}))
        << m_printer.error();
    EXPECT_TRUE(WaitForStatusLine(*run, frame, "Status: Online")) << Log(*run);
    EXPECT_TRUE(run->Log().filter("msgbox").isEmpty()) << Log(*run);
    EXPECT_TRUE(Exit(*run, frame).isEmpty()) << Log(*run);
    EXPECT_EQ(run->WaitForExit(), 1) << Log(*run);
}

TEST_F(FaultsE2e, PrinterSilentDuringTheReadEndsItWithAMessage)
{
    ExpectPartialReadAfterFault([this] { ASSERT_EQ(Control("silent on"), "OK"); });
}

TEST_F(FaultsE2e, GarbageAnswersDuringTheReadEndItWithAMessage)
{
    ExpectPartialReadAfterFault([this] { ASSERT_EQ(Control("garbage on"), "OK"); });
}

TEST_F(FaultsE2e, AnswersLaterThanTheTimeOutEndTheReadWithAMessage)
{
    ExpectPartialReadAfterFault([this] { ASSERT_EQ(Control("slow 2600"), "OK"); });
}

TEST_F(FaultsE2e, SilentPrinterWithASavedCopyIsUsedWithoutTouchingTheCopy)
{
    const QByteArray before = SeedSettingsFile();
    const QByteArray registryBefore = ReadFile(RegistryIni());
    ASSERT_EQ(Control("silent on"), "OK");
    auto run = Run();
    const auto dialog = run->WaitFor("shown", "CPrinterSelectDlg");
    ASSERT_TRUE(dialog.has_value()) << Log(*run);
    run->Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kOkButtonId));
    const auto box = run->AnswerMessageBox("ok", 30000);
    ASSERT_TRUE(box.has_value()) << Log(*run);
    EXPECT_EQ(*box, QStringLiteral("warning QP-R60 Utility\tCannot communicate with the printer."));

    // The user works on the saved settings; nothing is read, so nothing is saved.
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << Log(*run);
    EXPECT_GE(RoundTripMs(*run, frame->id), 0);
    EXPECT_TRUE(Exit(*run, frame->id).isEmpty()) << Log(*run);
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    EXPECT_TRUE(run->Log().filter("CCommStateDlg").isEmpty()) << Log(*run);
    EXPECT_EQ(ReadFile(SettingsFile()), before);
    EXPECT_EQ(ReadFile(RegistryIni()), registryBefore);
}

TEST_F(FaultsE2e, GarbageAtTheChoiceOfPrinterKeepsTheDialogOpen)
{
    ASSERT_EQ(Control("garbage on"), "OK");
    auto run = Run();
    const auto dialog = run->WaitFor("shown", "CPrinterSelectDlg");
    ASSERT_TRUE(dialog.has_value()) << Log(*run);
    run->Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kOkButtonId));
    const auto box = run->AnswerMessageBox("ok", 30000);
    ASSERT_TRUE(box.has_value()) << Log(*run);
    EXPECT_EQ(*box, QStringLiteral("warning QP-R60 Utility\tCannot communicate with the printer."));

    // Without a saved copy the dialog stays for another choice; Cancel ends the program
    // without writing anything.
    EXPECT_GE(RoundTripMs(*run, dialog->id), 0);
    EXPECT_TRUE(run->Log().filter("CMainFrame").isEmpty()) << Log(*run);
    run->Send(QStringLiteral("close %1").arg(dialog->id));
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    EXPECT_FALSE(QFileInfo::exists(SettingsFile()));
    EXPECT_FALSE(QFileInfo::exists(RegistryIni()));
}

TEST_F(FaultsE2e, PrinterSilentWhileSettingsAreWrittenSaysSoAndSavesNothingWrong)
{
    auto run = Run();
    const int frame = OpenMainWindow(*run);
    ASSERT_NE(frame, 0);
    ASSERT_TRUE(WaitUntilIdle(*run, frame)) << Log(*run);
    const QString density = QStringLiteral("PrintSettingsPage/density");
    run->Send(QStringLiteral("menu %1 %2").arg(frame).arg(kPrintSettingsRow));
    ASSERT_TRUE(run->WaitFor("menu", QString::number(kPrintSettingsRow), 5000)) << Log(*run);
    run->Send(QStringLiteral("set %1 %2 115").arg(frame).arg(density));
    ASSERT_TRUE(run->WaitFor("set", density, 5000)) << Log(*run);

    ASSERT_EQ(Control("silent on"), "OK");
    run->Send(QStringLiteral("press %1 PrintSettingsPage/apply").arg(frame));
    ASSERT_TRUE(run->WaitFor("pressed", "PrintSettingsPage/apply", 5000)) << Log(*run);
    QStringList boxes;
    while (const auto box = run->WaitFor("msgbox", {}, 30000)) {
        const QString text = ProgramRun::Unescape(box->rest);
        boxes << text;
        const bool question = text.startsWith("question");
        run->Send(QStringLiteral("click %1 %2").arg(box->id).arg(question ? "yes" : "ok"));
        run->WaitForHidden(box->id, 10000);
        if (!question)
            break;
    }
    ASSERT_FALSE(boxes.isEmpty()) << Log(*run);
    EXPECT_EQ(boxes.last(), QStringLiteral("warning QP-R60 Utility\tFailed to change settings."));
    EXPECT_GE(RoundTripMs(*run, frame), 0);

    ASSERT_EQ(Control("silent off"), "OK");
    EXPECT_EQ(Control("custom 5"), "OK 100");
    // Leaving answers the page's question about the unsaved change with No.
    run->Send(QStringLiteral("close %1").arg(frame));
    while (const auto box = run->WaitFor("msgbox", {}, 3000)) {
        run->Send(QStringLiteral("click %1 no").arg(box->id));
        run->WaitForHidden(box->id, 5000);
    }
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    // The saved copy holds what the printer has, not the value that never reached it.
    PluginDataMgr saved;
    ASSERT_EQ(saved.LoadSettingsFile(SettingsFile()), 0);
    PrintSettingsBlock settings{};
    ASSERT_EQ(saved.GetBlockData(QPU_BLOCK_PRINT_SETTINGS_ID, &settings, sizeof settings), 0);
    EXPECT_EQ(settings.printDensity, 100);
}

TEST_F(FaultsE2e, SlowAnswersWithinTheTimeOutStillReadEverything)
{
    const QByteArray before = SeedSettingsFile();
    ASSERT_EQ(Control("slow 150"), "OK");
    ASSERT_EQ(Control("custom 5 120"), "OK");
    auto run = Run();
    const int frame = OpenMainWindow(*run);
    ASSERT_NE(frame, 0);
    ASSERT_TRUE(WaitUntilIdle(*run, frame, 60000)) << Log(*run);
    EXPECT_TRUE(run->Log().filter("msgbox").isEmpty()) << Log(*run);
    EXPECT_TRUE(Exit(*run, frame).isEmpty()) << Log(*run);
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);

    // A complete read is saved, and the block of the earlier run is kept.
    const QByteArray after = ReadFile(SettingsFile());
    EXPECT_NE(after, before);
    PluginDataMgr saved;
    ASSERT_EQ(saved.LoadSettingsFile(SettingsFile()), 0);
    QByteArray marker(64, '\0');
    ASSERT_EQ(saved.GetBlockData(kMarkerBlockId, marker.data(), 64), 0);
    EXPECT_EQ(marker.mid(32, 7), QByteArray("EARLIER"));
    PrintSettingsBlock settings{};
    ASSERT_EQ(saved.GetBlockData(QPU_BLOCK_PRINT_SETTINGS_ID, &settings, sizeof settings), 0);
    EXPECT_EQ(settings.printDensity, 120);
}

TEST_F(FaultsE2e, ConnectionDroppedDuringTheReadIsSurvived)
{
    const QByteArray before = SeedSettingsFile();
    ReadUnderWay read = StartSlowReadUpToThePages("slow 100");
    ASSERT_NE(read.progress, 0);
    auto& run = read.run;
    const int frame = read.frame;
    const int progress = read.progress;
    ASSERT_EQ(Control("drop"), "OK");

    // The library opens the connection again; the read either gets everything or says
    // that it did not.
    bool ended = false;
    const QStringList boxes = AnswerBoxesUntilHidden(*run, progress, 30000, &ended);
    ASSERT_TRUE(ended) << Log(*run);
    std::printf("[ figures  ] after the drop the read %s\n",
                boxes.isEmpty() ? "got everything" : "reported a partial read");
    EXPECT_LE(boxes.size(), 1) << boxes.join('|').toStdString();
    for (const QString& box : boxes)
        EXPECT_EQ(box, kPartialRead);
    EXPECT_GE(RoundTripMs(*run, frame), 0);

    EXPECT_TRUE(Exit(*run, frame).isEmpty()) << Log(*run);
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    // Saved only after a complete read, and then whole.
    if (!boxes.isEmpty())
        EXPECT_EQ(ReadFile(SettingsFile()), before);
    else
        EXPECT_EQ(PluginDataMgr().LoadSettingsFile(SettingsFile()), 0);
}

TEST_F(FaultsE2e, StatusChangingEveryMillisecondKeepsTheProgramResponsive)
{
    auto run = Run();
    const int frame = OpenMainWindow(*run);
    ASSERT_NE(frame, 0);
    ASSERT_TRUE(WaitUntilIdle(*run, frame)) << Log(*run);
    const qint64 residentBefore = ResidentKiB(run->Pid());

    // Offline and back: every return starts a fresh read of all settings, while the status
    // keeps changing underneath it.
    qint64 slowest = 0;
    QElapsedTimer flood;
    flood.start();
    int changes = 0;
    while (flood.elapsed() < 2000) {
        ASSERT_EQ(Control(changes % 2 == 0 ? "offline on" : "offline off"), "OK");
        ++changes;
        if (changes % 200 == 0) {
            const qint64 roundTrip = RoundTripMs(*run, frame);
            ASSERT_GE(roundTrip, 0) << "no answer after " << changes << " changes\n" << Log(*run);
            slowest = std::max(slowest, roundTrip);
        }
    }
    // The printer ends online.
    if (changes % 2 == 1) {
        ASSERT_EQ(Control("offline off"), "OK");
    }
    std::printf("[ figures  ] %d status changes in %lld ms, slowest hook answer %lld ms\n", changes,
                static_cast<long long>(flood.elapsed()), static_cast<long long>(slowest));
    EXPECT_GT(changes, 200);
    EXPECT_LT(slowest, 10000);

    // The program settles on the printer's real state: no read left running, "Online".
    bool settled = false;
    QDeadlineTimer deadline(30000);
    while (!settled && !deadline.hasExpired()) {
        while (const auto box = run->AnswerMessageBox("ok", 100))
            ADD_FAILURE() << box->toStdString();
        const auto state = run->State(frame, 5000);
        settled = state && state->value(-1).isEmpty() &&
                  state->value(kStatusLineId) == QStringLiteral("Status: Online");
    }
    EXPECT_TRUE(settled) << Log(*run);
    const qint64 residentAfter = ResidentKiB(run->Pid());
    std::printf("[ figures  ] resident memory %lld KiB before, %lld KiB after\n",
                static_cast<long long>(residentBefore), static_cast<long long>(residentAfter));
    EXPECT_LT(residentAfter - residentBefore, 64 * 1024);

    EXPECT_TRUE(Exit(*run, frame).isEmpty()) << Log(*run);
    EXPECT_EQ(run->WaitForExit(), 1) << Log(*run);
}

TEST_F(FaultsE2e, StatusChangingEveryMillisecondDuringTheReadDoesNotBreakIt)
{
    const QByteArray before = SeedSettingsFile();
    auto run = Run();
    const int frame = OpenMainWindow(*run);
    ASSERT_NE(frame, 0);
    const int progress = WaitForProgress(*run);
    ASSERT_NE(progress, 0) << Log(*run);

    // The cover opens and closes without pause while the read runs; the printer keeps
    // answering, and the read must tell its answers from the status blocks in between.
    int changes = 0;
    bool ended = false;
    QStringList boxes;
    QDeadlineTimer deadline(30000);
    while (!ended && !deadline.hasExpired()) {
        for (int i = 0; i < 50; ++i, ++changes)
            ASSERT_EQ(Control(changes % 2 == 0 ? "cover open" : "cover close"), "OK");
        boxes << AnswerBoxesUntilHidden(*run, progress, 1, &ended);
    }
    if (changes % 2 == 1) {
        ASSERT_EQ(Control("cover close"), "OK");
    }
    ASSERT_TRUE(ended) << Log(*run);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('|').toStdString();
    ASSERT_TRUE(WaitUntilIdle(*run, frame)) << Log(*run);

    EXPECT_TRUE(Exit(*run, frame).isEmpty()) << Log(*run);
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    EXPECT_NE(ReadFile(SettingsFile()), before);
    EXPECT_EQ(PluginDataMgr().LoadSettingsFile(SettingsFile()), 0);
}

TEST_F(FaultsE2e, DiskFullAtExitKeepsTheEarlierFileAndSaysSo)
{
    const QByteArray before = SeedSettingsFile();
    const QByteArray registryBefore = ReadFile(RegistryIni());
    auto run = Run();
    const int frame = OpenMainWindow(*run);
    ASSERT_NE(frame, 0);
    ASSERT_TRUE(WaitUntilIdle(*run, frame)) << Log(*run);

    // From now on no file of the program may grow beyond 200 bytes: the new settings file
    // is cut short as on a full disk.
    const rlimit limit{200, 200};
    ASSERT_EQ(::prlimit(static_cast<pid_t>(run->Pid()), RLIMIT_FSIZE, &limit, nullptr), 0);
    const QStringList boxes = Exit(*run, frame);
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    ASSERT_EQ(boxes.size(), 1) << Log(*run);
    EXPECT_EQ(boxes.first(), NotSavedText(SettingsFile()));
    EXPECT_EQ(ReadFile(SettingsFile()), before);
    EXPECT_EQ(PrinterFolderEntries(), QStringList{"QP-R60_Setting.DAT"});
    EXPECT_EQ(ReadFile(RegistryIni()), registryBefore);
}

// A printer set up for the first time: its settings file is written at exit, but the
// registry that names it cannot be. The copy would never be found again, so the user is
// told which file was not saved.
TEST_F(FaultsE2e, NewPrinterWhoseRegistryCannotBeSavedIsReported)
{
    ASSERT_TRUE(QDir().mkpath(RegistryIni() + "/inside")); // no file can replace it
    auto run = Run();
    const int frame = OpenMainWindow(*run);
    ASSERT_NE(frame, 0);
    ASSERT_TRUE(WaitUntilIdle(*run, frame)) << Log(*run);
    const QStringList boxes = Exit(*run, frame);
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    ASSERT_EQ(boxes.size(), 1) << Log(*run);
    EXPECT_EQ(boxes.first(), NotSavedText(RegistryIni()));
    EXPECT_TRUE(QFileInfo::exists(SettingsFile()));
}

TEST_F(FaultsE2e, DiskFullAtExitWithoutPrinterKeepsTheEarlierOutputFile)
{
    const QString output = Path("out/settings.out");
    const QByteArray earlierOutput(300, '\x11');
    ASSERT_TRUE(WriteFile(output, earlierOutput));
    auto run = Run({"/mF" + output});
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << Log(*run);
    EXPECT_GE(RoundTripMs(*run, frame->id), 0);

    const rlimit limit{200, 200};
    ASSERT_EQ(::prlimit(static_cast<pid_t>(run->Pid()), RLIMIT_FSIZE, &limit, nullptr), 0);
    run->Send(QStringLiteral("close %1").arg(frame->id));
    QStringList boxes;
    while (const auto box = run->WaitFor("msgbox", {}, 5000)) {
        const QString text = ProgramRun::Unescape(box->rest);
        boxes << text;
        run->Send(QStringLiteral("click %1 %2")
                      .arg(box->id)
                      .arg(text.startsWith("question") ? "yes" : "ok"));
        run->WaitForHidden(box->id, 5000);
    }
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    ASSERT_EQ(boxes.size(), 3) << Log(*run);
    EXPECT_EQ(boxes.at(0), NotSavedText(SettingsFile()));
    EXPECT_EQ(boxes.at(1), QStringLiteral("question Save to File\tDo you want to save the "
                                          "settings to the file?"));
    // The described text, then the file and why it was not written.
    EXPECT_EQ(boxes.at(2), QStringLiteral("warning QP-R60 Utility\tSaving to the file failed.\n") +
                               QDir::toNativeSeparators(output) +
                               QStringLiteral(": Cannot write: File too large."));
    EXPECT_EQ(ReadFile(output), earlierOutput);
    EXPECT_EQ(QDir(Path("out")).entryList(QDir::Files | QDir::Hidden), QStringList{"settings.out"});
    EXPECT_FALSE(QFileInfo::exists(SettingsFile()));
    EXPECT_TRUE(PrinterFolderEntries().isEmpty());
}

TEST_F(FaultsE2e, ReadOnlyFolderAtExitKeepsTheEarlierFileAndSaysSo)
{
    const QByteArray before = SeedSettingsFile();
    auto run = Run();
    const int frame = OpenMainWindow(*run);
    ASSERT_NE(frame, 0);
    ASSERT_TRUE(WaitUntilIdle(*run, frame)) << Log(*run);

    // Permission bits do not stop the superuser; the immutable attribute does.
    if (::geteuid() == 0) {
        if (!SetImmutable(PrinterFolder(), true))
            GTEST_SKIP() << "the file system does not take the immutable attribute";
        m_immutable = PrinterFolder();
    } else {
        ASSERT_TRUE(QFile::setPermissions(PrinterFolder(), QFile::ReadOwner | QFile::ExeOwner));
    }
    const QStringList boxes = Exit(*run, frame);
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    ASSERT_EQ(boxes.size(), 1) << Log(*run);
    EXPECT_EQ(boxes.first(), NotSavedText(SettingsFile()));
    EXPECT_EQ(ReadFile(SettingsFile()), before);
    EXPECT_EQ(PrinterFolderEntries(), QStringList{"QP-R60_Setting.DAT"});
}

TEST_F(FaultsE2e, DamagedSettingsFileAtStartIsKeptAsideAndReported)
{
    RegisterPrinter();
    // A file header that announces two blocks and a first block cut off in its payload.
    QByteArray damaged(136, '\0');
    damaged.replace(0, 4, QByteArray("PSD\0", 4));
    damaged[12] = 2;
    damaged.append(QByteArray("PND\0", 4));
    PutLe32(damaged, kMarkerBlockId);
    PutLe32(damaged, 0x10000);
    PutLe32(damaged, 992);
    damaged.append(QByteArray(16 + 100, '\x5A'));
    ASSERT_TRUE(WriteFile(SettingsFile(), damaged));
    // A copy kept at an earlier start stays as it is.
    const QByteArray earlierCopy("an earlier damaged file");
    ASSERT_TRUE(WriteFile(SettingsFile() + ".corrupt-1", earlierCopy));

    auto run = Run();
    const auto dialog = run->WaitFor("shown", "CPrinterSelectDlg");
    ASSERT_TRUE(dialog.has_value()) << Log(*run);
    run->Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kOkButtonId));
    const auto box = run->AnswerMessageBox("ok");
    ASSERT_TRUE(box.has_value()) << Log(*run);
    EXPECT_EQ(*box, DamagedText(SettingsFile() + ".corrupt-2"));
    EXPECT_EQ(ReadFile(SettingsFile() + ".corrupt-2"), damaged);
    EXPECT_EQ(ReadFile(SettingsFile() + ".corrupt-1"), earlierCopy);
    EXPECT_FALSE(QFileInfo::exists(SettingsFile()));

    // The program goes on with the printer's own settings and saves them at exit.
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << Log(*run);
    ASSERT_TRUE(WaitUntilIdle(*run, frame->id)) << Log(*run);
    EXPECT_TRUE(Exit(*run, frame->id).isEmpty()) << Log(*run);
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    EXPECT_EQ(PluginDataMgr().LoadSettingsFile(SettingsFile()), 0);
    EXPECT_EQ(ReadFile(SettingsFile() + ".corrupt-2"), damaged);
}

TEST_F(FaultsE2e, DamagedSettingsFileThatCannotBeMovedIsLeftAlone)
{
    RegisterPrinter();
    const QByteArray damaged("PSD\0 but nothing after it", 26);
    ASSERT_TRUE(WriteFile(SettingsFile(), damaged));
    if (::geteuid() == 0) {
        if (!SetImmutable(PrinterFolder(), true))
            GTEST_SKIP() << "the file system does not take the immutable attribute";
        m_immutable = PrinterFolder();
    } else {
        ASSERT_TRUE(QFile::setPermissions(PrinterFolder(), QFile::ReadOwner | QFile::ExeOwner));
    }

    auto run = Run();
    const auto dialog = run->WaitFor("shown", "CPrinterSelectDlg");
    ASSERT_TRUE(dialog.has_value()) << Log(*run);
    run->Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kOkButtonId));
    const auto box = run->AnswerMessageBox("ok");
    ASSERT_TRUE(box.has_value()) << Log(*run);
    EXPECT_EQ(*box, DamagedText(SettingsFile()));
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << Log(*run);
    ASSERT_TRUE(WaitUntilIdle(*run, frame->id)) << Log(*run);
    // The file stays where it is, and the exit does not try to replace it.
    EXPECT_TRUE(Exit(*run, frame->id).isEmpty()) << Log(*run);
    ASSERT_EQ(run->WaitForExit(), 1) << Log(*run);
    EXPECT_EQ(ReadFile(SettingsFile()), damaged);
    EXPECT_EQ(PrinterFolderEntries(), QStringList{"QP-R60_Setting.DAT"});
}

TEST(DamagedSettingsFile, IsRenamedWithoutReplacingAnythingOrReportsThatItStayed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("QP-R60_Setting.DAT");
    ASSERT_TRUE(WriteFile(path, "first"));
    EXPECT_EQ(startup::SetDamagedFileAside(path), path + ".corrupt-1");
    ASSERT_TRUE(WriteFile(path, "second"));
    EXPECT_EQ(startup::SetDamagedFileAside(path), path + ".corrupt-2");
    EXPECT_EQ(ReadFile(path + ".corrupt-1"), "first");
    EXPECT_EQ(ReadFile(path + ".corrupt-2"), "second");
    EXPECT_FALSE(QFileInfo::exists(path));
    // Nothing to rename: no name comes back, and no copy appears.
    EXPECT_TRUE(startup::SetDamagedFileAside(path).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path + ".corrupt-3"));
}
