#include "app/startup_sequence.h"

#include "app/fixed_text.h"
#include "app/startup_test_hooks.h"
#include "platform/admin_check.h"
#include "platform/single_instance_lock.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>

namespace {

// The dialog as start-up sees it, scripted by the test.
class FakeChooser : public IPrinterChooser
{
public:
    struct Script
    {
        bool portFound = false;
        PortInfo foundPort{};
        int32_t checkResult = QPC_OK;
        int32_t openResult = QPC_OK;
        bool execResult = true;
        QString deviceNameOnOk = QStringLiteral("QP-R60");
        QString portNameOnOk = QStringLiteral("127.0.0.1");
        QString chosenDriverPrinter;
    };
    struct Record
    {
        QStringList calls;
        bool checkModel = true;
        PortInfo stored{};
        QString driverFilter;
        QString printerFilter;
        CommLibTable* commLib = reinterpret_cast<CommLibTable*>(1);
    };

    FakeChooser(const Script& script, Record& record) : m_script(script), m_record(record) {}

    void SetState(const AppState& state) override { std::memcpy(&m_state, &state, sizeof state); }
    AppState& State() override { return m_state; }
    void SetCommLib(CommLibTable* table) override { m_record.commLib = table; }
    void SetDriverNameFilter(const QString& filter) override { m_record.driverFilter = filter; }
    void SetPrinterNameFilter(const QString& filter) override { m_record.printerFilter = filter; }
    bool SelectByPortName(const QString& portName, PortInfo& found) override
    {
        m_record.calls << QStringLiteral("select:") + portName;
        if (!m_script.portFound)
            return false;
        found = m_script.foundPort;
        StoreSelection(found);
        return true;
    }
    int32_t CommunicationCheck(bool checkModel, PortInfo&) override
    {
        m_record.calls << QStringLiteral("check");
        m_record.checkModel = checkModel;
        m_lastTest = m_script.checkResult;
        return m_script.checkResult;
    }
    int32_t OpenPort(PortInfo&) override
    {
        m_record.calls << QStringLiteral("open");
        return m_script.openResult;
    }
    void StoreSelection(const PortInfo& port) override
    {
        m_record.calls << QStringLiteral("store");
        m_record.stored = port;
        m_state.portInfo = port;
    }
    QString ChosenDriverPrinterName() const override { return m_script.chosenDriverPrinter; }
    int32_t LastTestResult() const override { return m_lastTest; }
    bool Exec() override
    {
        m_record.calls << QStringLiteral("exec");
        if (m_script.execResult) {
            m_lastTest = m_script.checkResult;
            SetFixedText(m_state.portInfo.deviceName, m_script.deviceNameOnOk);
            SetFixedText(m_state.portInfo.portName, m_script.portNameOnOk);
        }
        return m_script.execResult;
    }

private:
    Script m_script;
    Record& m_record;
    AppState m_state{};
    int32_t m_lastTest = QPC_ERR_NOT_BOUND;
};

// Records every window that start-up would show; answers questions as told.
class RecordingUi : public StartupUi
{
public:
    void ShowWarning(const QString& text) override { events << QStringLiteral("warning:") + text; }
    void ShowOwnedWarning(const QString& text) override
    {
        events << QStringLiteral("owned-warning:") + text;
    }
    bool AskOwnedQuestion(const QString& caption, const QString& text) override
    {
        events << QStringLiteral("question:") + caption + QLatin1Char('|') + text;
        return answerYes;
    }
    void StartSplash() override { events << QStringLiteral("splash"); }
    void CloseSplash() override { events << QStringLiteral("close-splash"); }
    void DeleteSplash() override {}
    void RunBehindSplash(const std::function<void()>& work) override
    {
        events << QStringLiteral("behind-splash");
        work();
    }
    std::unique_ptr<IPrinterChooser> CreatePrinterChooser() override
    {
        return std::make_unique<FakeChooser>(script, record);
    }
    bool CreateMainWindow() override
    {
        events << QStringLiteral("main-window");
        return createMainWindow;
    }
    void ShowMainWindow() override { events << QStringLiteral("show-main"); }

    QStringList Warnings() const { return events.filter(QStringLiteral("warning:")); }

    QStringList events;
    bool answerYes = false;
    bool createMainWindow = true;
    FakeChooser::Script script;
    FakeChooser::Record record;
};

class StartupSequenceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_RUNTIME_DIR", m_dir.filePath("run").toUtf8());
        QDir().mkpath(m_dir.filePath("run"));
        QDir().mkpath(ProgramFolder() + "LANG");
        WriteFile(ProgramFolder() + "LANG/0409.DAT",
                  "[QP_UTILITY_APP_MSG]\nMSG_0=Admin only (en)\nMSG_4=In use (en)\n"
                  "[PRT_SELECT_DLG_MSG]\nMSG_3=No answer (en)\n"
                  "[MSG_CONFIRM_SAVE_FILE_MSG]\nMSG_0=Save to File\nMSG_1=Save it?\n");
        WriteFile(ProgramFolder() + "SETTING.INI", "[LANGUAGE]\nLANGID=0409\n");
    }

    QString ProgramFolder() const { return m_dir.filePath("program") + QLatin1Char('/'); }
    QString SettingsFolder() const { return m_dir.filePath("common/VORKA/QP60Utl"); }

    static void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    StartupEnvironment Environment(const QStringList& arguments, bool administrator = true)
    {
        StartupEnvironment environment;
        environment.arguments = arguments;
        environment.programFolder = ProgramFolder();
        environment.commonAppData = m_dir.filePath("common");
        environment.userAppData = m_dir.filePath("user");
        environment.userConfigFolder = m_dir.filePath("config");
        environment.identity = [this, administrator] {
            ++m_identityQueries;
            platform::ProcessIdentity identity;
            identity.effectiveUid = administrator ? 0 : 1000;
            return identity;
        };
        // No library in the program folder: the binding stays unbound.
        environment.commLibraryName = m_dir.filePath("program/libQPComm.so");
        return environment;
    }

    // A normal run whose printer read succeeded: start, one block read, exit.
    void RunWithARead(RecordingUi& ui)
    {
        StartupSequence sequence;
        ASSERT_TRUE(sequence.Startup(Environment({}), ui));
        sequence.DataMgr().AddBlock(0x10001, 0x10000, 64);
        sequence.DataMgr().SetSaveEnabled(1);
        sequence.Shutdown(ui);
    }

    QTemporaryDir m_dir;
    int m_identityQueries = 0;
};

} // namespace

TEST_F(StartupSequenceTest, NormalStartFillsTheStateAndShowsTheDialog)
{
    RecordingUi ui;
    StartupSequence sequence;
    ASSERT_TRUE(sequence.Startup(Environment({}), ui));
    EXPECT_TRUE(ui.Warnings().isEmpty());
    EXPECT_EQ(ui.record.calls, QStringList{QStringLiteral("exec")});
    EXPECT_EQ(ui.events.mid(ui.events.size() - 3),
              (QStringList{QStringLiteral("main-window"), QStringLiteral("close-splash"),
                           QStringLiteral("show-main")}));

    const AppState& state = sequence.State();
    EXPECT_EQ(state.languageId, 0x0409);
    EXPECT_EQ(FixedText(state.languageIdText), QStringLiteral("0409"));
    EXPECT_EQ(state.hostCode, 203);
    EXPECT_EQ(FixedText(state.programFolder), ProgramFolder());
    EXPECT_EQ(FixedText(state.languageFolder), ProgramFolder() + "LANG");
    EXPECT_EQ(FixedText(state.settingsFolder), SettingsFolder());
    EXPECT_EQ(FixedText(state.tempFolder), SettingsFolder() + "/TMP");
    EXPECT_TRUE(FixedText(state.logoFile).isEmpty());
    EXPECT_EQ(state.dataMgr, &sequence.DataMgr());
    EXPECT_NE(state.appLock, nullptr);
    // The library binding exists (unbound) and is published after the copy back.
    EXPECT_NE(state.commLib, nullptr);
    EXPECT_EQ(state.commLib->module, nullptr);
    EXPECT_EQ(FixedText(state.portInfo.deviceName), QStringLiteral("QP-R60"));
    EXPECT_EQ(sequence.StartupCommResult(), QPC_OK);
    EXPECT_TRUE(QFileInfo(SettingsFolder() + "/TMP").isDir());

    EXPECT_EQ(sequence.Shutdown(ui), 1);
    // The temporary folder goes; nothing was read, so nothing is saved.
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder() + "/TMP"));
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder() + "/PrinterSetting.INI"));
    EXPECT_EQ(sequence.State().appLock, nullptr);
}

TEST_F(StartupSequenceTest, ShutdownWritesTheRegistryOnlyAfterTheSettingsFile)
{
    RecordingUi ui;
    RunWithARead(ui);
    const QString settingsFile = SettingsFolder() + "/PORT_0/QP-R60_Setting.DAT";
    ASSERT_TRUE(QFileInfo::exists(settingsFile));
    ASSERT_TRUE(QFileInfo::exists(SettingsFolder() + "/PrinterSetting.INI"));

    // The next start restores the saved block.
    RecordingUi next;
    StartupSequence again;
    ASSERT_TRUE(again.Startup(Environment({}), next));
    EXPECT_EQ(again.DataMgr().Registry().Count(), 1);
    EXPECT_EQ(again.DataMgr().FindBlock(0x10001), 0);
    again.Shutdown(next);
}

TEST_F(StartupSequenceTest, CallerTypeNeitherLoadsNorSaves)
{
    RecordingUi ui;
    StartupSequence sequence;
    ASSERT_TRUE(sequence.Startup(Environment({QStringLiteral("/dOPOS")}), ui));
    EXPECT_EQ(sequence.State().callerType, 2);
    sequence.DataMgr().AddBlock(0x10001, 0x10000, 64);
    sequence.DataMgr().SetSaveEnabled(1);
    sequence.Shutdown(ui);
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder() + "/PORT_0"));
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder() + "/PrinterSetting.INI"));
}

TEST_F(StartupSequenceTest, MissingLanguageFileEndsBeforeTheAdministratorCheck)
{
    QFile::remove(ProgramFolder() + "LANG/0409.DAT");
    RecordingUi ui;
    StartupSequence sequence;
    EXPECT_FALSE(sequence.Startup(Environment({}), ui));
    EXPECT_EQ(ui.Warnings(), QStringList{QStringLiteral(
                                 "warning:Could not find the required files.\nPlease reinstall.")});
    EXPECT_EQ(m_identityQueries, 0);
    EXPECT_TRUE(ui.record.calls.isEmpty());
    sequence.Shutdown(ui);
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder() + "/TMP"));
}

TEST_F(StartupSequenceTest, LanguageWithoutItsFileFallsBackToEnglish)
{
    WriteFile(ProgramFolder() + "SETTING.INI", "[LANGUAGE]\nLANGID=0411\n");
    RecordingUi ui;
    StartupSequence sequence;
    ASSERT_TRUE(sequence.Startup(Environment({}), ui));
    EXPECT_EQ(sequence.State().languageId, 0x0411);
    EXPECT_EQ(sequence.Texts().LanguageId(), 0x0409);
    sequence.Shutdown(ui);

    WriteFile(ProgramFolder() + "SETTING.INI", "[LANGUAGE]\nLANGID=zz\n");
    StartupSequence zero;
    ASSERT_TRUE(zero.Startup(Environment({}), ui));
    EXPECT_EQ(zero.State().languageId, 0);
    EXPECT_EQ(FixedText(zero.State().languageIdText), QStringLiteral("zz"));
    zero.Shutdown(ui);
}

// The user's own choice, kept where an installed program folder cannot be written, is
// read over the program folder's shipped default.
TEST_F(StartupSequenceTest, LanguageOfTheUsersConfigurationWinsOverTheShippedDefault)
{
    QDir().mkpath(m_dir.filePath("config/qp60util"));
    WriteFile(m_dir.filePath("config/qp60util/SETTING.INI"), "[LANGUAGE]\nLANGID=0407\n");
    RecordingUi ui;
    StartupSequence sequence;
    ASSERT_TRUE(sequence.Startup(Environment({}), ui));
    EXPECT_EQ(sequence.State().languageId, 0x0407);
    EXPECT_EQ(FixedText(sequence.State().languageIdText), QStringLiteral("0407"));
    sequence.Shutdown(ui);
}

TEST_F(StartupSequenceTest, NonAdministratorIsRefusedWithMessageZero)
{
    RecordingUi ui;
    StartupSequence sequence;
    EXPECT_FALSE(sequence.Startup(Environment({}, false), ui));
    EXPECT_EQ(ui.Warnings(), QStringList{QStringLiteral("warning:Admin only (en)")});
    EXPECT_TRUE(ui.record.calls.isEmpty());
    sequence.Shutdown(ui);
}

TEST_F(StartupSequenceTest, TooLongOptionNamesItAndEndsWithoutCutting)
{
    RecordingUi ui;
    StartupSequence sequence;
    const QString tooLong = QStringLiteral("/p") + QString(259, QLatin1Char('V'));
    EXPECT_FALSE(sequence.Startup(Environment({tooLong}), ui));
    ASSERT_EQ(ui.Warnings().size(), 1);
    EXPECT_TRUE(ui.Warnings().first().contains(QStringLiteral("/p")));
    EXPECT_EQ(m_identityQueries, 0);
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder()));
    sequence.Shutdown(ui);
}

TEST_F(StartupSequenceTest, SecondCopyEndsSilently)
{
    platform::SingleInstanceLock first;
    ASSERT_TRUE(first.acquired());
    RecordingUi ui;
    StartupSequence sequence;
    EXPECT_FALSE(sequence.Startup(Environment({}), ui));
    EXPECT_TRUE(ui.events.isEmpty());
    sequence.Shutdown(ui);

    // With the bypass the copy runs, and leaves the temporary folder at shutdown.
    StartupSequence bypassed;
    ASSERT_TRUE(bypassed.Startup(Environment({QStringLiteral("/bM")}), ui));
    bypassed.Shutdown(ui);
    EXPECT_TRUE(QFileInfo(SettingsFolder() + "/TMP").isDir());
}

TEST_F(StartupSequenceTest, StartModeFourWorksWithoutPrinter)
{
    const QString logo = m_dir.filePath("user/VORKA/QP60Utl/R60LOGO.qlg");
    QDir().mkpath(QFileInfo(logo).path());
    WriteFile(logo, "old logo");
    RecordingUi ui;
    ui.answerYes = true;
    StartupSequence sequence;
    const QString output = m_dir.filePath("out.dat");
    ASSERT_TRUE(sequence.Startup(
        Environment({QStringLiteral("/mF") + output, QStringLiteral("/pVSDPRT1")}), ui));
    EXPECT_FALSE(QFileInfo::exists(logo));
    EXPECT_TRUE(ui.record.calls.isEmpty()); // no dialog, no port
    EXPECT_EQ(ui.record.commLib, nullptr);
    const AppState& state = sequence.State();
    EXPECT_EQ(state.commLib, nullptr);
    EXPECT_EQ(FixedText(state.portInfo.deviceName), QStringLiteral("QP-R60"));
    EXPECT_EQ(FixedText(state.logoFile), logo);
    EXPECT_EQ(FixedText(state.outputFile), output);
    EXPECT_EQ(state.arpSupport, 1);
    EXPECT_EQ(state.wmSupport, 1);
    EXPECT_EQ(sequence.StartupCommResult(), static_cast<int32_t>(0x80000005u));

    // Without block 0x10005 the output file cannot be written: message 7, with the file
    // and the cause on a second line.
    sequence.Shutdown(ui);
    EXPECT_TRUE(ui.events.contains(QStringLiteral("question:Save to File|Save it?")));
    EXPECT_TRUE(ui.events.contains(
        QStringLiteral("owned-warning:Saving to the file failed.\n") +
        QDir::toNativeSeparators(output) +
        QStringLiteral(": The print settings that the file carries are missing.")))
        << ui.events.join('|').toStdString();
    EXPECT_FALSE(QFileInfo::exists(output));
    // The settings file is saved in start mode 4 even without a read.
    EXPECT_TRUE(QFileInfo::exists(SettingsFolder() + "/PORT_0/QP-R60_Setting.DAT"));
}

// An old logo file that cannot be deleted at start-up would go into this run's output file:
// the start ends with a message that names it and says why.
TEST_F(StartupSequenceTest, StartModeFourEndsWhenTheOldLogoCannotBeDeleted)
{
    // A folder in the logo file's place cannot be removed as a file.
    const QString logo = m_dir.filePath("user/VORKA/QP60Utl/R60LOGO.qlg");
    ASSERT_TRUE(QDir().mkpath(logo + "/inside"));
    RecordingUi ui;
    StartupSequence sequence;
    EXPECT_FALSE(sequence.Startup(Environment({QStringLiteral("/mF") + m_dir.filePath("o")}), ui));
    ASSERT_EQ(ui.Warnings().size(), 1) << ui.events.join('|').toStdString();
    EXPECT_TRUE(ui.Warnings().first().contains(QDir::toNativeSeparators(logo)))
        << ui.Warnings().first().toStdString();
    EXPECT_FALSE(ui.events.contains(QStringLiteral("main-window")));
    sequence.Shutdown(ui);
    EXPECT_TRUE(ui.events.filter(QStringLiteral("question:")).isEmpty());
    EXPECT_TRUE(QFileInfo(logo).isDir());
}

// A new printer whose settings file was written but whose registry entry could not be:
// the copy would never be found again, so the user is told, with the registry file named.
TEST_F(StartupSequenceTest, RegistryThatCannotBeSavedForANewPrinterIsReported)
{
    const QString registry = SettingsFolder() + "/PrinterSetting.INI";
    ASSERT_TRUE(QDir().mkpath(registry + "/inside")); // cannot be replaced by a file
    RecordingUi ui;
    RunWithARead(ui);
    EXPECT_TRUE(QFileInfo::exists(SettingsFolder() + "/PORT_0/QP-R60_Setting.DAT"));
    const QStringList warnings = ui.events.filter(QStringLiteral("owned-warning:"));
    ASSERT_EQ(warnings.size(), 1) << ui.events.join('|').toStdString();
    EXPECT_TRUE(warnings.first().contains(QDir::toNativeSeparators(registry)))
        << warnings.first().toStdString();
}

TEST_F(StartupSequenceTest, StartModeFourAnsweredNoWritesNoOutputFile)
{
    RecordingUi ui;
    StartupSequence sequence;
    const QString output = m_dir.filePath("out.dat");
    ASSERT_TRUE(sequence.Startup(Environment({QStringLiteral("/mF") + output}), ui));
    sequence.Shutdown(ui);
    EXPECT_EQ(ui.events.filter(QStringLiteral("question:")).size(), 1);
    EXPECT_TRUE(ui.events.filter(QStringLiteral("owned-warning:")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(output));
}

TEST_F(StartupSequenceTest, FailedStartSavesNothingEvenInStartModeFour)
{
    RecordingUi ui;
    ui.createMainWindow = false;
    ui.answerYes = true;
    StartupSequence sequence;
    EXPECT_FALSE(sequence.Startup(Environment({QStringLiteral("/mF") + m_dir.filePath("o")}), ui));
    EXPECT_EQ(ui.events.last(), QStringLiteral("close-splash"));
    sequence.Shutdown(ui);
    EXPECT_TRUE(ui.events.filter(QStringLiteral("question:")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder() + "/PORT_0"));
}

TEST_F(StartupSequenceTest, DriverPortWithoutMarkEndsWithMessageThree)
{
    RecordingUi ui;
    StartupSequence sequence;
    EXPECT_FALSE(sequence.Startup(Environment({QStringLiteral("/pLPT1:")}), ui));
    EXPECT_EQ(ui.Warnings(), QStringList{QStringLiteral("warning:No answer (en)")});
    EXPECT_TRUE(ui.record.calls.isEmpty());
    sequence.Shutdown(ui);
}

TEST_F(StartupSequenceTest, DriverPortFoundOpensBehindTheSplash)
{
    RecordingUi ui;
    ui.script.portFound = true;
    SetFixedText(ui.script.foundPort.portName, QStringLiteral("127.0.0.1"));
    ui.script.checkResult = QPC_ERR_TIMEOUT; // no message on this path
    StartupSequence sequence;
    ASSERT_TRUE(sequence.Startup(Environment({QStringLiteral("/pVSDPRT1")}), ui));
    EXPECT_EQ(ui.record.calls,
              (QStringList{QStringLiteral("select:VSDPRT1"), QStringLiteral("store"),
                           QStringLiteral("check"), QStringLiteral("open")}));
    EXPECT_FALSE(ui.record.checkModel);
    EXPECT_TRUE(ui.Warnings().isEmpty());
    EXPECT_EQ(ui.events.indexOf(QStringLiteral("splash")) + 1,
              ui.events.indexOf(QStringLiteral("behind-splash")));
    EXPECT_EQ(sequence.StartupCommResult(), QPC_ERR_TIMEOUT);
    EXPECT_EQ(FixedText(sequence.State().portInfo.portName), QStringLiteral("127.0.0.1"));
    sequence.Shutdown(ui);
}

TEST_F(StartupSequenceTest, DriverPortInUseClosesTheSplashAndEnds)
{
    RecordingUi ui;
    ui.script.portFound = true;
    ui.script.openResult = QPC_ERR_PORT_IN_USE;
    StartupSequence sequence;
    EXPECT_FALSE(sequence.Startup(Environment({QStringLiteral("/pVSDPRT1")}), ui));
    const int warning = ui.events.indexOf(QStringLiteral("warning:In use (en)"));
    ASSERT_GT(warning, 0);
    EXPECT_EQ(ui.events.at(warning - 1), QStringLiteral("close-splash"));
    EXPECT_FALSE(ui.events.contains(QStringLiteral("main-window")));
    sequence.Shutdown(ui);
}

TEST_F(StartupSequenceTest, DriverPortNotFoundShowsTheDialog)
{
    RecordingUi ui;
    StartupSequence sequence;
    ASSERT_TRUE(sequence.Startup(Environment({QStringLiteral("/pVSDPRT9")}), ui));
    EXPECT_EQ(ui.record.calls,
              (QStringList{QStringLiteral("select:VSDPRT9"), QStringLiteral("exec")}));
    EXPECT_FALSE(ui.events.contains(QStringLiteral("splash")));
    sequence.Shutdown(ui);
}

TEST_F(StartupSequenceTest, PortPathWithSilentPrinterStillStarts)
{
    RecordingUi ui;
    ui.script.checkResult = QPC_ERR_TIMEOUT;
    ui.script.openResult = QPC_ERR_TIMEOUT;
    StartupSequence sequence;
    ASSERT_TRUE(
        sequence.Startup(Environment({QStringLiteral("/mR"), QStringLiteral("/r/dev/ttyS9")}), ui));
    EXPECT_EQ(ui.record.stored.driverPortFlag, 1u);
    EXPECT_EQ(FixedText(ui.record.stored.driverPortPath), QStringLiteral("/dev/ttyS9"));
    EXPECT_EQ(ui.record.stored.reserved1, -1);
    EXPECT_EQ(ui.Warnings(), QStringList{QStringLiteral("warning:No answer (en)")});
    EXPECT_TRUE(ui.events.contains(QStringLiteral("show-main")));
    sequence.Shutdown(ui);
}

TEST_F(StartupSequenceTest, CancelledDialogEndsAndSavesNothing)
{
    RecordingUi ui;
    ui.script.execResult = false;
    StartupSequence sequence;
    EXPECT_FALSE(sequence.Startup(Environment({}), ui));
    sequence.DataMgr().SetSaveEnabled(1);
    sequence.Shutdown(ui);
    EXPECT_FALSE(QFileInfo::exists(SettingsFolder() + "/PrinterSetting.INI"));
}

TEST_F(StartupSequenceTest, DriverModeSetsTheFiltersAndThePrinterName)
{
    RecordingUi ui;
    ui.script.chosenDriverPrinter = QStringLiteral("QP-R60 Queue");
    StartupSequence sequence;
    ASSERT_TRUE(sequence.Startup(Environment({QStringLiteral("/mZRD5")}), ui));
    EXPECT_EQ(ui.record.driverFilter, QStringLiteral("VORKA QP-R60 Receipt"));
    EXPECT_TRUE(ui.record.printerFilter.isEmpty());
    EXPECT_EQ(FixedText(sequence.State().printerName), QStringLiteral("QP-R60 Queue"));
    sequence.Shutdown(ui);

    RecordingUi named;
    StartupSequence withName;
    ASSERT_TRUE(
        withName.Startup(Environment({QStringLiteral("/mZRD5"), QStringLiteral("/qMine")}), named));
    EXPECT_EQ(named.record.printerFilter, QStringLiteral("Mine"));
    EXPECT_EQ(FixedText(withName.State().printerName), QStringLiteral("Mine"));
    withName.Shutdown(named);
}

TEST_F(StartupSequenceTest, WithoutSettingsFolderNothingIsSavedAnywhere)
{
    // The common data folder is a file: the settings folder cannot be created.
    WriteFile(m_dir.filePath("common"), "not a folder");
    RecordingUi ui;
    StartupSequence sequence;
    ASSERT_TRUE(sequence.Startup(Environment({QStringLiteral("/mF") + m_dir.filePath("o")}), ui));
    EXPECT_TRUE(FixedText(sequence.State().settingsFolder).isEmpty());
    EXPECT_TRUE(FixedText(sequence.State().tempFolder).isEmpty());
    sequence.Shutdown(ui);
    EXPECT_EQ(sequence.DataMgr().Registry().Count(), 0);
}

// The test identity variable can withdraw administrator rights but never grant them: an
// identity with rights is ignored in favour of the process's own.
TEST(StartupEnvironmentIdentity, TestIdentityOnlyWithdrawsRights)
{
    if (!startup::TestHooksEnabled())
        GTEST_SKIP() << "test hooks are not compiled in";
    const char* const variable = startup::kTestIdentityVariable;
    ::setenv(variable, "uid=4321;groups=users", 1);
    const platform::ProcessIdentity withdrawn = StartupEnvironment::OfProcess({}).identity();
    EXPECT_EQ(withdrawn.effectiveUid, uid_t(4321));
    EXPECT_FALSE(platform::IsAdministrator(withdrawn));

    ::setenv(variable, "uid=4321;groups=users,lpadmin", 1);
    const platform::ProcessIdentity granted = StartupEnvironment::OfProcess({}).identity();
    EXPECT_EQ(granted.effectiveUid, platform::CurrentProcessIdentity().effectiveUid);
    EXPECT_EQ(platform::IsAdministrator(granted),
              platform::IsAdministrator(platform::CurrentProcessIdentity()));
    ::unsetenv(variable);
}
