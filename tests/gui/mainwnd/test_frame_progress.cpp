#include "frame_test_support.h"

#include "app/fixed_text.h"
#include "comm/comm_state_dlg.h"
#include "mainwnd/about_dlg.h"
#include "mainwnd/main_frame.h"
#include "pages/plugin_data_mgr.h"
#include "pages/printer_job_runner.h"
#include "platform/manual_reset_event.h"
#include "screenshots.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::unique_ptr<AppState> MakeState(CommLibTable* commLib, int languageId = 0x0409)
{
    auto state = std::make_unique<AppState>();
    state->languageId = languageId;
    state->commLib = commLib;
    SetFixedText(state->languageFolder,
                 QStringLiteral(QPU_SOURCE_DIR) + QStringLiteral("/data/program/LANG"));
    return state;
}

// The job runner's side of one job: asks the frame for the dialog (WM_USER+100), starts a
// worker that runs body and then sets the done event, and runs the dialog through the
// frame (WM_USER+101). whileRunning is called inside the modal loop.
struct Job
{
    platform::ManualResetEvent done;
    platform::ManualResetEvent progress;
    std::vector<intptr_t> answers;
    intptr_t runResult = 0;
    void* dialog = nullptr;

    void Run(CMainFrame& frame, QWidget* disable, std::function<void()> whileRunning,
             std::chrono::milliseconds jobTime = 600ms, std::vector<int> reports = {})
    {
        dialog =
            reinterpret_cast<void*>(qpu::SendWindowMessage(&frame, QPU_WM_CREATE_PROGRESS, 0, 0));
        ASSERT_NE(dialog, nullptr);
        std::thread worker([&, jobTime, reports] {
            std::this_thread::sleep_for(100ms);
            for (int value : reports) {
                answers.push_back(qpu::SendWindowMessage(dialog, QPU_WM_PROGRESS_103, value, 0));
                progress.set();
            }
            std::this_thread::sleep_for(jobTime);
            done.set();
        });
        ProgressRequest request{done.native(), progress.native(), QPU_PROGRESS_ANIMATION_TWO_WAY,
                                1};
        if (whileRunning)
            QTimer::singleShot(300, &frame, whileRunning);
        runResult = qpu::SendWindowMessage(&frame, QPU_WM_RUN_PROGRESS,
                                           reinterpret_cast<intptr_t>(&request),
                                           reinterpret_cast<intptr_t>(disable));
        worker.join();
    }
};

TEST(MainFrameProgress, RunWithoutCreatedDialogAnswersMinusOne)
{
    CMainFrame frame(nullptr);
    platform::ManualResetEvent done(true);
    ProgressRequest request{done.native(), nullptr, 2, 1};
    EXPECT_EQ(qpu::SendWindowMessage(&frame, QPU_WM_RUN_PROGRESS,
                                     reinterpret_cast<intptr_t>(&request), 0),
              -1);
}

TEST(MainFrameProgress, CreatedHiddenWithTheCaptionOfTheLanguage)
{
    auto english = MakeState(nullptr);
    CMainFrame frame(english.get());
    auto* dialog = reinterpret_cast<CCommStateDlg*>(
        qpu::SendWindowMessage(&frame, QPU_WM_CREATE_PROGRESS, 0, 0));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(frame.ProgressDialog(), dialog);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->parentWidget(), &frame);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Communicating with the printer"));

    auto german = MakeState(nullptr, 0x0407);
    CMainFrame germanFrame(german.get());
    QWidget owner;
    auto* germanDialog = reinterpret_cast<CCommStateDlg*>(qpu::SendWindowMessage(
        &germanFrame, QPU_WM_CREATE_PROGRESS, reinterpret_cast<intptr_t>(&owner), 0));
    ASSERT_NE(germanDialog, nullptr);
    EXPECT_EQ(germanDialog->parentWidget(), &owner);
    EXPECT_EQ(germanDialog->windowTitle(), QStringLiteral("Kommunikation mit dem Drucker"));

    // Without a language file the English text stays.
    CMainFrame bare(nullptr);
    EXPECT_EQ(bare.CreateProgressDialog(nullptr)->windowTitle(),
              QStringLiteral("Communicating with the printer"));
}

TEST(MainFrameProgress, JobRunsBehindTheDialogWithTheFrameDisabled)
{
    FakeCommLib lib;
    auto state = MakeState(&lib.table);
    CMainFrame frame(state.get());
    frame.show();
    MenuItemList entries;
    frame.StartStatusMonitoring(entries);

    bool frameEnabled = true;
    bool dialogEnabled = false;
    bool dialogShown = false;
    int clip = 0;
    void* secondDialog = reinterpret_cast<void*>(1);
    bool closedWhileRunning = true;
    bool waitCursor = false;
    Job job;
    job.Run(frame, nullptr,
            [&] {
                CCommStateDlg* dialog = frame.ProgressDialog();
                ASSERT_NE(dialog, nullptr);
                frameEnabled = frame.isEnabled();
                dialogEnabled = dialog->isEnabled();
                dialogShown = dialog->isVisible();
                clip = dialog->AnimationResource();
                waitCursor = QApplication::overrideCursor() != nullptr &&
                             QApplication::overrideCursor()->shape() == Qt::WaitCursor;
                secondDialog = reinterpret_cast<void*>(
                    qpu::SendWindowMessage(&frame, QPU_WM_CREATE_PROGRESS, 0, 0));
                closedWhileRunning = frame.close();
            },
            600ms, {20, 60, 40});

    EXPECT_EQ(job.runResult, 0);
    EXPECT_FALSE(frameEnabled);
    EXPECT_TRUE(dialogEnabled);
    EXPECT_TRUE(dialogShown);
    EXPECT_TRUE(waitCursor);
    EXPECT_EQ(clip, CCommStateDlg::kClipTwoWay);
    EXPECT_EQ(secondDialog, nullptr); // one job at a time
    EXPECT_FALSE(closedWhileRunning);
    EXPECT_EQ(job.answers, (std::vector<intptr_t>{0, 0, -1}));

    // Afterwards: dialog gone, frame usable, cursor back, status callback registered again.
    EXPECT_EQ(frame.ProgressDialog(), nullptr);
    EXPECT_TRUE(frame.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(FakeCommLib::order, "RUIR");
    EXPECT_NE(FakeCommLib::proc, nullptr);
}

TEST(MainFrameProgress, TheNamedWindowIsDisabledAndOnlyReEnabledIfItWasEnabled)
{
    CMainFrame frame(nullptr);
    QWidget page;
    page.show();
    bool pageEnabled = true;
    bool frameEnabled = false;
    Job job;
    job.Run(frame, &page, [&] {
        pageEnabled = page.isEnabled();
        frameEnabled = frame.isEnabled();
    });
    EXPECT_EQ(job.runResult, 0);
    EXPECT_FALSE(pageEnabled);
    EXPECT_TRUE(frameEnabled);
    EXPECT_TRUE(page.isEnabled());

    page.setEnabled(false);
    Job second;
    second.Run(frame, &page, {}, 50ms);
    EXPECT_FALSE(page.isEnabled());
}

TEST(MainFrameProgress, WithoutLibraryTheCallbackIsLeftAlone)
{
    FakeCommLib lib;
    CommLibTable unbound = lib.table;
    unbound.module = nullptr;
    auto state = MakeState(&unbound);
    CMainFrame frame(state.get());
    Job job;
    job.Run(frame, nullptr, {}, 50ms);
    EXPECT_EQ(job.runResult, 0);
    EXPECT_EQ(FakeCommLib::order, "");
}

TEST(MainFrameProgress, RequestWithoutDoneEventIsRefused)
{
    CMainFrame frame(nullptr);
    ASSERT_NE(frame.CreateProgressDialog(nullptr), nullptr);
    QPointer<CCommStateDlg> dialog = frame.ProgressDialog();
    platform::ManualResetEvent progress;
    ProgressRequest request{nullptr, progress.native(), 2, 1};
    EXPECT_EQ(frame.RunProgressDialog(&request, nullptr), -1);
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(frame.RunProgressDialog(nullptr, nullptr), -1);
    EXPECT_TRUE(frame.isEnabled());
}

// A job whose worker cannot start after the dialog was created (WM_USER+100) leaves no
// dialog behind in the frame, and the status view does not go on taking a job for running:
// the next usable status reads the printer again.
TEST(MainFrameProgress, JobThatCannotStartLeavesNoDialogAndNoRunningJob)
{
    struct UnstartableThread : JobThread
    {
        bool Create(Routine) override { return false; }
    };
    CMainFrame frame(nullptr);
    auto* view = new RecordingView;
    frame.SetStatusView(view);
    JobThreadRecord record;
    record.threadFactory = [] { return std::make_unique<UnstartableThread>(); };
    EXPECT_EQ(RunPrinterJob(&frame, nullptr, record, [] { return 1; }), kJobStartRefused);
    ASSERT_TRUE(view->jobRunning);
    EXPECT_FALSE(view->jobRunning());
    // Released once the job runner has returned to the event loop.
    QApplication::processEvents();
    EXPECT_EQ(frame.ProgressDialog(), nullptr);
    EXPECT_TRUE(frame.findChildren<CCommStateDlg*>().isEmpty());
}

TEST(MainFrameProgress, ShortJobNeverShowsTheDialog)
{
    CMainFrame frame(nullptr);
    platform::ManualResetEvent done;
    ASSERT_NE(frame.CreateProgressDialog(nullptr), nullptr);
    QPointer<CCommStateDlg> dialog = frame.ProgressDialog();
    bool everShown = false;
    QObject::connect(dialog.data(), &QDialog::finished, [&] { everShown = dialog->WasShown(); });
    std::thread worker([&] {
        std::this_thread::sleep_for(30ms);
        done.set();
    });
    ProgressRequest request{done.native(), nullptr, 1, 700};
    EXPECT_EQ(frame.RunProgressDialog(&request, nullptr), 0);
    worker.join();
    EXPECT_FALSE(everShown);
    EXPECT_TRUE(dialog.isNull());
}

// Pictures of the frame with the shipped menu and plug-ins of the staged program folder,
// and of the progress dialog over it, for people to look at.
TEST(MainFrameProgress, Screenshots)
{
    const QString dir = ScreenshotFolder();
    if (dir.isEmpty())
        GTEST_SKIP() << "QPU_SCREENSHOTS not set";
    auto state = MakeState(nullptr);
    const QString program = QStringLiteral(QPU_APP_DIR "/");
    SetFixedText(state->programFolder, program);
    SetFixedText(state->languageFolder, program + QStringLiteral("LANG"));
    PluginDataMgr dataMgr;
    state->dataMgr = &dataMgr;
    pthread_mutex_t appLock;
    ASSERT_EQ(qpu_app_lock_init(&appLock), 0);
    state->appLock = &appLock;
    {
        CMainFrame frame(state.get());
        frame.CreateViews();
        frame.show();
        QApplication::processEvents();
        frame.grab().save(dir + QStringLiteral("main_frame.png"));
        CAboutDlg about(&frame);
        about.show();
        QApplication::processEvents();
        about.grab().save(dir + QStringLiteral("about_dlg.png"));
        about.close();
        Job job;
        job.Run(frame, nullptr,
                [&] {
                    QTest::qWait(500);
                    frame.ProgressDialog()->grab().save(dir +
                                                        QStringLiteral("comm_state_dlg_149.png"));
                },
                900ms, {35});
    }
    qpu_app_lock_destroy(&appLock);
}

} // namespace
