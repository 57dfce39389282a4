#include "mainwnd/main_frame.h"

#include "app/fixed_text.h"
#include "app/wait_cursor.h"
#include "comm/comm_lib_binding.h"
#include "comm/comm_state_dlg.h"
#include "mainwnd/about_dlg.h"
#include "mainwnd/main_window_size.h"
#include "mainwnd/util_dummy_view.h"
#include "mainwnd/util_menu_view.h"
#include "mainwnd/util_splitter_wnd.h"
#include "mainwnd/util_status_view.h"
#include "platform/activation_channel.h"

#include <qpu/version.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <cstdlib>
#include <mutex>

#include <unistd.h>

namespace {

constexpr int kProgressCaptionNumber = 0;
const char kProgressCaption[] = "Communicating with the printer";

} // namespace

// The status callback's link to the status view. The library calls back on its own
// threads; the view is destroyed on the main thread. The mutex makes "the view still
// exists" and the post one step.
struct CMainFrame::StatusRelay
{
    std::mutex mutex;
    QObject* view = nullptr;
};

CMainFrame::CMainFrame(AppState* state, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_statusRelay(std::make_unique<StatusRelay>())
{
    // No menu bar, no maximise button; the size is the program's to set.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    setWindowIcon(CAboutDlg::ProgramIcon());

    OpenTexts();
    setProperty(kInstanceProperty, static_cast<qlonglong>(::getpid()));
    setWindowTitle(QStringLiteral("QP-R60 Utility Ver." QPU_VERSION_TEXT));

    auto* about = new QAction(QStringLiteral("About QP-R60 Utility..."), this);
    about->setShortcut(QKeySequence::HelpContents);
    about->setShortcutContext(Qt::WindowShortcut);
    connect(about, &QAction::triggered, this, &CMainFrame::ShowAbout);
    addAction(about);

    BuildPanes();
    CenterOnScreen();
}

void CMainFrame::RestoreSize(const QSize& size)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize available = screen != nullptr ? screen->availableGeometry().size() : QSize();
    resize(mainwnd::FitWindowSize(size, minimumSize(), available));
    CenterOnScreen();
}

void CMainFrame::CenterOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

CMainFrame::~CMainFrame()
{
    if (m_statusProcRegistered)
        QpcCall(CommLib(), &CommLibTable::UnregisterStatusProc);
    // The relay goes before the child windows do.
    disconnect(m_statusViewGone);
    {
        const std::lock_guard<std::mutex> lock(m_statusRelay->mutex);
        m_statusRelay->view = nullptr;
    }
    delete m_progressDialog.data();
}

void CMainFrame::OpenTexts()
{
    if (m_state == nullptr)
        return;
    if (m_texts.Open(FixedText(m_state->languageFolder), m_state->languageId,
                     CLangResStore::kFallbackLangId) != CLangResStore::kNotFound) {
        m_texts.LoadSections(QString::fromLatin1(kWindowName));
    }
}

void CMainFrame::BuildPanes()
{
    m_outer = new CUtilSplitterWnd(Qt::Vertical, this);
    m_inner = new CUtilSplitterWnd(Qt::Horizontal, m_outer);
    m_menuView = new QWidget(m_inner);
    m_pagePane = new CUtilDummyView(m_inner);
    m_statusView = new CUtilDummyView(m_outer);
    m_inner->addWidget(m_menuView);
    m_inner->addWidget(m_pagePane);
    m_outer->addWidget(m_inner);
    m_outer->addWidget(m_statusView);
    // When the window grows the page pane and the upper row take the new room.
    m_inner->setStretchFactor(0, 0);
    m_inner->setStretchFactor(1, 1);
    m_outer->setStretchFactor(0, 1);
    m_outer->setStretchFactor(1, 0);
    setCentralWidget(m_outer);
    SetStatusView(m_statusView);

    const int barWidth = CUtilSplitterWnd::kBarWidth;
    m_outer->setSizes({height() - kStatusRowHeight - barWidth, kStatusRowHeight});
    m_inner->setSizes({1, width() - 1 - barWidth});
}

void CMainFrame::SetMenuView(QWidget* view, SelectedEntryFn selectedEntry)
{
    m_selectedEntry = std::move(selectedEntry);
    if (view == nullptr || view == m_menuView)
        return;
    QWidget* old = m_inner->replaceWidget(0, view);
    m_menuView = view;
    m_inner->setStretchFactor(0, 0);
    delete old;
    LayoutPanes();
}

void CMainFrame::SetStatusView(QWidget* view)
{
    if (view == nullptr)
        return;
    if (view != m_statusView) {
        QWidget* old = m_outer->replaceWidget(1, view);
        m_statusView = view;
        m_outer->setStretchFactor(1, 0);
        delete old;
    }
    if (auto* statusView = dynamic_cast<IFrameStatusView*>(view))
        statusView->SetPrinterJobQuery([this] { return m_progressRunning; });
    {
        const std::lock_guard<std::mutex> lock(m_statusRelay->mutex);
        m_statusRelay->view = view;
    }
    // Direct connection: the relay forgets the view before its posted messages are
    // dropped, and a post in progress finishes before it goes.
    StatusRelay* relay = m_statusRelay.get();
    disconnect(m_statusViewGone);
    m_statusViewGone = connect(
        view, &QObject::destroyed, this,
        [relay](QObject* gone) {
            const std::lock_guard<std::mutex> lock(relay->mutex);
            if (relay->view == gone)
                relay->view = nullptr;
        },
        Qt::DirectConnection);
    LayoutPanes();
}

void CMainFrame::CreateViews(std::unique_ptr<IStatusPrinterReader> reader)
{
    CUtilStatusView::Context statusContext;
    statusContext.appState = m_state;
    statusContext.mainWindow = this;
    SetStatusView(new CUtilStatusView(statusContext, std::move(reader)));
    if (m_state != nullptr) {
        AttachMenuView(new CUtilMenuView(
            CUtilMenuView::Context::FromAppState(*m_state, this, m_pagePane), nullptr));
    }
}

void CMainFrame::CreateViews()
{
    CreateViews(nullptr);
}

void CMainFrame::AttachMenuView(CUtilMenuView* menu)
{
    if (menu == nullptr)
        return;
    connect(menu, &CUtilMenuView::titleRead, this, &QWidget::setWindowTitle);
    connect(menu, &CUtilMenuView::entryListReady, this, [this](const MenuItemList* entries) {
        if (entries != nullptr)
            StartStatusMonitoring(*entries);
    });
    connect(menu, &CUtilMenuView::menuSizeKnown, this, [this](int width, int height) {
        SetMenuSize(width, height);
        LayoutPanes();
    });
    SetMenuView(menu, [menu] { return menu->SelectedEntry(); });
    if (m_viewsUpdated)
        menu->InitialUpdate(); // attached to a frame that is already up
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_viewsUpdated || event->spontaneous())
        return;
    m_viewsUpdated = true;
    if (auto* status = qobject_cast<CUtilStatusView*>(m_statusView);
        status != nullptr && !status->IsInitialized()) {
        status->InitialUpdate();
    }
    if (auto* menu = qobject_cast<CUtilMenuView*>(m_menuView))
        menu->InitialUpdate();
}

QWidget* CMainFrame::PagePane() const
{
    return m_pagePane;
}

void CMainFrame::SetMenuSize(int width, int height)
{
    m_menuWidth = width;
    m_menuHeight = height;
}

void CMainFrame::LayoutPanes()
{
    if (m_outer->count() < 2 || m_inner->count() < 2 || m_menuWidth <= 0 || m_menuHeight <= 0)
        return;
    const QRect client = rect();
    const int barWidth = CUtilSplitterWnd::kBarWidth;
    const int upper = std::max(1, std::abs(client.height() - kStatusRowHeight - barWidth));
    m_outer->setSizes({upper, kStatusRowHeight});
    const int pages = std::max(1, std::abs(client.width() - m_menuWidth - barWidth));
    m_inner->setSizes({m_menuWidth, pages});
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    LayoutPanes();
}

void CMainFrame::StartStatusMonitoring(const MenuItemList& entries)
{
    qpu::SendWindowMessage(m_statusView, QPU_WM_STATUS_REFRESH, 0, 0);
    if (auto* view = dynamic_cast<IFrameStatusView*>(m_statusView)) {
        view->SetEntryList(&entries);
        if (m_startupCommResult != 0) {
            view->ShowCurrentStatus();
        } else {
            view->StartWithPrinterReady();
        }
        view->SetCommLib(CommLib());
    }
    RegisterStatusProc();
}

CommLibTable* CMainFrame::CommLib() const
{
    return m_state != nullptr ? m_state->commLib : nullptr;
}

void CMainFrame::RegisterStatusProc()
{
    if (!IsCommLibBound(CommLib()))
        return;
    QpcCall(CommLib(), &CommLibTable::RegisterStatusProc, &CMainFrame::StatusCallback,
            static_cast<void*>(m_statusRelay.get()));
    m_statusProcRegistered = true;
}

int32_t CMainFrame::StatusCallback(int32_t status, void* context)
{
    auto* relay = static_cast<StatusRelay*>(context);
    if (relay == nullptr)
        return 0;
    const std::lock_guard<std::mutex> lock(relay->mutex);
    if (relay->view != nullptr) {
        qpu::PostWindowMessage(relay->view, QPU_WM_STATUS_CHANGED, status,
                               reinterpret_cast<intptr_t>(relay->view));
    }
    return 0;
}

bool CMainFrame::ListenForActivation(const QString& channelName)
{
    if (m_activation == nullptr) {
        m_activation = new platform::ActivationServer(this);
        connect(m_activation, &platform::ActivationServer::activationRequested, this,
                &CMainFrame::BringToFront);
    }
    return m_activation->isListening() || m_activation->listen(channelName);
}

void CMainFrame::BringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

CCommStateDlg* CMainFrame::CreateProgressDialog(QWidget* parent)
{
    if (m_progressRunning)
        return nullptr;
    delete m_progressDialog.data(); // created but never run
    auto* dialog = new CCommStateDlg(parent != nullptr ? parent : this);
    dialog->hide();
    QString caption = QString::fromLatin1(kProgressCaption);
    m_texts.GetString(kProgressCaptionNumber, caption);
    dialog->setWindowTitle(caption);
    m_progressDialog = dialog;
    // A job runner asks for the dialog and runs it (WM_USER+101) without returning to the
    // event loop in between. A dialog still not run when the loop comes back belongs to a
    // job that could not start: it is released.
    QTimer::singleShot(0, this, [this, created = QPointer<CCommStateDlg>(dialog)] {
        if (created && !m_progressRunning && m_progressDialog == created)
            delete created.data();
    });
    return dialog;
}

int CMainFrame::RunProgressDialog(const ProgressRequest* request, QWidget* window)
{
    if (m_progressDialog.isNull() || m_progressRunning)
        return -1;
    CCommStateDlg* dialog = m_progressDialog.data();
    if (request == nullptr || request->doneEvent == nullptr) {
        // Nothing would ever end the dialog.
        delete dialog;
        return -1;
    }
    m_progressRunning = true;
    QWidget* disabled = window != nullptr ? window : this;
    const QPointer<QWidget> guardDisabled(disabled);
    const bool wasEnabled = disabled->isEnabled();
    if (wasEnabled)
        disabled->setEnabled(false);

    const bool monitoring = m_statusView != nullptr && IsCommLibBound(CommLib());
    if (monitoring)
        QpcCall(CommLib(), &CommLibTable::UnregisterStatusProc);

    const int clip = request->animationKind == QPU_PROGRESS_ANIMATION_TWO_WAY
                         ? CCommStateDlg::kClipTwoWay
                         : CCommStateDlg::kClipOneWay;
    dialog->SetJob(request->doneEvent, request->progressEvent, clip, request->showDelayMs);
    QEventLoop loop;
    connect(dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    connect(dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    qpu::SendWindowMessage(dialog, QPU_WM_PROGRESS_102, 0, 0);
    dialog->setEnabled(true);
    const WaitCursor wait;
    loop.exec();
    delete m_progressDialog.data();

    if (monitoring) {
        QpcCall(CommLib(), &CommLibTable::Initialize);
        RegisterStatusProc();
    }
    if (wasEnabled && guardDisabled)
        guardDisabled->setEnabled(true);
    m_progressRunning = false;
    return 0;
}

bool CMainFrame::QueryClose()
{
    MenuItem* entry = m_selectedEntry ? m_selectedEntry() : nullptr;
    // An entry without a loaded plug-in has no page to keep: closing goes ahead.
    if (entry == nullptr || !entry->plugin.IsLoaded())
        return true;
    return entry->plugin.ChangeMenuState(QPU_MENU_STATE_LEAVE) == 0;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_progressRunning || !QueryClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

bool CMainFrame::event(QEvent* event)
{
    if (auto* message = qpu::WindowMessageEvent::From(event))
        return HandleWindowMessage(*message);
    return QMainWindow::event(event);
}

bool CMainFrame::HandleWindowMessage(qpu::WindowMessageEvent& message)
{
    switch (message.message()) {
    case QPU_WM_CREATE_PROGRESS:
        message.setResult(reinterpret_cast<intptr_t>(static_cast<QWidget*>(
            CreateProgressDialog(reinterpret_cast<QWidget*>(message.wParam())))));
        return true;
    case QPU_WM_RUN_PROGRESS:
        message.setResult(
            RunProgressDialog(reinterpret_cast<const ProgressRequest*>(message.wParam()),
                              reinterpret_cast<QWidget*>(message.lParam())));
        return true;
    case QPU_WM_STATUS_REFRESH:
    case QPU_WM_STATUS_CHANGED:
        qpu::PostWindowMessage(m_statusView, message.message(), message.wParam(), message.lParam());
        message.setResult(0);
        return true;
    case QPU_WM_STATUS_QUERY:
    case QPU_WM_STATUS_FRESH_READ:
    case QPU_WM_STATUS_END:
        qpu::SendWindowMessage(m_statusView, message.message(), message.wParam(), message.lParam());
        message.setResult(0);
        return true;
    case QPU_WM_CLOSE:
        close();
        message.setResult(0);
        return true;
    case QPU_WM_SYSCOMMAND:
        if ((message.wParam() & 0xFFF0) == QPU_SC_ABOUT) {
            ShowAbout();
            message.setResult(0);
            return true;
        }
        return false;
    default:
        return false;
    }
}
