#pragma once

#include "comm/comm_state_dlg.h"
#include "lang/lang_res_store.h"
#include "mainwnd/frame_status_view.h"
#include "mainwnd/menu_item.h"

#include <qpu/app_state.h>
#include <qpu/window_message.h>

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

class CUtilDummyView;
class CUtilMenuView;
class CUtilSplitterWnd;
class CUtilStatusView;
class IStatusPrinterReader;
namespace platform {
class ActivationServer;
}

// The program's one top-level window. Its client area is divided by two splitters that
// the user cannot drag into the menu pane (left), the page pane (right) and the status
// pane (bottom, 65 pixels). It relays the pages' requests for the progress dialog, sends
// the status messages on to the status view, and lets the selected menu entry's plug-in
// refuse closing.
//
// Window messages it handles (qpu/messages.h): WM_USER+100 creates the progress dialog,
// WM_USER+101 runs it, WM_USER+200 and +204 are posted on to the status view, WM_USER+201
// to +203 are sent on (answer 0), WM_SYSCOMMAND with the About command shows the About box.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr int kMinWidth = 796;
    static constexpr int kMinHeight = 523;
    static constexpr int kStatusRowHeight = 65;
    static constexpr char kWindowName[] = "MAIN_WINDOW";
    // The dynamic property that marks the utility's main window (value: the process id).
    static constexpr char kInstanceProperty[] = "QP-R60_UTILITY_QP-R60";

    // The entry whose page is shown, or null; asked on every close request.
    using SelectedEntryFn = std::function<MenuItem*()>;

    // state: the application's shared block (language, communication library); it must
    // outlive the frame. Null works without texts and without a library.
    explicit CMainFrame(AppState* state, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Puts view into the menu pane, replacing the one there (which is deleted); the frame
    // owns it. selectedEntry tells the close handling which entry is selected.
    void SetMenuView(QWidget* view, SelectedEntryFn selectedEntry);
    // Puts view into the status pane, replacing the placeholder; the frame owns it.
    void SetStatusView(QWidget* view);

    // Creates the program's views: the menu view in the menu pane and the status view
    // (with the printer setting page behind reader, which may be null) in the status pane.
    // Their initial updates run when the frame is first shown, the status view's first.
    void CreateViews(std::unique_ptr<IStatusPrinterReader> reader);
    // The same without the printer setting page: the status view shows the status only.
    void CreateViews();
    // Puts menu into the menu pane and connects it: its title becomes the window title,
    // its entry list starts the status monitoring, its size lays out the panes, and its
    // selected entry is asked on closing.
    void AttachMenuView(CUtilMenuView* menu);

    QWidget* MenuView() const { return m_menuView; }
    // The page pane: the parent area of the plug-ins' pages.
    QWidget* PagePane() const;
    QWidget* StatusView() const { return m_statusView; }
    CUtilSplitterWnd* OuterSplitter() const { return m_outer; }
    CUtilSplitterWnd* InnerSplitter() const { return m_inner; }

    // Takes the size the window had in an earlier run, kept within the minimum size and
    // the screen, and centres the window on the screen.
    void RestoreSize(const QSize& size);

    // The size that the menu list needs, set by the menu view before it calls LayoutPanes.
    void SetMenuSize(int width, int height);
    int MenuWidth() const { return m_menuWidth; }
    int MenuHeight() const { return m_menuHeight; }
    // Sizes the panes: the status row 65 pixels high along the bottom, the menu pane as
    // wide as the menu needs, the page pane the rest. Does nothing until the menu size is
    // known.
    void LayoutPanes();

    // The result of the printer check at start-up (0: the printer answered).
    void SetStartupCommResult(int32_t result) { m_startupCommResult = result; }
    // Refreshes the status view, hands it the entry list, starts it as the start-up result
    // says and registers the status callback with the communication library.
    void StartStatusMonitoring(const MenuItemList& entries);

    // Opens the channel through which a second copy of the program brings this window to
    // the front. False when another copy listens on it.
    bool ListenForActivation(const QString& channelName);

    // The status procedure registered with the communication library. Runs on the
    // library's thread and only posts WM_USER+204 (wParam status, lParam the view) to the
    // status view, if it still exists. context is the frame's status relay.
    static int32_t StatusCallback(int32_t status, void* context);

    // WM_USER+100: creates the progress dialog hidden, as a child of parent (null: the
    // frame); returns it, or null while another one runs. A dialog that is not run before
    // the event loop comes back (its job could not start) is released then.
    CCommStateDlg* CreateProgressDialog(QWidget* parent);
    // WM_USER+101: runs the created dialog modally for the request, with window (null: the
    // frame) disabled meanwhile; 0, or -1 when no dialog was created or the request has no
    // done event.
    int RunProgressDialog(const ProgressRequest* request, QWidget* window);
    CCommStateDlg* ProgressDialog() const { return m_progressDialog; }

    // Whether closing is allowed now: asks the selected entry's plug-in, if loaded.
    bool QueryClose();

public slots:
    void ShowAbout();
    void BringToFront();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct StatusRelay;

    void OpenTexts();
    void BuildPanes();
    void CenterOnScreen();
    bool HandleWindowMessage(qpu::WindowMessageEvent& message);
    CommLibTable* CommLib() const;
    void RegisterStatusProc();

    AppState* m_state = nullptr;
    CLangResStore m_texts;
    CUtilSplitterWnd* m_outer = nullptr; // central widget
    CUtilSplitterWnd* m_inner = nullptr; // row 0 of the outer splitter
    QWidget* m_menuView = nullptr;
    CUtilDummyView* m_pagePane = nullptr;
    QWidget* m_statusView = nullptr;
    SelectedEntryFn m_selectedEntry;
    QPointer<CCommStateDlg> m_progressDialog;
    bool m_progressRunning = false;
    bool m_viewsUpdated = false; // the views' initial updates ran
    int m_menuWidth = 0;
    int m_menuHeight = 0;
    int32_t m_startupCommResult = 0;
    bool m_statusProcRegistered = false;
    std::unique_ptr<StatusRelay> m_statusRelay;
    QMetaObject::Connection m_statusViewGone;           // clears the relay when the view goes
    platform::ActivationServer* m_activation = nullptr; // child
};
