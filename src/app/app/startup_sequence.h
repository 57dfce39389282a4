#pragma once

#include "app/command_line.h"
#include "app/startup_rules.h"
#include "comm/comm_lib_binding.h"
#include "lang/lang_res_store.h"
#include "pages/plugin_data_mgr.h"
#include "platform/admin_check.h"
#include "platform/app_lock.h"
#include "platform/single_instance_lock.h"

#include <qpu/app_state.h>

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// What start-up needs of the printer selection dialog: the dialog itself, shown modally,
// and the entry points that choose a printer without showing it. The dialog works on its
// own copy of AppState, which start-up fills before and takes back after.
class IPrinterChooser
{
public:
    virtual ~IPrinterChooser() = default;
    // Byte copy of the shared block into the dialog.
    virtual void SetState(const AppState& state) = 0;
    // The dialog's copy of the shared block.
    virtual AppState& State() = 0;
    virtual void SetCommLib(CommLibTable* table) = 0;
    virtual void SetDriverNameFilter(const QString& filter) = 0;
    virtual void SetPrinterNameFilter(const QString& filter) = 0;
    // Picks the library port whose driver port path ends in portName and stores it as the
    // selection. False when there is none.
    virtual bool SelectByPortName(const QString& portName, PortInfo& found) = 0;
    // The communication test of port (the library fills its device name); with checkModel
    // the model is compared too. Remembered as the last test result. May run on a worker
    // thread: it shows nothing when checkModel is false.
    virtual int32_t CommunicationCheck(bool checkModel, PortInfo& port) = 0;
    // Selects and opens port in the library. May run on a worker thread.
    virtual int32_t OpenPort(PortInfo& port) = 0;
    virtual void StoreSelection(const PortInfo& port) = 0;
    // The queue name of the chosen driver printer; empty when there is none.
    virtual QString ChosenDriverPrinterName() const = 0;
    // The result of the last communication test, QPC_ERR_NOT_BOUND when none ran.
    virtual int32_t LastTestResult() const = 0;
    // Shows the dialog modally; true when it closed with OK.
    virtual bool Exec() = 0;
};

// The windows that start-up and shutdown use. The application object implements it with
// widgets; tests implement it with recorders.
class StartupUi
{
public:
    virtual ~StartupUi() = default;
    // A warning message box without owner window (closes the splash first).
    virtual void ShowWarning(const QString& text) = 0;
    // A warning at shutdown, owned by the main window while it is shown, else by none.
    virtual void ShowOwnedWarning(const QString& text) = 0;
    // A Yes/No question with the question icon at shutdown, owned as ShowOwnedWarning's
    // warning; true for Yes.
    virtual bool AskOwnedQuestion(const QString& caption, const QString& text) = 0;
    virtual void StartSplash() = 0;
    // Asks the splash to close, when there is one.
    virtual void CloseSplash() = 0;
    // Removes a splash that still exists (shutdown).
    virtual void DeleteSplash() = 0;
    // Runs work, which blocks in library calls, while the splash stays on the screen; returns
    // when work has finished.
    virtual void RunBehindSplash(const std::function<void()>& work) = 0;
    virtual std::unique_ptr<IPrinterChooser> CreatePrinterChooser() = 0;
    // Creates the main frame with its views; false when that failed.
    virtual bool CreateMainWindow() = 0;
    virtual void ShowMainWindow() = 0;
};

// Where start-up finds the program, its folders and the identity of the user.
struct StartupEnvironment
{
    QStringList arguments; // without the program name
    QString programFolder; // ends with '/'
    QString commonAppData;
    QString userAppData;
    QString userConfigFolder; // the user's own configuration ($XDG_CONFIG_HOME)
    std::function<platform::ProcessIdentity()> identity;
    QString commLibraryName = QString::fromLatin1(kCommLibraryName);

    // The running process: /proc/self/exe, the special folders, the process identity.
    static StartupEnvironment OfProcess(const QStringList& arguments);
};

// The window-free part of the application object: everything that lives for the whole run
// (the shared block, the library binding, the data manager with the printer registry, the
// lock, the application's texts, the single-instance lock) and the start-up and shutdown
// that fill and release it.
class StartupSequence
{
public:
    StartupSequence();
    ~StartupSequence();
    StartupSequence(const StartupSequence&) = delete;
    StartupSequence& operator=(const StartupSequence&) = delete;

    // Runs the start-up steps; true runs the program with the main window shown, false
    // ends it (Shutdown still runs).
    bool Startup(const StartupEnvironment& environment, StartupUi& ui);
    // Runs the shutdown steps; returns the exit code, 1.
    int Shutdown(StartupUi& ui);

    AppState& State() { return m_state; }
    const AppState& State() const { return m_state; }
    CommLibTable* CommLib() { return m_commLib ? m_commLib->Table() : nullptr; }
    PluginDataMgr& DataMgr() { return m_dataMgr; }
    const CLangResStore& Texts() const { return m_texts; }
    const CExtCommandLineInfo& CommandLine() const { return m_commandLine; }
    // 0 when the chosen printer answered the communication test at start-up.
    int32_t StartupCommResult() const { return m_startupCommResult; }
    // True once start-up has reached the main window.
    bool Started() const { return m_started; }
    // The paths derived at start-up (after folder creation).
    const startup::StartupPaths& Paths() const { return m_paths; }

private:
    bool CheckSingleInstance();
    void BuildFolders(const StartupEnvironment& environment);
    void CopyCommandLine();
    void ReadLanguage();
    bool OpenAppTexts(StartupUi& ui);
    bool ChoosePrinter(IPrinterChooser& chooser, StartupUi& ui);
    bool OpenPortBehindSplash(IPrinterChooser& chooser, PortInfo& port, StartupUi& ui,
                              int32_t* checkResult);
    void LoadPrinterSettings(StartupUi& ui);
    void SavePrinterSettings(StartupUi& ui);
    void OfferOutputFile(StartupUi& ui);
    QString AppMessage(int number, const char* english) const;
    QString WindowMessage(const char* windowName, int number, const QString& english) const;
    bool IsNoPrinterMode() const;

    AppState m_state;
    std::unique_ptr<CommLibBinding> m_commLib;
    PluginDataMgr m_dataMgr;
    std::optional<platform::AppLock> m_appLock;
    int32_t m_startupCommResult = QPC_ERR_NOT_BOUND;
    CLangResStore m_texts;
    std::unique_ptr<platform::SingleInstanceLock> m_instanceLock;
    CExtCommandLineInfo m_commandLine;
    QStringList m_arguments;
    startup::StartupPaths m_paths;
    bool m_started = false;
    // A damaged settings file that could not be put aside stays as it is: no save replaces it.
    bool m_keepDamagedFile = false;
};
