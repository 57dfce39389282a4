// The real program from a staged program folder, against the emulated printer on
// loopback. Each test drives the windows through the program's test hook and checks what
// the program leaves on disk.
#include "e2e_fixture.h"

#include "app/fixed_text.h"
#include "emulator_process.h"
#include "pages/output_file.h"
#include "pages/plugin_data_mgr.h"
#include "platform/profile.h"

#include <qpu/port_info.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstring>
#include <sys/file.h>
#include <unistd.h>

#include "e2e_files.h"

namespace {

using e2e::CopyFolder;
using e2e::PutLe32;
using e2e::ReadFile;
using e2e::WriteFile;

constexpr int kStatusLineId = 1025;
constexpr int kModelLineId = 1021;
constexpr int kOkButtonId = 1;
constexpr int kCancelButtonId = 2;
const char kServedModel[] = "QP-R60";

class StartupE2e : public e2e::ProgramFixture
{
protected:
    void SetUp() override
    {
        PrepareWorld();
        ASSERT_TRUE(QFileInfo(ProgramFolder() + "/qp60util").isExecutable());
        WriteNetPortList();
    }

    QString SettingsFolder() const { return Path("common/VORKA/QP60Utl"); }
    QString UserFolder() const { return Path("user/VORKA/QP60Utl"); }
    QString RegistryIni() const { return SettingsFolder() + "/PrinterSetting.INI"; }
    QString SettingsFile() const { return SettingsFolder() + "/PORT_0/QP-R60_Setting.DAT"; }

    std::unique_ptr<ProgramRun> Run(const QStringList& arguments, bool administrator = true,
                                    const QString& hookName = QStringLiteral("hook"))
    {
        return RunProgram(arguments, BaseEnvironment(administrator), hookName);
    }

    // Picks the first printer in the selection dialog and presses OK; returns the main
    // window's id.
    int ChooseFirstPrinter(ProgramRun& run, const QString& screenshot = {})
    {
        const auto dialog = run.WaitFor("shown", "CPrinterSelectDlg");
        EXPECT_TRUE(dialog.has_value()) << run.Log().join('\n').toStdString();
        if (!dialog)
            return 0;
        Screenshot(run, dialog->id, screenshot);
        run.Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kOkButtonId));
        const auto frame = run.WaitFor("shown", "CMainFrame");
        EXPECT_TRUE(frame.has_value()) << run.Log().join('\n').toStdString();
        return frame ? frame->id : 0;
    }

    // Saves a picture of a window to docs/startup when QPU_STARTUP_SCREENSHOTS names a
    // folder.
    void Screenshot(ProgramRun& run, int windowId, const QString& name)
    {
        const QString folder = qEnvironmentVariable("QPU_STARTUP_SCREENSHOTS");
        if (folder.isEmpty() || name.isEmpty())
            return;
        run.Send(QStringLiteral("grab %1 %2/%3").arg(windowId).arg(folder, name));
        run.WaitFor("grabbed");
    }

    void CloseMainWindow(ProgramRun& run, int frameId)
    {
        run.Send(QStringLiteral("close %1").arg(frameId));
    }

    static bool MapsLibrary(qint64 pid, const char* name)
    {
        return ReadFile(QStringLiteral("/proc/%1/maps").arg(pid)).contains(name);
    }
};

} // namespace

TEST_F(StartupE2e, NormalStartChoosesThePrinterAndSavesAtExit)
{
    auto run = Run({});
    const int frame = ChooseFirstPrinter(*run, "01-select-printer.png");
    ASSERT_NE(frame, 0);
    const QHash<int, QString> fields = WaitForPrinterRead(*run, frame);
    EXPECT_TRUE(fields.value(kModelLineId).startsWith("QP-R60"))
        << fields.value(kModelLineId).toStdString();
    EXPECT_TRUE(fields.value(kStatusLineId).startsWith("Status:"));
    Screenshot(*run, frame, "02-main-window.png");
    EXPECT_TRUE(QFileInfo(SettingsFolder() + "/TMP").isDir());
    CloseMainWindow(*run, frame);
    EXPECT_EQ(run->WaitForExit(), 1);

    ASSERT_TRUE(QFileInfo::exists(SettingsFile()));
    ASSERT_TRUE(QFileInfo::exists(RegistryIni()));
    // The registry is written after the settings file it names.
    EXPECT_LE(QFileInfo(SettingsFile()).lastModified(), QFileInfo(RegistryIni()).lastModified());
    EXPECT_EQ(platform::GetPrivateProfileInt("INFO", "COUNT", 0, RegistryIni()), 1);
    EXPECT_EQ(platform::GetPrivateProfileString("PORT_0", "DeviceName", "", RegistryIni()),
              "QP-R60");
    EXPECT_EQ(platform::GetPrivateProfileString("PORT_0", "PortName", "", RegistryIni()),
              "127.0.0.1");
    EXPECT_EQ(platform::GetPrivateProfileString("PORT_0", "Dir", "", RegistryIni()), "PORT_0");
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder() + "/TMP"));
}

TEST_F(StartupE2e, NextStartRestoresTheSavedBlocks)
{
    {
        auto first = Run({});
        const int frame = ChooseFirstPrinter(*first);
        ASSERT_NE(frame, 0);
        WaitForPrinterRead(*first, frame);
        CloseMainWindow(*first, frame);
        ASSERT_EQ(first->WaitForExit(), 1);
    }
    // A block that no page registers survives the next run only if it was loaded at
    // start-up: the exit writes back every block the data manager holds.
    PluginDataMgr saved;
    ASSERT_EQ(saved.LoadSettingsFile(SettingsFile()), 0);
    const quint32 markerId = 0x7F0000AA;
    ASSERT_EQ(saved.AddBlock(markerId, 0x10000, 64), 0);
    QByteArray marker(64, '\0');
    ASSERT_EQ(saved.GetBlockData(markerId, marker.data(), 64), 0);
    marker.replace(32, 6, "MARKER");
    ASSERT_EQ(saved.SetBlockData(markerId, 64, marker.data()), 0);
    saved.SetSaveEnabled(1);
    QFile::remove(SettingsFile());
    ASSERT_EQ(saved.SaveSettingsFile(SettingsFile(), "QP-R60", 0x10000, 0x10000), 1);

    auto second = Run({});
    const int frame = ChooseFirstPrinter(*second);
    ASSERT_NE(frame, 0);
    WaitForPrinterRead(*second, frame);
    CloseMainWindow(*second, frame);
    ASSERT_EQ(second->WaitForExit(), 1);

    PluginDataMgr reloaded;
    ASSERT_EQ(reloaded.LoadSettingsFile(SettingsFile()), 0);
    QByteArray back(64, '\0');
    ASSERT_EQ(reloaded.GetBlockData(markerId, back.data(), 64), 0);
    EXPECT_EQ(back.mid(32, 6), QByteArray("MARKER"));
    EXPECT_EQ(platform::GetPrivateProfileInt("INFO", "COUNT", 0, RegistryIni()), 1);
}

TEST_F(StartupE2e, SecondCopyActivatesTheFirstAndEndsSilently)
{
    auto first = Run({});
    const auto dialog = first->WaitFor("shown", "CPrinterSelectDlg");
    ASSERT_TRUE(dialog.has_value());
    // A copy started before the dialog listens ends without anyone to activate.
    const auto listening = first->WaitFor("listening");
    ASSERT_TRUE(listening.has_value()) << first->Log().join('\n').toStdString();
    EXPECT_EQ(listening->id, dialog->id);

    auto second = Run({}, true, "hook2");
    EXPECT_EQ(second->WaitForExit(), 1);
    EXPECT_FALSE(second->WaitFor("shown", {}, 100).has_value())
        << second->Log().join('\n').toStdString();
    EXPECT_FALSE(second->WaitFor("msgbox", {}, 100).has_value());
    EXPECT_TRUE(first->WaitFor("activated").has_value()) << first->Log().join('\n').toStdString();

    first->Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kCancelButtonId));
    EXPECT_EQ(first->WaitForExit(), 1);
}

TEST_F(StartupE2e, BypassRunsTwoCopiesThatKeepTheTemporaryFolder)
{
    auto first = Run({"/bM"});
    const auto dialog1 = first->WaitFor("shown", "CPrinterSelectDlg");
    ASSERT_TRUE(dialog1.has_value());
    auto second = Run({"/bMore"}, true, "hook2");
    const auto dialog2 = second->WaitFor("shown", "CPrinterSelectDlg");
    ASSERT_TRUE(dialog2.has_value()) << second->Log().join('\n').toStdString();
    second->Send(QStringLiteral("click %1 %2").arg(dialog2->id).arg(kCancelButtonId));
    EXPECT_EQ(second->WaitForExit(), 1);
    first->Send(QStringLiteral("click %1 %2").arg(dialog1->id).arg(kCancelButtonId));
    EXPECT_EQ(first->WaitForExit(), 1);
    EXPECT_TRUE(QFileInfo(SettingsFolder() + "/TMP").isDir());
}

TEST_F(StartupE2e, NonAdministratorIsRefused)
{
    auto run = Run({}, false);
    EXPECT_EQ(
        run->AnswerMessageBox("ok"),
        QStringLiteral(
            "warning QP-R60 Utility\tYou must have Administrator rights to run this software."));
    EXPECT_EQ(run->WaitForExit(), 1);
    EXPECT_FALSE(run->Log().join('\n').contains("CPrinterSelectDlg"));
}

TEST_F(StartupE2e, WithoutLanguageFilesTheFixedMessageComesBeforeTheAdministratorCheck)
{
    QDir(ProgramFolder() + "/LANG").removeRecursively();
    auto run = Run({}, false);
    EXPECT_EQ(run->AnswerMessageBox("ok"),
              QStringLiteral(
                  "warning QP-R60 Utility\tCould not find the required files.\nPlease reinstall."));
    EXPECT_EQ(run->WaitForExit(), 1);
    EXPECT_EQ(run->Log().filter("msgbox").size(), 1);
}

TEST_F(StartupE2e, JapaneseWithOnlyTheEnglishFileStartsInEnglish)
{
    QFile::remove(ProgramFolder() + "/LANG/0411.DAT");
    QFile::remove(ProgramFolder() + "/LANG/0407.DAT");
    const QString settingIni = ProgramFolder() + "/SETTING.INI";
    ASSERT_TRUE(platform::WritePrivateProfileString("LANGUAGE", "LANGID", "0411", settingIni));
    auto run = Run({});
    // The selection dialog says that it shows English, and goes on in English.
    EXPECT_EQ(run->AnswerMessageBox("ok"),
              QStringLiteral("warning QP-R60 Utility\tCould not find the required files.\n"
                             "Displaying the screen in English."));
    const auto dialog = run->WaitFor("shown", "CPrinterSelectDlg");
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(dialog->rest, QStringLiteral("CPrinterSelectDlg QP-R60 Utility"));
    run->Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kCancelButtonId));
    EXPECT_EQ(run->WaitForExit(), 1) << run->Log().join('\n').toStdString();
    EXPECT_EQ(platform::GetPrivateProfileString("LANGUAGE", "LANGID", "", settingIni), "0409");
}

TEST_F(StartupE2e, CallerTypeNeitherLoadsNorSaves)
{
    auto run = Run({"-dOPOS"});
    const int frame = ChooseFirstPrinter(*run);
    ASSERT_NE(frame, 0);
    WaitForPrinterRead(*run, frame);
    CloseMainWindow(*run, frame);
    EXPECT_EQ(run->WaitForExit(), 1);
    EXPECT_FALSE(QFileInfo::exists(SettingsFile()));
    EXPECT_FALSE(QFileInfo::exists(RegistryIni()));
}

TEST_F(StartupE2e, StartModeThreeWithASilentPrinterStillStarts)
{
    m_printer.control("silent on");
    auto run = Run({"/mR", "/r" + Path("run/no-such-port")});
    const auto splash = run->WaitFor("shown", "CSplashWnd");
    ASSERT_TRUE(splash.has_value()) << run->Log().join('\n').toStdString();
    EXPECT_EQ(run->AnswerMessageBox("ok"),
              QStringLiteral("warning QP-R60 Utility\tCannot communicate with the printer."));
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << run->Log().join('\n').toStdString();
    // The splash went before the message box.
    const QStringList log = run->Log();
    const auto indexOf = [&](const QString& prefix) {
        for (int i = 0; i < log.size(); ++i)
            if (log.at(i).startsWith(prefix))
                return i;
        return -1;
    };
    EXPECT_LT(indexOf(QStringLiteral("hidden %1").arg(splash->id)), indexOf("msgbox"));
    CloseMainWindow(*run, frame->id);
    EXPECT_EQ(run->WaitForExit(), 1);
    EXPECT_FALSE(QFileInfo::exists(RegistryIni()));
}

TEST_F(StartupE2e, StartModeFourWorksWithoutPrinterAndWritesTheOutputFile)
{
    const QString logo = UserFolder() + "/R60LOGO.qlg";
    ASSERT_TRUE(WriteFile(logo, QByteArray("\x1C\x71\x01", 3)));
    const QString output = Path("out/settings.out");
    QDir().mkpath(Path("out"));
    auto run = Run({"/mF" + output});
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << run->Log().join('\n').toStdString();
    EXPECT_FALSE(run->Log().join('\n').contains("CPrinterSelectDlg"));
    EXPECT_FALSE(QFileInfo::exists(logo));
    EXPECT_FALSE(MapsLibrary(run->Pid(), "libQPComm.so"));
    const QHash<int, QString> fields = run->State(frame->id).value_or(QHash<int, QString>());
    EXPECT_EQ(fields.value(kStatusLineId), QStringLiteral("Status:"));
    EXPECT_EQ(fields.value(kModelLineId), QStringLiteral("QP-R60"));

    CloseMainWindow(*run, frame->id);
    const auto question = run->WaitFor("msgbox");
    ASSERT_TRUE(question.has_value());
    EXPECT_EQ(
        ProgramRun::Unescape(question->rest),
        QStringLiteral("question Save to File\tDo you want to save the settings to the file?"));
    const QDateTime before = QDateTime::currentDateTime();
    run->Send(QStringLiteral("click %1 yes").arg(question->id));
    ASSERT_EQ(run->WaitForExit(), 1) << run->Log().join('\n').toStdString();
    EXPECT_FALSE(run->Log().filter("msgbox").size() > 1) << run->Log().join('\n').toStdString();

    // The settings file of "QP-R60" is saved in this mode; the output file is exactly what
    // the writer makes of those blocks, without logo, at the time of the exit.
    PluginDataMgr blocks;
    ASSERT_EQ(blocks.LoadSettingsFile(SettingsFile()), 0);
    EXPECT_EQ(platform::GetPrivateProfileString("PORT_0", "DeviceName", "", RegistryIni()),
              "QP-R60");
    const QByteArray written = ReadFile(output);
    ASSERT_GE(written.size(), 256);
    // The header on its own terms: size, format, device name, no logo (the logo file was
    // deleted at start-up), the command part and the checksum of the data part.
    const auto le32 = [&](int offset) {
        quint32 value = 0;
        std::memcpy(&value, written.constData() + offset, 4);
        return value;
    };
    EXPECT_EQ(written.mid(0, 3), QByteArray("\x00\x01\x01", 3));
    EXPECT_EQ(written.mid(4, 9), QByteArray("QP-R60\r\n\0", 9));
    EXPECT_EQ(static_cast<quint8>(written.at(120)), 0); // no logo
    EXPECT_EQ(static_cast<quint8>(written.at(121)), 1); // command part present
    EXPECT_EQ(le32(124), 0u);
    EXPECT_EQ(le32(128), static_cast<quint32>(written.size() - 256));
    EXPECT_EQ(le32(136), Crc32Bzip2(written.mid(256)));
    const QString expectedPath = Path("out/expected.out");
    const QByteArray stamp = written.mid(68, 20);
    bool matched = false;
    for (int minute = -1; minute <= 1 && !matched; ++minute) {
        const QDateTime at = before.addSecs(60 * minute);
        ASSERT_EQ(WriteOutputFile({}, "QP-R60", expectedPath, 0, blocks, [at] { return at; }), 0);
        const QByteArray expected = ReadFile(expectedPath);
        matched = expected == written;
    }
    EXPECT_TRUE(matched) << "date field " << stamp.toStdString();
}

TEST_F(StartupE2e, DriverPortFoundStartsBehindTheSplashWithoutTheDialog)
{
    auto run = Run({"/pVSDPRT1"});
    const auto splash = run->WaitFor("shown", "CSplashWnd");
    ASSERT_TRUE(splash.has_value()) << run->Log().join('\n').toStdString();
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << run->Log().join('\n').toStdString();
    EXPECT_TRUE(run->WaitFor("hidden", QStringLiteral("CSplashWnd")).has_value());
    const QHash<int, QString> fields = WaitForPrinterRead(*run, frame->id);
    EXPECT_TRUE(fields.value(kModelLineId).contains("ESC/VRK"));
    EXPECT_FALSE(run->Log().join('\n').contains("CPrinterSelectDlg"));
    CloseMainWindow(*run, frame->id);
    EXPECT_EQ(run->WaitForExit(), 1) << run->Log().join('\n').toStdString();
}

TEST_F(StartupE2e, DriverPortNotFoundShowsTheDialog)
{
    auto run = Run({"/pVSDPRT7"});
    const auto dialog = run->WaitFor("shown", "CPrinterSelectDlg");
    ASSERT_TRUE(dialog.has_value()) << run->Log().join('\n').toStdString();
    EXPECT_FALSE(run->Log().join('\n').contains("CSplashWnd"));
    run->Send(QStringLiteral("click %1 %2").arg(dialog->id).arg(kCancelButtonId));
    EXPECT_EQ(run->WaitForExit(), 1);
}

TEST_F(StartupE2e, DriverPortWithoutTheMarkEnds)
{
    auto run = Run({"/pLPT1:"});
    EXPECT_EQ(run->AnswerMessageBox("ok"),
              QStringLiteral("warning QP-R60 Utility\tCannot communicate with the printer."));
    EXPECT_EQ(run->WaitForExit(), 1);
    EXPECT_FALSE(run->Log().join('\n').contains("shown"));
}

TEST_F(StartupE2e, PortHeldByAnotherProcessEndsWithMessageFour)
{
    // Another process holds the printer's port.
    const QString lockPath =
        Path(QStringLiteral("run/qpcomm-net-127.0.0.1_%1.lock").arg(m_printer.tcpPort()));
    QFile lock(lockPath);
    ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
    ASSERT_EQ(::flock(lock.handle(), LOCK_EX | LOCK_NB), 0);

    auto run = Run({"/pVSDPRT1"});
    const auto splash = run->WaitFor("shown", "CSplashWnd");
    ASSERT_TRUE(splash.has_value());
    EXPECT_EQ(
        run->AnswerMessageBox("ok"),
        QStringLiteral("warning QP-R60 Utility\tCannot launch the printer because it is in use "
                       "by another application."));
    EXPECT_EQ(run->WaitForExit(), 1);
    EXPECT_FALSE(run->Log().join('\n').contains("CMainFrame"));
}

TEST_F(StartupE2e, SecondCopyActivatesTheMainWindow)
{
    auto first = Run({});
    const int frame = ChooseFirstPrinter(*first);
    ASSERT_NE(frame, 0);
    WaitForPrinterRead(*first, frame);

    auto second = Run({"/pVSDPRT1"}, true, "hook2");
    EXPECT_EQ(second->WaitForExit(), 1);
    EXPECT_FALSE(second->WaitFor("shown", {}, 100).has_value());
    const auto activated = first->WaitFor("activated");
    ASSERT_TRUE(activated.has_value()) << first->Log().join('\n').toStdString();
    EXPECT_EQ(activated->id, frame);

    CloseMainWindow(*first, frame);
    EXPECT_EQ(first->WaitForExit(), 1);
}

TEST_F(StartupE2e, StartModeFourIgnoresADriverPortName)
{
    const QString output = Path("out.dat");
    auto run = Run({"/mF" + output, "/pVSDPRT1"});
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << run->Log().join('\n').toStdString();
    const QString log = run->Log().join('\n');
    EXPECT_FALSE(log.contains("CPrinterSelectDlg"));
    EXPECT_FALSE(log.contains("CSplashWnd"));
    EXPECT_FALSE(MapsLibrary(run->Pid(), "libQPComm.so"));
    // The printer never heard from the program.
    EXPECT_EQ(m_printer.statusField("received"), "0");
    CloseMainWindow(*run, frame->id);
    EXPECT_TRUE(run->AnswerMessageBox("no").has_value());
    EXPECT_EQ(run->WaitForExit(), 1);
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_EQ(platform::GetPrivateProfileString("PORT_0", "PortName", "x", RegistryIni()), "");
}

TEST_F(StartupE2e, TooLongCommandLineValueIsRefusedWhole)
{
    auto run = Run({"/r" + QString(259, QLatin1Char('x')), "/mR"});
    const auto text = run->AnswerMessageBox("ok");
    ASSERT_TRUE(text.has_value());
    EXPECT_TRUE(text->contains("/r")) << text->toStdString();
    EXPECT_EQ(run->WaitForExit(), 1);
    EXPECT_FALSE(run->Log().join('\n').contains("shown"));
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder()));
}

TEST_F(StartupE2e, StartModeFourPutsALogoMadeDuringTheRunIntoTheOutputFile)
{
    const QString output = Path("with-logo.out");
    auto run = Run({"/mF" + output});
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value());
    // The logo page saves the logo while the program runs.
    const QByteArray logo("\x1C\x71\x01\x00\x01", 5);
    ASSERT_TRUE(WriteFile(UserFolder() + "/R60LOGO.qlg", logo));
    CloseMainWindow(*run, frame->id);
    EXPECT_TRUE(run->AnswerMessageBox("yes").has_value());
    ASSERT_EQ(run->WaitForExit(), 1);
    EXPECT_EQ(run->Log().filter("msgbox").size(), 1) << run->Log().join('\n').toStdString();

    const QByteArray written = ReadFile(output);
    ASSERT_GE(written.size(), 256 + 10 + logo.size());
    EXPECT_EQ(static_cast<quint8>(written.at(120)), 2); // a logo of the second kind
    const QByteArray logoPart = QByteArray(kOutputLogoPrefix, sizeof kOutputLogoPrefix) + logo;
    EXPECT_EQ(written.mid(256, logoPart.size()), logoPart);
}

// The main window opens at the size it had when it was last closed, and never smaller than
// its minimum nor larger than the screen.
TEST_F(StartupE2e, MainWindowSizeIsRememberedBetweenRuns)
{
    const QString output = Path("out.dat");
    const auto runAndResize = [&](const QString& resize) -> QString {
        auto run = Run({"/mF" + output});
        const auto frame = run->WaitFor("shown", "CMainFrame");
        if (!frame)
            return QStringLiteral("no main window");
        run->Send(QStringLiteral("size %1").arg(frame->id));
        const auto size = run->WaitFor("size");
        if (!resize.isEmpty()) {
            run->Send(QStringLiteral("resize %1 %2").arg(frame->id).arg(resize));
            run->WaitFor("size");
        }
        CloseMainWindow(*run, frame->id);
        run->AnswerMessageBox("no");
        run->WaitForExit();
        return size ? size->rest : QStringLiteral("no size");
    };
    // (The offscreen screen of the tests is 800 x 600.)
    EXPECT_EQ(runAndResize(QStringLiteral("799 590")), QStringLiteral("796 523"));
    EXPECT_EQ(runAndResize(QStringLiteral("300 200")), QStringLiteral("799 590"));
    // Smaller than the minimum is not kept.
    EXPECT_EQ(runAndResize({}), QStringLiteral("796 523"));
    // A size beyond every screen, written by hand, is cut to the screen.
    ASSERT_TRUE(platform::WritePrivateProfileString("MAIN_WINDOW", "WIDTH", "40000",
                                                    Path("config/qp60util/SETTING.INI")));
    const QStringList size = runAndResize({}).split(' ');
    ASSERT_EQ(size.size(), 2);
    EXPECT_GE(size[0].toInt(), 796);
    EXPECT_LT(size[0].toInt(), 40000);
}

// At exit the main window has gone: the question and the failure message that follow it
// have no owner window, as every shutdown message.
TEST_F(StartupE2e, ShutdownMessagesHaveNoHiddenOwner)
{
    auto run = Run({"/mF" + Path("missing/out.dat")});
    const auto frame = run->WaitFor("shown", "CMainFrame");
    ASSERT_TRUE(frame.has_value()) << run->Log().join('\n').toStdString();
    CloseMainWindow(*run, frame->id);
    const auto question = run->WaitFor("msgbox");
    ASSERT_TRUE(question.has_value());
    const auto questionOwner = run->WaitFor("owner");
    ASSERT_TRUE(questionOwner.has_value());
    EXPECT_EQ(questionOwner->id, question->id);
    EXPECT_EQ(questionOwner->rest, QStringLiteral("none"));
    run->Send(QStringLiteral("click %1 yes").arg(question->id));
    const auto failure = run->WaitFor("msgbox");
    ASSERT_TRUE(failure.has_value()) << run->Log().join('\n').toStdString();
    EXPECT_TRUE(ProgramRun::Unescape(failure->rest)
                    .startsWith(QStringLiteral("warning QP-R60 Utility\tSaving to the file "
                                               "failed.\n") +
                                QDir::toNativeSeparators(Path("missing/out.dat"))))
        << failure->rest.toStdString();
    const auto failureOwner = run->WaitFor("owner");
    ASSERT_TRUE(failureOwner.has_value());
    EXPECT_EQ(failureOwner->rest, QStringLiteral("none"));
    run->Send(QStringLiteral("click %1 ok").arg(failure->id));
    EXPECT_EQ(run->WaitForExit(), 1);
}
