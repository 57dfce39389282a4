#pragma once

#include "app/startup_sequence.h"

#include <QApplication>
#include <QPointer>

#include <memory>

#include "mainwnd/main_frame.h"
class CSplash;

// The application object. It owns everything that lives as long as the program (through
// its StartupSequence: the shared block, the library binding, the data manager with the
// printer registry, the lock, the texts, the single-instance lock), runs start-up before
// the event loop and shutdown after it, and gives start-up its windows: message boxes, the
// splash, the printer selection dialog and the main frame.
//
// Views, pages and dialogs reach it as Instance().
class CQPUtilApp : public QApplication, private StartupUi
{
    Q_OBJECT

public:
    CQPUtilApp(int& argc, char** argv);
    ~CQPUtilApp() override;

    // The running application object, or null when there is none (or it is another kind).
    static CQPUtilApp* Instance();

    // Start-up, the event loop when start-up succeeded, shutdown. Returns the exit code
    // (shutdown's 1).
    int Run();

    AppState& State() { return m_sequence.State(); }
    CommLibTable* CommLib() { return m_sequence.CommLib(); }
    PluginDataMgr& DataMgr() { return m_sequence.DataMgr(); }
    int32_t StartupCommResult() const { return m_sequence.StartupCommResult(); }
    CMainFrame* MainFrame() const { return m_mainFrame.data(); }
    CSplash* Splash() const { return m_splash; }

private:
    // StartupUi
    void ShowWarning(const QString& text) override;
    void ShowOwnedWarning(const QString& text) override;
    bool AskOwnedQuestion(const QString& caption, const QString& text) override;
    void StartSplash() override;
    void CloseSplash() override;
    void DeleteSplash() override;
    void RunBehindSplash(const std::function<void()>& work) override;
    std::unique_ptr<IPrinterChooser> CreatePrinterChooser() override;
    bool CreateMainWindow() override;
    void ShowMainWindow() override;
    // The owner of the shutdown messages: the main window while it is shown; once it has
    // gone (as it has when the program ends normally) none, never a hidden window.
    QWidget* ShutdownOwner() const;

    StartupSequence m_sequence;
    CSplash* m_splash = nullptr; // cleared by the splash object itself
    QPointer<CMainFrame> m_mainFrame;
    std::unique_ptr<CMainFrame> m_ownedFrame;
    QObject* m_hook = nullptr; // the end-to-end test hook, a child; none without QPU_TEST_HOOKS
};
