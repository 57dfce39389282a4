#include "frame_test_support.h"

#include "app/fixed_text.h"
#include "mainwnd/about_dlg.h"
#include "mainwnd/main_frame.h"
#include "mainwnd/util_dummy_view.h"
#include "mainwnd/util_menu_view.h"
#include "mainwnd/util_splitter_wnd.h"
#include "mainwnd/util_status_view.h"
#include "platform/activation_channel.h"
#include "platform/manual_reset_event.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSplitterHandle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <dlfcn.h>
#include <unistd.h>

#include <future>
#include <thread>

namespace {

std::unique_ptr<AppState> MakeState(CommLibTable* commLib = nullptr)
{
    auto state = std::make_unique<AppState>();
    state->languageId = 0x0409;
    state->commLib = commLib;
    return state;
}

// A shown frame of the given client size with a recording status view and a menu size.
struct FrameFixture
{
    explicit FrameFixture(CommLibTable* commLib = nullptr) : state(MakeState(commLib))
    {
        frame = std::make_unique<CMainFrame>(state.get());
        view = new RecordingView;
        frame->SetStatusView(view);
    }
    void Show(QSize size)
    {
        frame->resize(size);
        frame->show();
        QApplication::processEvents();
    }

    std::unique_ptr<AppState> state;
    std::unique_ptr<CMainFrame> frame;
    RecordingView* view = nullptr;
};

QRect InFrame(const CMainFrame& frame, const QWidget* pane)
{
    return QRect(pane->mapTo(&frame, QPoint(0, 0)), pane->size());
}

// --- Size, flags and title -------------------------------------------------------------

TEST(MainFrameWindow, MinimumSizeFlagsTitleAndMarker)
{
    CMainFrame frame(nullptr);
    EXPECT_EQ(frame.minimumSize(), QSize(796, 523));
    EXPECT_EQ(frame.size(), QSize(796, 523));
    frame.show();
    frame.resize(400, 300);
    QApplication::processEvents();
    EXPECT_GE(frame.width(), 796);
    EXPECT_GE(frame.height(), 523);

    const Qt::WindowFlags flags = frame.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("QP-R60 Utility Ver.1.40"));
    EXPECT_EQ(frame.property(CMainFrame::kInstanceProperty).toLongLong(), ::getpid());
    EXPECT_EQ(frame.menuWidget(), nullptr);
}

// --- Panes -----------------------------------------------------------------------------

TEST(MainFramePanes, StatusRowIs65PixelsAndMenuPaneAsWideAsTheMenu)
{
    FrameFixture f;
    f.frame->SetMenuSize(180, 300);
    f.Show(QSize(900, 600));
    f.frame->LayoutPanes();
    QApplication::processEvents();

    const QRect status = InFrame(*f.frame, f.frame->StatusView());
    EXPECT_EQ(status.height(), CMainFrame::kStatusRowHeight);
    EXPECT_EQ(status.bottom(), 599);
    EXPECT_EQ(status.width(), 900);

    const QRect menu = InFrame(*f.frame, f.frame->MenuView());
    const QRect page = InFrame(*f.frame, f.frame->PagePane());
    EXPECT_EQ(menu.topLeft(), QPoint(0, 0));
    EXPECT_EQ(menu.width(), 180);
    EXPECT_EQ(menu.height(), 600 - 67);
    EXPECT_EQ(page.left(), 180 + CUtilSplitterWnd::kBarWidth);
    EXPECT_EQ(page.right(), 899);
    EXPECT_EQ(page.height(), 600 - 67);
}

TEST(MainFramePanes, EveryResizeKeepsTheLayout)
{
    FrameFixture f;
    f.frame->SetMenuSize(210, 400);
    f.Show(QSize(800, 530));
    for (const QSize size : {QSize(1024, 768), QSize(850, 540), QSize(1200, 900)}) {
        f.frame->resize(size);
        QApplication::processEvents();
        EXPECT_EQ(f.frame->StatusView()->height(), 65) << size.width();
        EXPECT_EQ(InFrame(*f.frame, f.frame->StatusView()).bottom(), size.height() - 1);
        EXPECT_EQ(f.frame->MenuView()->width(), 210) << size.width();
        EXPECT_EQ(f.frame->PagePane()->width(), size.width() - 212) << size.width();
    }
}

TEST(MainFramePanes, LayoutWaitsForTheMenuSize)
{
    FrameFixture f;
    f.Show(QSize(900, 600));
    const QList<int> before = f.frame->InnerSplitter()->sizes();
    f.frame->SetMenuSize(0, 300);
    f.frame->LayoutPanes();
    EXPECT_EQ(f.frame->InnerSplitter()->sizes(), before);
    f.frame->SetMenuSize(150, 0);
    f.frame->LayoutPanes();
    EXPECT_EQ(f.frame->InnerSplitter()->sizes(), before);
    // Even before the menu is known, the status row has its height.
    EXPECT_EQ(f.frame->StatusView()->height(), 65);
}

TEST(MainFramePanes, MenuViewReplacesThePlaceholderAndIsOwned)
{
    FrameFixture f;
    f.frame->SetMenuSize(160, 300);
    f.Show(QSize(900, 600));
    QPointer<QWidget> placeholder = f.frame->MenuView();
    auto* menu = new QWidget;
    f.frame->SetMenuView(menu, {});
    QApplication::processEvents();
    EXPECT_TRUE(placeholder.isNull());
    EXPECT_EQ(f.frame->MenuView(), menu);
    EXPECT_EQ(menu->width(), 160);
    QPointer<QWidget> guard(menu);
    f.frame.reset();
    EXPECT_TRUE(guard.isNull());
}

// --- Splitter bars ---------------------------------------------------------------------

TEST(UtilSplitter, BarsCannotBeDraggedAndShowNoResizeCursor)
{
    FrameFixture f;
    f.frame->SetMenuSize(180, 300);
    f.Show(QSize(900, 600));
    for (CUtilSplitterWnd* splitter : {f.frame->OuterSplitter(), f.frame->InnerSplitter()}) {
        QSplitterHandle* bar = splitter->handle(1);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);
        const QList<int> before = splitter->sizes();
        const QPoint middle = bar->rect().center();
        QTest::mousePress(bar, Qt::LeftButton, {}, middle);
        QTest::mouseMove(bar, middle + QPoint(40, 40));
        QMouseEvent move(QEvent::MouseMove, QPointF(middle + QPoint(60, 60)),
                         bar->mapToGlobal(QPointF(middle + QPoint(60, 60))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, middle + QPoint(60, 60));
        QApplication::processEvents();
        EXPECT_EQ(splitter->sizes(), before);
    }
}

TEST(UtilSplitter, BarIsAnOutlineInTheWindowFaceColour)
{
    CUtilSplitterWnd splitter(Qt::Horizontal);
    auto* left = new QWidget;
    auto* right = new QWidget;
    splitter.addWidget(left);
    splitter.addWidget(right);
    splitter.resize(200, 100);
    splitter.show();
    QApplication::processEvents();
    QSplitterHandle* bar = splitter.handle(1);
    const QRect barRect = bar->contentsRect();
    EXPECT_EQ(barRect.width(), CUtilSplitterWnd::kBarWidth);
    EXPECT_EQ(left->width() + barRect.width() + right->width(), 200);
    const QImage image = bar->grab().toImage();
    ASSERT_FALSE(image.isNull());
    for (const QPoint p : {barRect.topLeft(), barRect.bottomRight(), QPoint(barRect.left(), 50),
                           QPoint(barRect.right(), 50)}) {
        EXPECT_EQ(image.pixel(p) & 0xFFFFFF, CUtilSplitterWnd::kBarColor) << p.x() << "," << p.y();
    }
}

// --- Placeholder view ------------------------------------------------------------------

TEST(UtilDummyView, EveryDescendantReceivesTheNewSize)
{
    FrameFixture f;
    f.frame->SetMenuSize(200, 300);
    f.Show(QSize(900, 600));
    auto* page = new RecordingView(f.frame->PagePane());
    auto* inner = new RecordingView(page);
    f.frame->resize(1000, 700);
    QApplication::processEvents();
    const QSize expected = f.frame->PagePane()->size();
    EXPECT_EQ(expected, QSize(1000 - 202, 700 - 67));
    for (RecordingView* view : {page, inner}) {
        ASSERT_FALSE(view->sizesReceived.empty());
        EXPECT_EQ(view->sizesReceived.back(), expected);
        EXPECT_EQ(view->received.back().wParam, QPU_SIZE_RESTORED);
    }
}

// --- Window messages to the status view ------------------------------------------------

TEST(MainFrameMessages, RefreshIsPostedOnAndQueriesAreSentOn)
{
    FrameFixture f;
    EXPECT_EQ(qpu::SendWindowMessage(f.frame.get(), QPU_WM_STATUS_REFRESH, 5, 6), 0);
    EXPECT_TRUE(f.view->received.empty()); // posted: not there yet
    QApplication::processEvents();
    ASSERT_EQ(f.view->received.size(), 1u);
    EXPECT_EQ(f.view->received[0].message, QPU_WM_STATUS_REFRESH);
    EXPECT_EQ(f.view->received[0].wParam, 5);
    EXPECT_EQ(f.view->received[0].lParam, 6);

    int32_t state = 0;
    for (int message : {QPU_WM_STATUS_QUERY, QPU_WM_STATUS_FRESH_READ, QPU_WM_STATUS_END}) {
        f.view->received.clear();
        // The view answers 77; the frame drops the answer.
        EXPECT_EQ(
            qpu::SendWindowMessage(f.frame.get(), message, reinterpret_cast<intptr_t>(&state), 9),
            0);
        ASSERT_EQ(f.view->received.size(), 1u) << message; // sent: there at once
        EXPECT_EQ(f.view->received[0].message, message);
        EXPECT_EQ(f.view->received[0].wParam, reinterpret_cast<intptr_t>(&state));
        EXPECT_EQ(f.view->received[0].lParam, 9);
    }
}

TEST(MainFrameMessages, QueryFromAWorkerThreadBlocksUntilTheViewHandledIt)
{
    FrameFixture f;
    auto answer = std::async(std::launch::async, [&] {
        return qpu::SendWindowMessage(f.frame.get(), QPU_WM_STATUS_QUERY, 1, 2);
    });
    // The worker cannot get its answer before the main thread handles the message.
    EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    while (answer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(answer.get(), 0);
    ASSERT_EQ(f.view->received.size(), 1u);
    EXPECT_EQ(f.view->received[0].thread, QThread::currentThread());
}

TEST(MainFrameMessages, MessagesToAWindowThatIsGoneAreDropped)
{
    auto* view = new RecordingView;
    EXPECT_TRUE(qpu::PostWindowMessage(view, QPU_WM_STATUS_REFRESH, 0, 0));
    delete view;
    QApplication::processEvents(); // nothing delivered to the deleted view
    EXPECT_FALSE(qpu::PostWindowMessage(nullptr, QPU_WM_STATUS_REFRESH, 0, 0));
}

TEST(MainFrameMessages, SenderIsReleasedWhenTheWindowGoesBeforeItsMessage)
{
    auto* view = new RecordingView;
    auto answer = std::async(std::launch::async, [view] {
        return qpu::SendWindowMessage(view, QPU_WM_STATUS_QUERY, 1, 2);
    });
    EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    delete view; // the queued message goes with the window
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(answer.get(), 0);
}

TEST(MainFrameStatus, MonitoringRefreshesHandsOverTheListAndRegistersTheCallback)
{
    FakeCommLib lib;
    FrameFixture f(&lib.table);
    MenuItemList entries;
    f.frame->SetStartupCommResult(0);
    f.frame->StartStatusMonitoring(entries);
    ASSERT_FALSE(f.view->received.empty());
    EXPECT_EQ(f.view->received[0].message, QPU_WM_STATUS_REFRESH);
    EXPECT_EQ(f.view->calls,
              (std::vector<std::string>{"SetEntryList", "StartWithPrinterReady", "SetCommLib"}));
    EXPECT_EQ(f.view->entries, &entries);
    EXPECT_EQ(f.view->commLib, &lib.table);
    EXPECT_EQ(FakeCommLib::registerCalls, 1);
    EXPECT_NE(FakeCommLib::proc, nullptr);

    FrameFixture silent(&lib.table);
    silent.frame->SetStartupCommResult(-67);
    silent.frame->StartStatusMonitoring(entries);
    EXPECT_EQ(silent.view->calls[1], "ShowCurrentStatus");

    // Closing the frame takes the callback back from the library.
    f.frame.reset();
    silent.frame.reset();
    EXPECT_EQ(FakeCommLib::unregisterCalls, 2);
}

// A job runs while its dialog runs; a dialog that was created but never run (its job could
// not start) is no running job.
TEST(MainFrameStatus, StatusViewLearnsWhileTheProgressDialogRuns)
{
    FrameFixture f;
    ASSERT_TRUE(f.view->jobRunning);
    EXPECT_FALSE(f.view->jobRunning());
    ASSERT_NE(f.frame->CreateProgressDialog(nullptr), nullptr);
    EXPECT_FALSE(f.view->jobRunning());
    platform::ManualResetEvent done;
    bool runningInside = false;
    QTimer::singleShot(50, f.frame.get(), [&] {
        runningInside = f.view->jobRunning();
        done.set();
    });
    ProgressRequest request{done.native(), nullptr, QPU_PROGRESS_ANIMATION_TWO_WAY, 1};
    EXPECT_EQ(f.frame->RunProgressDialog(&request, nullptr), 0);
    EXPECT_TRUE(runningInside);
    EXPECT_FALSE(f.view->jobRunning());
}

TEST(MainFrameStatus, NoLibraryNoRegistration)
{
    CommLibTable unbound{};
    unbound.RegisterStatusProc = [](QPC_StatusProc, void*) -> int32_t {
        ADD_FAILURE() << "registered with an unbound library";
        return 0;
    };
    FrameFixture f(&unbound);
    MenuItemList entries;
    f.frame->StartStatusMonitoring(entries);
    EXPECT_EQ(f.view->calls.size(), 3u);
}

TEST(MainFrameStatus, CallbackFromTheLibraryThreadOnlyPostsToTheView)
{
    FakeCommLib lib;
    FrameFixture f(&lib.table);
    MenuItemList entries;
    f.frame->StartStatusMonitoring(entries);
    f.view->received.clear();
    ASSERT_NE(FakeCommLib::proc, nullptr);

    std::thread library([] {
        for (int32_t status : {1, 7, 100})
            FakeCommLib::proc(status, FakeCommLib::context);
    });
    library.join();
    EXPECT_TRUE(f.view->received.empty()); // posted, handled on the main thread
    QApplication::processEvents();
    ASSERT_EQ(f.view->received.size(), 3u);
    const std::vector<intptr_t> statuses{1, 7, 100};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(f.view->received[i].message, QPU_WM_STATUS_CHANGED);
        EXPECT_EQ(f.view->received[i].wParam, statuses[i]);
        EXPECT_EQ(f.view->received[i].lParam, reinterpret_cast<intptr_t>(f.view));
        EXPECT_EQ(f.view->received[i].thread, QThread::currentThread());
    }
}

TEST(MainFrameStatus, CallbackAfterTheViewWasReplacedPostsNothing)
{
    FakeCommLib lib;
    FrameFixture f(&lib.table);
    MenuItemList entries;
    f.frame->StartStatusMonitoring(entries);
    QPC_StatusProc proc = FakeCommLib::proc;
    void* context = FakeCommLib::context;
    auto* next = new RecordingView;
    f.frame->SetStatusView(next); // deletes the recording view
    std::thread([&] { proc(3, context); }).join();
    QApplication::processEvents();
    ASSERT_EQ(next->received.size(), 1u);
    EXPECT_EQ(next->received[0].lParam, reinterpret_cast<intptr_t>(next));

    // A view destroyed by someone else is forgotten too.
    delete next;
    std::thread([&] { proc(4, context); }).join();
    QApplication::processEvents();
}

TEST(MainFrameStatus, PostedStatusMessageToTheFrameReachesTheView)
{
    FrameFixture f;
    qpu::PostWindowMessage(f.frame.get(), QPU_WM_STATUS_CHANGED, 12, 0);
    QApplication::processEvents();
    QApplication::processEvents();
    ASSERT_EQ(f.view->received.size(), 1u);
    EXPECT_EQ(f.view->received[0].message, QPU_WM_STATUS_CHANGED);
    EXPECT_EQ(f.view->received[0].wParam, 12);
}

// --- Closing ---------------------------------------------------------------------------

class FakePlugin
{
public:
    FakePlugin()
    {
#ifdef FAKE_PLUGIN_PATH
        const QString path = QStringLiteral(FAKE_PLUGIN_PATH);
        m_loaded = entry.plugin.LoadPlugin(path) == 0;
        if (m_loaded) {
            m_handle = ::dlopen(FAKE_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
            m_setResult = reinterpret_cast<void (*)(int32_t)>(
                ::dlsym(m_handle, "FakePlugin_SetChangeMenuStateResult"));
            m_lastState = reinterpret_cast<int32_t (*)()>(
                ::dlsym(m_handle, "FakePlugin_LastChangeMenuState"));
        }
#endif
    }
    ~FakePlugin()
    {
        if (m_handle != nullptr)
            ::dlclose(m_handle);
    }
    bool Ready() const
    {
        return m_loaded && m_setResult && m_lastState;
    }
    void AnswerLeave(int32_t result)
    {
        m_setResult(result);
    }
    int32_t LastState()
    {
        return m_lastState();
    }

    MenuItem entry;

private:
    bool m_loaded = false;
    void* m_handle = nullptr;
    void (*m_setResult)(int32_t) = nullptr;
    int32_t (*m_lastState)() = nullptr;
};

TEST(MainFrameClose, SelectedPluginCanRefuseAndThenAllow)
{
    FakePlugin plugin;
    ASSERT_TRUE(plugin.Ready());
    FrameFixture f;
    f.frame->SetMenuView(new QWidget, [&] { return &plugin.entry; });
    f.Show(QSize(800, 530));

    plugin.AnswerLeave(QPU_MENU_STATE_REFUSE);
    EXPECT_FALSE(f.frame->close());
    EXPECT_TRUE(f.frame->isVisible());
    EXPECT_EQ(plugin.LastState(), QPU_MENU_STATE_LEAVE);

    plugin.AnswerLeave(0);
    EXPECT_TRUE(f.frame->close());
    EXPECT_FALSE(f.frame->isVisible());
}

TEST(MainFrameClose, AnyNonZeroAnswerRefuses)
{
    FakePlugin plugin;
    ASSERT_TRUE(plugin.Ready());
    FrameFixture f;
    f.frame->SetMenuView(new QWidget, [&] { return &plugin.entry; });
    f.Show(QSize(800, 530));
    plugin.AnswerLeave(1);
    EXPECT_FALSE(f.frame->close());
    plugin.AnswerLeave(0);
}

TEST(MainFrameClose, EntryWithoutLoadedPluginOrNoSelectionCloses)
{
    MenuItem caption; // no plug-in
    FrameFixture f;
    f.frame->SetMenuView(new QWidget, [&] { return &caption; });
    f.Show(QSize(800, 530));
    EXPECT_TRUE(f.frame->close());

    FrameFixture g;
    g.frame->SetMenuView(new QWidget, [] { return static_cast<MenuItem*>(nullptr); });
    g.Show(QSize(800, 530));
    EXPECT_TRUE(g.frame->close());

    FrameFixture h; // no menu view at all
    h.Show(QSize(800, 530));
    EXPECT_TRUE(h.frame->close());
}

TEST(MainFrameClose, PostedCloseGoesThroughTheSameVeto)
{
    FakePlugin plugin;
    ASSERT_TRUE(plugin.Ready());
    FrameFixture f;
    f.frame->SetMenuView(new QWidget, [&] { return &plugin.entry; });
    f.Show(QSize(800, 530));
    plugin.AnswerLeave(QPU_MENU_STATE_REFUSE);
    qpu::PostWindowMessage(f.frame.get(), QPU_WM_CLOSE, 0, 0);
    QApplication::processEvents();
    EXPECT_TRUE(f.frame->isVisible());
    plugin.AnswerLeave(0);
    qpu::PostWindowMessage(f.frame.get(), QPU_WM_CLOSE, 0, 0);
    QApplication::processEvents();
    EXPECT_FALSE(f.frame->isVisible());
}

// --- About box and activation ------------------------------------------------------------

TEST(MainFrameAbout, AboutCommandShowsTheVersionInformation)
{
    FrameFixture f;
    f.Show(QSize(800, 530));
    QString title;
    QStringList texts;
    QTimer::singleShot(50, [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        title = about->windowTitle();
        for (QLabel* label : about->findChildren<QLabel*>())
            texts << label->text();
        about->accept();
    });
    EXPECT_EQ(qpu::SendWindowMessage(f.frame.get(), QPU_WM_SYSCOMMAND, QPU_SC_ABOUT, 0), 0);
    EXPECT_EQ(title, QStringLiteral("Version Information"));
    EXPECT_TRUE(texts.contains(QStringLiteral("QP-R60 Utility")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Ver.1.40")));
    // Other system commands are not the frame's.
    EXPECT_EQ(qpu::SendWindowMessage(f.frame.get(), QPU_WM_SYSCOMMAND, 0xF060, 0), 0);
}

TEST(MainFrameActivation, SecondCopyReachesTheFrame)
{
    FrameFixture f;
    f.Show(QSize(800, 530));
    const QString channel = QStringLiteral("qpu-frame-test-%1").arg(::getpid());
    ASSERT_TRUE(f.frame->ListenForActivation(channel));
    auto confirmed =
        std::async(std::launch::async, [&] { return platform::RequestActivation(channel, 3000); });
    while (confirmed.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(confirmed.get());
}

} // namespace

// --- The program's views in the panes ----------------------------------------------------

namespace {

#ifdef FAKE_PLUGIN_PATH
TEST(MainFrameViews, MenuAndStatusViewsFillThePanesAndTheMenuDecidesClosing)
{
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    QFile menuFile(program.filePath(QStringLiteral("MENUITEM.DAT")));
    ASSERT_TRUE(menuFile.open(QIODevice::WriteOnly));
    menuFile.write("[APP_SETTING]\nTITLE=Frame Test\nTITLE_ADD_VERSION=1\n\n"
                   "[MENUITEM_1]\nITEMID=1\nPARENTITEMID=0\nSELECTING=0\nSTRING=Settings_1\n\n"
                   "[MENUITEM_2]\nITEMID=2\nPARENTITEMID=1\nSELECTING=1\nSTRING=Page_2\n"
                   "USE_DLL_NAME=" FAKE_PLUGIN_PATH "\n");
    menuFile.close();

    auto state = std::make_unique<AppState>();
    state->languageId = 0x0409;
    SetFixedText(state->programFolder, program.path() + QLatin1Char('/'));
    SetFixedText(state->languageFolder,
                 QStringLiteral(QPU_SOURCE_DIR) + QStringLiteral("/data/program/LANG"));
    CMainFrame frame(state.get());
    frame.CreateViews();
    ASSERT_NE(qobject_cast<CUtilMenuView*>(frame.MenuView()), nullptr);
    ASSERT_NE(qobject_cast<CUtilStatusView*>(frame.StatusView()), nullptr);
    frame.resize(900, 600);
    frame.show();
    QApplication::processEvents();

    auto* menu = qobject_cast<CUtilMenuView*>(frame.MenuView());
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Frame Test Ver.1.40"));
    ASSERT_EQ(menu->Entries().size(), 2u);
    EXPECT_GT(frame.MenuWidth(), 0);
    EXPECT_EQ(menu->width(), frame.MenuWidth());
    EXPECT_EQ(frame.StatusView()->height(), 65);
    EXPECT_EQ(menu->SelectedRow(), 1);

    FakePlugin plugin; // the same library the menu loaded
    ASSERT_TRUE(plugin.Ready());
    plugin.AnswerLeave(QPU_MENU_STATE_REFUSE);
    EXPECT_FALSE(frame.close());
    plugin.AnswerLeave(0);
    EXPECT_TRUE(frame.close());
}
#endif

} // namespace
