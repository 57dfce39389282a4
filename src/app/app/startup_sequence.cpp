#include "app/startup_sequence.h"

#include "app/device_query.h"
#include "app/fixed_text.h"
#include "app/model_profile.h"
#include "app/startup_test_hooks.h"
#include "lang/language_setting.h"
#include "lang/placeholders.h"
#include "pages/output_file.h"
#include "platform/activation_channel.h"
#include "platform/profile.h"
#include "platform/special_folders.h"

#include <QDir>

#include <cstring>

namespace {

constexpr char kPrinterSelectWindowName[] = "PRT_SELECT_DLG";
constexpr char kDriverNameFilter[] = "VORKA QP-R60 Receipt";
// StartupCommResult of start mode 4, in which no printer is asked.
constexpr int32_t kNoPrinterCommResult = QPC_ERR_IO;

QString TooLongOptionText(const QString& option)
{
    return QStringLiteral("The value of the command-line option /%1 is too long.\n"
                          "The program ends.")
        .arg(option);
}

} // namespace

StartupEnvironment StartupEnvironment::OfProcess(const QStringList& arguments)
{
    StartupEnvironment environment;
    environment.arguments = arguments;
    environment.programFolder = platform::ProgramFolder();
    environment.commonAppData = platform::CommonAppDataFolder();
    environment.userAppData = platform::UserAppDataFolder();
    environment.userConfigFolder = platform::UserConfigFolder();
    // A test identity can only take administrator rights away, never grant them, so the
    // hook cannot be used to get past the check.
    environment.identity = [] {
        auto injected = startup::TestIdentityFromEnvironment();
        if (injected && !platform::IsAdministrator(*injected))
            return *injected;
        return platform::CurrentProcessIdentity();
    };
    return environment;
}

StartupSequence::StartupSequence()
{
    std::memset(&m_state, 0, sizeof m_state);
}

StartupSequence::~StartupSequence() = default;

bool StartupSequence::Startup(const StartupEnvironment& environment, StartupUi& ui)
{
    // Command line. A value that does not fit its field is refused whole rather than cut,
    // which could open another port or write another file than the caller meant.
    m_arguments = environment.arguments;
    m_commandLine = CExtCommandLineInfo();
    m_commandLine.ParseArguments(m_arguments);
    if (!m_commandLine.tooLongOption.isEmpty()) {
        ui.ShowWarning(TooLongOptionText(m_commandLine.tooLongOption));
        return false;
    }
    if (!m_commandLine.bypassInstanceCheck && !CheckSingleInstance())
        return false;

    m_appLock.emplace();
    m_state.appLock = m_appLock->native();

    BuildFolders(environment);
    if (!m_paths.settingsFolder.isEmpty())
        m_dataMgr.Registry().Load(m_paths.settingsFolder);
    CopyCommandLine();
    ReadLanguage();
    m_state.hostCode = QPU_HOST_CODE;
    // A logo of an earlier run that stayed would go into this run's output file.
    QString oldLogoStays;
    if (IsNoPrinterMode() && !m_paths.logoFile.isEmpty()) {
        SetFixedText(m_state.logoFile, m_paths.logoFile);
        oldLogoStays = startup::RemoveOldLogoFile(m_paths.logoFile);
    }
    m_state.languageId = startup::LanguageIdFromText(FixedText(m_state.languageIdText));
    if (!OpenAppTexts(ui))
        return false;
    if (!oldLogoStays.isEmpty()) {
        ui.ShowWarning(FillPlaceholders(AppMessage(startup::kMsgOldLogoNotDeleted,
                                                   startup::kOldLogoNotDeletedText),
                                        {QDir::toNativeSeparators(m_paths.logoFile)}) +
                       QLatin1Char('\n') + oldLogoStays);
        return false;
    }

    const platform::ProcessIdentity identity =
        environment.identity ? environment.identity() : platform::CurrentProcessIdentity();
    if (!platform::IsAdministrator(identity)) {
        ui.ShowWarning(AppMessage(startup::kMsgNotAdministrator, startup::kNotAdministratorText));
        return false;
    }

    m_state.dataMgr = &m_dataMgr;
    ReadModelProfile(m_state, m_paths.settingIni);
    ReadInterfaceProfile(m_state, m_paths.settingIni);

    if (!IsNoPrinterMode()) {
        // A library that cannot be bound stays in place unbound: every call then answers
        // QPC_ERR_NOT_BOUND and the dialog reports its own errors.
        m_commLib = std::make_unique<CommLibBinding>();
        m_commLib->Bind(environment.commLibraryName, m_paths.programFolder);
    }
    if (IsCommLibBound(CommLib()))
        m_commLib->Call(&CommLibTable::SetCaller, startup::LibraryCallerType(m_state.callerType));

    std::unique_ptr<IPrinterChooser> chooser = ui.CreatePrinterChooser();
    chooser->SetState(m_state);
    chooser->SetCommLib(CommLib());
    if (m_state.startMode == kStartModeDriver) {
        chooser->SetDriverNameFilter(QString::fromLatin1(kDriverNameFilter));
        if (!m_commandLine.printerName.isEmpty())
            chooser->SetPrinterNameFilter(m_commandLine.printerName);
    }
    if (IsCommLibBound(CommLib()))
        m_commLib->Call(&CommLibTable::SetModelType, 0);

    if (!ChoosePrinter(*chooser, ui))
        return false;

    m_startupCommResult = IsNoPrinterMode() ? kNoPrinterCommResult : chooser->LastTestResult();
    m_state = chooser->State();
    m_state.commLib = CommLib();
    if (m_state.startMode == kStartModeDriver && FixedText(m_state.printerName).isEmpty())
        SetFixedText(m_state.printerName, chooser->ChosenDriverPrinterName());

    QueryDeviceId(m_state, m_startupCommResult);
    QueryFeatureFlags(m_state, m_startupCommResult);

    // The dialog may have changed the language.
    if (!OpenAppTexts(ui))
        return false;
    LoadPrinterSettings(ui);

    if (!ui.CreateMainWindow()) {
        ui.CloseSplash();
        return false;
    }
    ui.CloseSplash();
    ui.ShowMainWindow();
    m_started = true;
    return true;
}

bool StartupSequence::CheckSingleInstance()
{
    m_instanceLock = std::make_unique<platform::SingleInstanceLock>();
    switch (m_instanceLock->state()) {
    case platform::SingleInstanceLock::State::Acquired:
        return true;
    case platform::SingleInstanceLock::State::AlreadyRunning:
        // The running copy brings its selection dialog or main window to the front.
        platform::RequestActivation();
        break;
    case platform::SingleInstanceLock::State::Failed:
        break;
    }
    m_instanceLock.reset();
    return false;
}

void StartupSequence::BuildFolders(const StartupEnvironment& environment)
{
    m_paths = startup::CreateStartupFolders(startup::DeriveStartupPaths(
        environment.programFolder, environment.commonAppData, environment.userAppData));
    m_paths.userSettingIni = lang::UserSettingIniPath(environment.userConfigFolder);
    SetFixedText(m_state.programFolder, m_paths.programFolder);
    SetFixedText(m_state.languageFolder, m_paths.languageFolder);
    SetFixedText(m_state.settingsFolder, m_paths.settingsFolder);
    SetFixedText(m_state.tempFolder, m_paths.tempFolder);
}

void StartupSequence::CopyCommandLine()
{
    // The command line refused longer values, so every text fits its field.
    m_state.startMode = m_commandLine.startMode;
    m_state.callerType = m_commandLine.callerType;
    SetFixedText(m_state.driverPortName, m_commandLine.driverPortName);
    SetFixedText(m_state.printerName, m_commandLine.printerName);
    SetFixedText(m_state.portPath, m_commandLine.portPath);
    SetFixedText(m_state.outputFile, m_commandLine.outputFile);
}

void StartupSequence::ReadLanguage()
{
    // The user's own choice over the program folder's shipped default.
    const QString text = lang::ReadLanguageIdText(m_paths.settingIni, m_paths.userSettingIni);
    SetFixedText(m_state.languageIdText, text.left(QPU_TEXT_MAX_CHARS));
}

bool StartupSequence::OpenAppTexts(StartupUi& ui)
{
    if (m_texts.Open(FixedText(m_state.languageFolder), m_state.languageId,
                     CLangResStore::kFallbackLangId) == CLangResStore::kNotFound) {
        ui.ShowWarning(QString::fromLatin1(startup::kNoLanguageFileText));
        return false;
    }
    m_texts.LoadSections(QString::fromLatin1(startup::kAppWindowName));
    return true;
}

bool StartupSequence::ChoosePrinter(IPrinterChooser& chooser, StartupUi& ui)
{
    const QString driverPortName = FixedText(m_state.driverPortName);
    const QString portPath = FixedText(m_state.portPath);
    switch (startup::ChoosePrinterCase(m_state.startMode, driverPortName, portPath)) {
    case startup::PrinterChoice::DriverPortRejected:
        ui.ShowWarning(WindowMessage(kPrinterSelectWindowName, startup::kMsgNoAnswer,
                                     QString::fromLatin1(startup::kNoAnswerText)));
        return false;
    case startup::PrinterChoice::DriverPort: {
        PortInfo port;
        std::memset(&port, 0, sizeof port);
        if (!chooser.SelectByPortName(driverPortName, port))
            break; // not found: the dialog
        // A failed communication check shows nothing on this path; the status view
        // reports the printer's state.
        return OpenPortBehindSplash(chooser, port, ui, nullptr);
    }
    case startup::PrinterChoice::PortPath: {
        PortInfo port;
        startup::MakePortPathRecord(portPath, port);
        chooser.StoreSelection(port);
        int32_t checkResult = QPC_OK;
        if (!OpenPortBehindSplash(chooser, port, ui, &checkResult))
            return false;
        if (checkResult != QPC_OK) {
            ui.CloseSplash();
            ui.ShowWarning(WindowMessage(kPrinterSelectWindowName, startup::kMsgNoAnswer,
                                         QString::fromLatin1(startup::kNoAnswerText)));
        }
        return true;
    }
    case startup::PrinterChoice::NoPrinter:
        SetFixedText(chooser.State().portInfo.deviceName, QString::fromUtf16(kServedModelName));
        return true;
    case startup::PrinterChoice::Dialog:
        break;
    }
    return chooser.Exec();
}

bool StartupSequence::OpenPortBehindSplash(IPrinterChooser& chooser, PortInfo& port, StartupUi& ui,
                                           int32_t* checkResult)
{
    ui.StartSplash();
    int32_t check = QPC_ERR_NOT_BOUND;
    int32_t open = QPC_ERR_NOT_BOUND;
    ui.RunBehindSplash([&] {
        check = chooser.CommunicationCheck(false, port);
        open = chooser.OpenPort(port);
    });
    if (checkResult)
        *checkResult = check;
    if (open == QPC_ERR_PORT_IN_USE) {
        ui.CloseSplash();
        ui.ShowWarning(AppMessage(startup::kMsgPortInUse, startup::kPortInUseText));
        return false;
    }
    return true;
}

void StartupSequence::LoadPrinterSettings(StartupUi& ui)
{
    if (!startup::UsesSettingsFile(m_state.startMode, m_state.callerType) ||
        FixedText(m_state.settingsFolder).isEmpty())
        return;
    const QString path = m_dataMgr.Registry().SettingsPathOf(FixedText(m_state.portInfo.deviceName),
                                                             FixedText(m_state.portInfo.portName));
    if (path.isEmpty())
        return;
    // A missing or unreadable file leaves the defaults.
    const int loaded = m_dataMgr.LoadSettingsFile(path);
    if (loaded != PluginDataMgr::kBadData && loaded != PluginDataMgr::kTruncated)
        return;
    // A damaged file is put aside before the save at exit could replace it, so that what
    // it holds can still be recovered, and the user learns why the pages show defaults.
    QString kept = startup::SetDamagedFileAside(path);
    if (kept.isEmpty()) {
        m_keepDamagedFile = true;
        kept = path;
    }
    ui.ShowWarning(FillPlaceholders(
        AppMessage(startup::kMsgSettingsFileDamaged, startup::kSettingsFileDamagedText),
        {QDir::toNativeSeparators(kept)}));
}

int StartupSequence::Shutdown(StartupUi& ui)
{
    if (IsCommLibBound(CommLib()))
        m_commLib->Call(&CommLibTable::Terminate);
    // A start that ended before the main window has nothing to save: saving then could
    // replace a printer's saved settings with an empty set.
    if (m_started) {
        SavePrinterSettings(ui);
        if (IsNoPrinterMode())
            OfferOutputFile(ui);
    }

    CExtCommandLineInfo commandLine;
    commandLine.ParseArguments(m_arguments);
    // Without the bypass this copy is the only one; with it another copy may still use the
    // temporary folder. rmdir removes it only when it is empty.
    if (!commandLine.bypassInstanceCheck && !m_paths.tempFolder.isEmpty())
        QDir().rmdir(m_paths.tempFolder);

    ui.DeleteSplash();
    m_state.appLock = nullptr;
    m_appLock.reset();
    m_instanceLock.reset();
    return 1;
}

void StartupSequence::SavePrinterSettings(StartupUi& ui)
{
    if (!startup::UsesSettingsFile(m_state.startMode, m_state.callerType))
        return;
    const QString settingsFolder = FixedText(m_state.settingsFolder);
    // Without its folder the registry would name files relative to the root folder.
    if (settingsFolder.isEmpty())
        return;
    const QString deviceName = FixedText(m_state.portInfo.deviceName);
    const QString portName = FixedText(m_state.portInfo.portName);
    PrinterRegistry& registry = m_dataMgr.Registry();
    registry.Add(settingsFolder, deviceName, portName);
    const QString path = registry.SettingsPathOf(deviceName, portName);
    if (path.isEmpty())
        return;
    if (IsNoPrinterMode())
        m_dataMgr.SetSaveEnabled(1);
    // Nothing was read from the printer in this run: the file stays as it was.
    if (m_dataMgr.SaveEnabled() != 1 || m_keepDamagedFile)
        return;
    // The registry names a printer only once its settings file exists. A registry that
    // cannot be written leaves a new printer's copy where no later start finds it, so it is
    // reported as the settings file would be.
    QString notSaved = path;
    if (m_dataMgr.SaveSettingsFile(path, QByteArrayLiteral("QP-R60"), startup::kSettingsFileValue,
                                   startup::kSettingsFileValue) != 0) {
        if (registry.Save(settingsFolder) != 0)
            return;
        notSaved = PrinterRegistry::IniPathOf(settingsFolder);
    }
    ui.ShowOwnedWarning(
        FillPlaceholders(AppMessage(startup::kMsgSettingsNotSaved, startup::kSettingsNotSavedText),
                         {QDir::toNativeSeparators(notSaved)}));
}

void StartupSequence::OfferOutputFile(StartupUi& ui)
{
    const QString caption =
        WindowMessage(startup::kConfirmSaveWindowName, startup::kConfirmSaveCaption, {});
    const QString question =
        WindowMessage(startup::kConfirmSaveWindowName, startup::kConfirmSaveQuestion, {});
    if (!ui.AskOwnedQuestion(caption, question))
        return;
    OutputFileFailure failure;
    const int result = WriteOutputFileAtShutdown(
        FixedText(m_state.logoFile), FixedText(m_state.portInfo.deviceName),
        FixedText(m_state.outputFile), m_dataMgr, &failure);
    // The described text first, then which file and why.
    if (result != kOutputFileOk)
        ui.ShowOwnedWarning(AppMessage(startup::kMsgSaveFileFailed, startup::kSaveFileFailedText) +
                            QLatin1Char('\n') + OutputFileFailureLine(failure));
}

QString StartupSequence::AppMessage(int number, const char* english) const
{
    QString text = QString::fromLatin1(english);
    m_texts.GetMessage(number, text);
    return text;
}

QString StartupSequence::WindowMessage(const char* windowName, int number,
                                       const QString& english) const
{
    QString text = english;
    CLangResStore texts;
    if (texts.Open(FixedText(m_state.languageFolder), m_state.languageId,
                   CLangResStore::kFallbackLangId) != CLangResStore::kNotFound &&
        texts.LoadSections(QString::fromLatin1(windowName)) == CLangResStore::kOk) {
        texts.GetMessage(number, text);
    }
    return text;
}

bool StartupSequence::IsNoPrinterMode() const
{
    return m_state.startMode == kStartModeNoPrinter;
}
