#include "comm/comm_state_dlg.h"
#include "platform/manual_reset_event.h"
#include "screenshots.h"

#include <qpu/window_message.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// One job: a worker thread that runs body, then sets the done event as the end of a
// thread would; the dialog runs modally meanwhile, the way the main frame runs it.
struct JobRun
{
    bool shown = false;
    qint64 shownMs = 0;
    qint64 totalMs = 0;
    int barValue = -1;
    int position = -1;
    std::vector<intptr_t> answers; // the dialog's answers to the worker's reports
};

using Body = std::function<void(void* dialog, platform::ManualResetEvent& progress,
                                std::vector<intptr_t>& answers)>;
using DuringRun = std::function<void(CCommStateDlg&)>;

JobRun RunJob(int showDelayMs, int animationKind, const Body& body,
              const DuringRun& whileRunning = {}, int whileRunningAfterMs = 0)
{
    CCommStateDlg dialog;
    platform::ManualResetEvent done;
    platform::ManualResetEvent progress;
    JobRun run;
    dialog.SetJob(done.native(), progress.native(),
                  animationKind == QPU_PROGRESS_ANIMATION_TWO_WAY ? CCommStateDlg::kClipTwoWay
                                                                  : CCommStateDlg::kClipOneWay,
                  showDelayMs);
    std::thread worker([&] {
        body(&dialog, progress, run.answers);
        done.set();
    });
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    if (whileRunning)
        QTimer::singleShot(whileRunningAfterMs, &dialog, [&] { whileRunning(dialog); });
    // A dialog that never ends fails the test instead of hanging it.
    QTimer::singleShot(15000, &loop, [&] {
        ADD_FAILURE() << "dialog did not end";
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(qpu::SendWindowMessage(&dialog, QPU_WM_PROGRESS_102, 0, 0), 0);
    loop.exec();
    run.totalMs = clock.elapsed();
    worker.join();
    run.shown = dialog.WasShown();
    run.shownMs = dialog.ShownMs();
    run.barValue = dialog.BarValue();
    run.position = dialog.Position();
    EXPECT_FALSE(dialog.isVisible());
    return run;
}

void Sleep(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

// What ReportProgress does on the worker: the message, then the event.
intptr_t Report(void* dialog, platform::ManualResetEvent& progress, int value)
{
    const intptr_t answer = qpu::SendWindowMessage(dialog, QPU_WM_PROGRESS_103, value, 0);
    progress.set();
    return answer;
}

TEST(CommStateDlgTiming, JobEndingBeforeTheShowDelayNeverShowsTheDialog)
{
    const JobRun run =
        RunJob(800, 2, [](void*, platform::ManualResetEvent&, auto&) { Sleep(50ms); });
    EXPECT_FALSE(run.shown);
    EXPECT_EQ(run.shownMs, 0);
    // Noticed at the first poll after the end (500 ms) and closed at once, without the
    // second that a shown dialog stays.
    EXPECT_LT(run.totalMs, 1200);
}

TEST(CommStateDlgTiming, ShortJobShownAfterOneMillisecondStaysAboutASecond)
{
    const JobRun run =
        RunJob(1, 2, [](void*, platform::ManualResetEvent&, auto&) { Sleep(200ms); });
    EXPECT_TRUE(run.shown);
    EXPECT_GE(run.shownMs, CCommStateDlg::kMinimumShownMs);
    EXPECT_LT(run.shownMs, 2500);
}

TEST(CommStateDlgTiming, JobEndingLateClosesAtTheNextPoll)
{
    const JobRun run =
        RunJob(300, 1, [](void*, platform::ManualResetEvent&, auto&) { Sleep(1600ms); });
    EXPECT_TRUE(run.shown);
    EXPECT_GE(run.shownMs, 1200);
    // The end is seen within one poll interval, and the shortest time is already over.
    EXPECT_LT(run.totalMs, 1600 + CCommStateDlg::kPollIntervalMs + 900);
}

TEST(CommStateDlgProgress, PositionsNeverGoBack)
{
    const JobRun run = RunJob(
        1, 2,
        [](void* dialog, platform::ManualResetEvent& progress, std::vector<intptr_t>& answers) {
            for (int value : {10, 50, 30}) {
                answers.push_back(Report(dialog, progress, value));
                Sleep(600ms); // one poll each
            }
        });
    EXPECT_EQ(run.answers, (std::vector<intptr_t>{0, 0, -1}));
    EXPECT_EQ(run.position, 50);
    EXPECT_EQ(run.barValue, 50);
}

TEST(CommStateDlgProgress, EqualPositionIsAcceptedAndBarShowsItAtThePoll)
{
    CCommStateDlg dialog;
    EXPECT_EQ(dialog.SetPosition(0), 0);
    EXPECT_EQ(dialog.SetPosition(40), 0);
    EXPECT_EQ(dialog.SetPosition(40), 0);
    EXPECT_EQ(dialog.SetPosition(39), -1);
    EXPECT_EQ(dialog.Position(), 40);
    // Stored, not yet shown: the bar moves only when a poll sees the progress event.
    EXPECT_EQ(dialog.BarValue(), 0);
}

TEST(CommStateDlgProgress, LastReportBeforeTheEndIsShown)
{
    const JobRun run = RunJob(
        1, 2,
        [](void* dialog, platform::ManualResetEvent& progress, std::vector<intptr_t>& answers) {
            answers.push_back(Report(dialog, progress, 0));
            Sleep(100ms);
            answers.push_back(Report(dialog, progress, 100));
        });
    EXPECT_EQ(run.barValue, 100);
}

TEST(CommStateDlgKeys, EnterEscapeAndCloseRequestsDoNotEndARunningJob)
{
    std::atomic<bool> finishJob{false};
    bool stillRunning = false;
    bool visibleAfterKeys = false;
    const JobRun run = RunJob(
        1, 2,
        [&](void*, platform::ManualResetEvent&, auto&) {
            while (!finishJob)
                Sleep(10ms);
        },
        [&](CCommStateDlg& dialog) {
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(&dialog, key);
            dialog.close();
            QApplication::processEvents();
            visibleAfterKeys = dialog.isVisible();
            stillRunning = dialog.IsAnimating();
            finishJob = true;
        },
        400);
    EXPECT_TRUE(visibleAfterKeys);
    EXPECT_TRUE(stillRunning);
    EXPECT_TRUE(run.shown);
}

TEST(CommStateDlgLook, ButtonsHiddenAndDisabledAnimationPlaysTheChosenClip)
{
    CCommStateDlg dialog;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isEnabled());
        EXPECT_TRUE(button->isHidden());
    }
    auto* bar = dialog.findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->property("controlId").toInt(), CCommStateDlg::kProgressId);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);

    std::optional<bool> animating;
    RunJob(
        1, 1, [](void*, platform::ManualResetEvent&, auto&) { Sleep(700ms); },
        [&](CCommStateDlg& running) {
            animating = running.IsAnimating();
            EXPECT_EQ(running.AnimationResource(), CCommStateDlg::kClipOneWay);
            if (const QString dir = ScreenshotFolder(); !dir.isEmpty())
                running.grab().save(dir + QStringLiteral("comm_state_dlg.png"));
        },
        300);
    ASSERT_TRUE(animating.has_value());
    EXPECT_TRUE(*animating);
}

TEST(CommStateDlgLook, AnimationFramesMove)
{
    // Two grabs a few frames apart differ: the clip plays rather than standing still.
    QImage first;
    QImage later;
    RunJob(
        1, 2, [](void*, platform::ManualResetEvent&, auto&) { Sleep(900ms); },
        [&](CCommStateDlg& running) {
            first = running.grab().toImage();
            QTest::qWait(250);
            later = running.grab().toImage();
        },
        200);
    ASSERT_FALSE(first.isNull());
    EXPECT_NE(first, later);
}

TEST(CommStateDlgMessages, WindowMessagesFromTheUiThreadAreAnsweredDirectly)
{
    CCommStateDlg dialog;
    EXPECT_EQ(qpu::SendWindowMessage(&dialog, QPU_WM_PROGRESS_103, 25, 0), 0);
    EXPECT_EQ(qpu::SendWindowMessage(&dialog, QPU_WM_PROGRESS_103, 5, 0), -1);
    EXPECT_EQ(dialog.Position(), 25);
    EXPECT_EQ(qpu::SendWindowMessage(nullptr, QPU_WM_PROGRESS_103, 5, 0), 0);
}

} // namespace
