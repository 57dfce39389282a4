#include "app/qp_util_app.h"

#include "app/message_box.h"
#include "app/splash.h"
#include "mainwnd/main_frame.h"
#include "mainwnd/main_window_size.h"
#include "mainwnd/printer_setting_reader.h"
#include "mainwnd/util_menu_view.h"
#include "mainwnd/util_status_view.h"
#include "platform/activation_channel.h"
#include "printers/printer_select_dlg.h"

#ifdef QPU_TEST_HOOKS
#include "app/startup_ui_hook.h"
#endif

#include <QMessageBox>
#include <QTimer>

namespace {

// The printer selection dialog as start-up uses it.
class SelectDlgChooser : public IPrinterChooser
{
public:
    SelectDlgChooser() : m_dialog(std::make_unique<CPrinterSelectDlg>()) {}

    void SetState(const AppState& state) override { m_dialog->SetState(state); }
    AppState& State() override { return m_dialog->Core().State(); }
    void SetCommLib(CommLibTable* table) override { m_dialog->SetCommLib(table); }
    void SetDriverNameFilter(const QString& filter) override
    {
        m_dialog->SetDriverNameFilter(filter);
    }
    void SetPrinterNameFilter(const QString& filter) override
    {
        m_dialog->SetPrinterNameFilter(filter);
    }
    bool SelectByPortName(const QString& portName, PortInfo& found) override
    {
        const PortInfo* port = m_dialog->SelectByPortName(portName);
        if (port == nullptr)
            return false;
        found = *port;
        return true;
    }
    int32_t CommunicationCheck(bool checkModel, PortInfo& port) override
    {
        return m_dialog->Core().CommunicationCheck(checkModel, &port, nullptr);
    }
    int32_t OpenPort(PortInfo& port) override { return m_dialog->OpenPort(&port); }
    void StoreSelection(const PortInfo& port) override { m_dialog->StoreSelection(port); }
    QString ChosenDriverPrinterName() const override
    {
        return m_dialog->ChosenDriverPrinterName().value_or(QString());
    }
    int32_t LastTestResult() const override { return m_dialog->LastTestResult(); }
    bool Exec() override { return m_dialog->exec() == QDialog::Accepted; }

private:
    std::unique_ptr<CPrinterSelectDlg> m_dialog;
};

QStringList ArgumentsWithoutProgram(const QStringList& arguments)
{
    return arguments.mid(1);
}

} // namespace

CQPUtilApp::CQPUtilApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(qpu::kProductTitle));
#ifdef QPU_TEST_HOOKS
    m_hook = StartupUiHook::Install(this);
#endif
}

CQPUtilApp::~CQPUtilApp()
{
    DeleteSplash();
    m_ownedFrame.reset();
    // Removes itself from the application's event filters while the application is whole.
    delete m_hook;
}

CQPUtilApp* CQPUtilApp::Instance()
{
    return qobject_cast<CQPUtilApp*>(QCoreApplication::instance());
}

int CQPUtilApp::Run()
{
    // Start-up shows and closes windows before the main window exists; none of them may
    // end the program on its own.
    setQuitOnLastWindowClosed(false);
    const bool started = m_sequence.Startup(
        StartupEnvironment::OfProcess(ArgumentsWithoutProgram(arguments())), *this);
    if (started) {
        setQuitOnLastWindowClosed(true);
        exec();
        if (m_mainFrame)
            mainwnd::SaveMainWindowSize(m_sequence.Paths().userSettingIni, m_mainFrame->size());
    }
    // The menu view finalises its plug-ins as it goes; they hand back their data blocks
    // before shutdown saves them.
    m_ownedFrame.reset();
    setQuitOnLastWindowClosed(false);
    return m_sequence.Shutdown(*this);
}

void CQPUtilApp::ShowWarning(const QString& text)
{
    if (m_splash != nullptr)
        m_splash->CloseNow();
    qpu::ShowWarningMessage(nullptr, text);
}

void CQPUtilApp::ShowOwnedWarning(const QString& text)
{
    qpu::ShowWarningMessage(ShutdownOwner(), text);
}

bool CQPUtilApp::AskOwnedQuestion(const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    ShutdownOwner());
    return box.exec() == QMessageBox::Yes;
}

QWidget* CQPUtilApp::ShutdownOwner() const
{
    QWidget* frame = m_mainFrame.data();
    return frame != nullptr && frame->isVisible() ? frame : nullptr;
}

void CQPUtilApp::StartSplash()
{
    if (m_splash != nullptr)
        return;
    // The object registers itself in m_splash and clears it when it goes.
    new CSplash(
        &m_splash, [this]() -> QWidget* { return m_mainFrame.data(); }, this);
}

void CQPUtilApp::CloseSplash()
{
    if (m_splash != nullptr)
        m_splash->Close();
}

void CQPUtilApp::DeleteSplash()
{
    delete m_splash; // clears m_splash
}

void CQPUtilApp::RunBehindSplash(const std::function<void()>& work)
{
    // The library calls block for seconds; they run on a worker while this thread keeps
    // the splash painted.
    RunWhileSplashResponds(work);
}

std::unique_ptr<IPrinterChooser> CQPUtilApp::CreatePrinterChooser()
{
    return std::make_unique<SelectDlgChooser>();
}

bool CQPUtilApp::CreateMainWindow()
{
    AppState& state = m_sequence.State();
    m_ownedFrame = std::make_unique<CMainFrame>(&state);
    CMainFrame* frame = m_ownedFrame.get();
    m_mainFrame = frame;
    if (const auto size = mainwnd::ReadMainWindowSize(m_sequence.Paths().userSettingIni))
        frame->RestoreSize(*size);
    frame->SetStartupCommResult(m_sequence.StartupCommResult());

    auto* status = new CUtilStatusView(CUtilStatusView::Context{&state, frame, {}},
                                       std::make_unique<CPrinterSettingReader>(), frame);
    frame->SetStatusView(status);

    auto* menu = new CUtilMenuView(
        CUtilMenuView::Context::FromAppState(state, frame, frame->PagePane()), frame);
    const QPointer<CUtilMenuView> menuGuard(menu);
    frame->SetMenuView(menu, [menuGuard]() -> MenuItem* {
        return menuGuard ? menuGuard->SelectedEntry() : nullptr;
    });
    connect(menu, &CUtilMenuView::menuSizeKnown, frame, [frame](int width, int height) {
        frame->SetMenuSize(width, height);
        frame->LayoutPanes();
    });
    connect(menu, &CUtilMenuView::entryListReady, frame, [frame](const MenuItemList* entries) {
        if (entries != nullptr)
            frame->StartStatusMonitoring(*entries);
    });
    frame->ListenForActivation(QString::fromLatin1(platform::kActivationChannelName));
    return true;
}

void CQPUtilApp::ShowMainWindow()
{
    CMainFrame* frame = m_mainFrame.data();
    if (frame == nullptr)
        return;
    frame->show();
    frame->raise();
    frame->activateWindow();
    // The views build themselves once the window is up: the status view first, so that
    // the printer read that the menu's entry list starts finds its page.
    QTimer::singleShot(0, frame, [frame] {
        if (auto* status = qobject_cast<CUtilStatusView*>(frame->StatusView()))
            status->InitialUpdate();
        if (auto* menu = qobject_cast<CUtilMenuView*>(frame->MenuView()))
            menu->InitialUpdate();
    });
}
