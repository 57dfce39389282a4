// The job runner of the common page: refusals and their codes, AppLock, the worker thread
// and its priority, progress reports and message boxes from the worker.
#include "pagebase_test_support.h"

#include "pages/common_form_view.h"
#include "pages/form_view_ctrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>

using namespace pagebase_test;

namespace {

// A controller with one plain page.
class OnePageCtrl : public CFormViewCtrl
{
public:
    void CreatePages() override { AddPage(std::make_unique<CCommonFormView>()); }
};

class JobRunner : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app.WriteLanguageFile(QStringLiteral("0409.DAT"), EnglishLanguageFile());
        ASSERT_EQ(ctrl.Initialize(app.state.get(), &frame, &frame), 0);
        page = ctrl.CurrentPage();
        ASSERT_NE(page, nullptr);
    }

    // Whether AppLock is free for another thread right now.
    bool LockFreeForOthers()
    {
        return OnOtherThread([this] {
            if (!app.lock.try_lock())
                return false;
            app.lock.unlock();
            return true;
        });
    }

    AppFixture app;
    FakeFrame frame;
    OnePageCtrl ctrl;
    CCommonFormView* page = nullptr;
};

TEST_F(JobRunner, RunsTheRoutineOnABackgroundWorkerAndAnswersItsResult)
{
    std::atomic<bool> onUiThread{true};
    std::atomic<bool> lockHeld{false};
    std::atomic<pid_t> tid{0};
    std::atomic<int> nice{-100};
    const int result = page->RunPrinterJob([&](CCommonFormView& self) {
        EXPECT_EQ(&self, page);
        onUiThread = QThread::currentThread() == qApp->thread();
        tid = ::gettid();
        nice = ::getpriority(PRIO_PROCESS, 0);
        lockHeld = !LockFreeForOthers();
        return 1234;
    });
    EXPECT_EQ(result, 1234);
    EXPECT_FALSE(onUiThread.load());
    EXPECT_NE(tid.load(), ::gettid());
    EXPECT_EQ(nice.load(), std::min(::getpriority(PRIO_PROCESS, 0) + 2, 19));
    EXPECT_TRUE(lockHeld.load());
    EXPECT_TRUE(LockFreeForOthers()); // left after the job
    EXPECT_EQ(frame.stateQueries, 1);
    EXPECT_EQ(frame.startRequests, 1);
    EXPECT_TRUE(frame.doneWhenDialogEnded);
    EXPECT_EQ(frame.lastRequest.animationKind, 2);
    EXPECT_EQ(frame.lastRequest.showDelayMs, 1);
    EXPECT_NE(frame.lastRequest.progressEvent, nullptr);
    EXPECT_EQ(page->ProgressWindow(), nullptr); // cleared after the job
}

TEST_F(JobRunner, ProgressGoesToTheProgressWindowThenSetsTheEvent)
{
    page->RunPrinterJob([](CCommonFormView& self) {
        for (const int value : {0, 10, 50, 30, 100}) {
            self.ReportProgress(value);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return 1;
    });
    EXPECT_EQ(frame.reported, (std::vector<int>{0, 10, 50, 30, 100}));
    ASSERT_TRUE(frame.progress);
    EXPECT_TRUE(frame.progress->allOnOwnThread); // sent, handled by the dialog's thread
    EXPECT_GE(frame.progressSignals, 1);
    // Outside a job a report goes nowhere.
    page->ReportProgress(5);
    EXPECT_EQ(frame.progress->values.size(), 5u);
}

TEST_F(JobRunner, OfflineOrUnknownStateRefusesWithoutTakingTheLock)
{
    for (const int32_t state : {1, 16, -1}) {
        frame.state = state;
        bool ran = false;
        EXPECT_EQ(page->RunPrinterJob([&](CCommonFormView&) {
            ran = true;
            return 1;
        }),
                  -64)
            << state;
        EXPECT_FALSE(ran);
    }
    EXPECT_EQ(frame.startRequests, 0); // nothing after the state query
    frame.state = 2;                   // any other state lets the job run
    EXPECT_EQ(page->RunPrinterJob([](CCommonFormView&) { return 5; }), 5);
}

TEST_F(JobRunner, RefusedStateNeverWaitsForAppLock)
{
    // Another thread holds AppLock for up to two seconds: a refused job must answer at
    // once, not wait for the lock.
    std::atomic<bool> release{false};
    std::thread holder([&] {
        app.lock.lock();
        const auto start = std::chrono::steady_clock::now();
        while (!release && std::chrono::steady_clock::now() - start < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        app.lock.unlock();
    });
    while (LockFreeForOthers())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    frame.state = 16;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(page->RunPrinterJob([](CCommonFormView&) { return 1; }), -64);
    EXPECT_LT(timer.elapsed(), 1500);
    release = true;
    holder.join();
}

TEST_F(JobRunner, RefusedStartLeavesTheLock)
{
    frame.refuseStart = true;
    bool ran = false;
    EXPECT_EQ(page->RunPrinterJob([&](CCommonFormView&) {
        ran = true;
        return 1;
    }),
              -25);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(LockFreeForOthers());
}

TEST_F(JobRunner, NoMainWindowIsRefused)
{
    OnePageCtrl lonely;
    ASSERT_EQ(lonely.Initialize(app.state.get(), nullptr, nullptr), 0);
    EXPECT_EQ(lonely.CurrentPage()->RunPrinterJob([](CCommonFormView&) { return 1; }), -25);
    CCommonFormView orphan; // no controller at all
    EXPECT_EQ(orphan.RunPrinterJob([](CCommonFormView&) { return 1; }), -25);
}

class FailingThread : public JobThread
{
public:
    bool failCreate = false;
    int resumeAnswer = 1;
    bool Create(Routine routine) override
    {
        return failCreate ? false : JobThread::Create(std::move(routine));
    }
    int Resume() override { return resumeAnswer == 1 ? JobThread::Resume() : resumeAnswer; }
};

TEST_F(JobRunner, ThreadThatCannotBeCreatedIsRefused)
{
    page->ThreadRecord().threadFactory = [] {
        auto thread = std::make_unique<FailingThread>();
        thread->failCreate = true;
        return thread;
    };
    EXPECT_EQ(page->RunPrinterJob([](CCommonFormView&) { return 1; }), -25);
    EXPECT_TRUE(LockFreeForOthers());
    EXPECT_EQ(page->ProgressWindow(), nullptr);
}

TEST_F(JobRunner, ThreadThatIsNotResumedEndsWithMinus24)
{
    page->ThreadRecord().threadFactory = [] {
        auto thread = std::make_unique<FailingThread>();
        thread->resumeAnswer = 2; // reports a second suspension
        return thread;
    };
    bool ran = false;
    EXPECT_EQ(page->RunPrinterJob([&](CCommonFormView&) {
        ran = true;
        return 1;
    }),
              -24);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(frame.doneWhenDialogEnded);
    EXPECT_TRUE(LockFreeForOthers());
}

TEST_F(JobRunner, DialogEndingEarlyStillWaitsForTheWorker)
{
    // The frame returns at once; the worker still reports progress and asks a question,
    // both of which need the user-interface thread.
    frame.endDialogAtOnce = true;
    MessageBoxWatcher watcher;
    const int result = page->RunPrinterJob([](CCommonFormView& self) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        self.ReportProgress(40);
        self.ShowJobWarning(QStringLiteral("late"));
        return 77;
    });
    EXPECT_EQ(result, 77);
    EXPECT_FALSE(frame.doneWhenDialogEnded);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("late"));
    ASSERT_TRUE(frame.progress);
    EXPECT_EQ(frame.progress->values, std::vector<int>{40});
}

TEST_F(JobRunner, WarningFromTheWorkerIsShownByTheUiThreadOwnedByTheProgressWindow)
{
    MessageBoxWatcher watcher;
    std::atomic<bool> returnedAfterAnswer{false};
    page->RunPrinterJob([&](CCommonFormView& self) {
        self.ShowJobWarning(QStringLiteral("Could not get some settings from the printer."));
        returnedAfterAnswer = !watcher.boxes.empty();
        return 1;
    });
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_TRUE(returnedAfterAnswer.load()); // the worker waited for the box
    EXPECT_EQ(watcher.boxes[0].title, QStringLiteral("QP-R60 Utility"));
    EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(watcher.boxes[0].owner, static_cast<QWidget*>(frame.progress.data()));
}

TEST_F(JobRunner, SecondJobOfTheSamePageWhileOneRunsIsRefused)
{
    int inner = 0;
    const int outer = page->RunPrinterJob([&](CCommonFormView& self) {
        // Started on the user-interface thread while this job runs (AppLock is recursive).
        QMetaObject::invokeMethod(
            qApp, [&] { inner = self.RunPrinterJob([](CCommonFormView&) { return 1; }); },
            Qt::BlockingQueuedConnection);
        return 3;
    });
    EXPECT_EQ(outer, 3);
    EXPECT_EQ(inner, -25);
}

} // namespace
