#include "app/splash.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

template <typename Predicate> bool WaitFor(Predicate done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void Wait(int ms)
{
    WaitFor([] { return false; }, ms);
}

void PressKey(QWidget* window, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(window, &press);
}

void PressMouse(QWidget* window)
{
    const QPointF at(10, 10);
    QMouseEvent press(QEvent::MouseButtonPress, at, window->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &press);
}

struct AppFixture : ::testing::Test
{
    static void SetUpTestSuite()
    {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "test_splash";
            static char* argv[] = {name, nullptr};
            s_app = new QApplication(argc, argv);
        }
    }
    static QApplication* s_app;
};
QApplication* AppFixture::s_app = nullptr;

using SplashTest = AppFixture;

} // namespace

TEST_F(SplashTest, WindowHasTheMainWindowSizeAndTheWaitCursorCentred)
{
    CSplash* slot = nullptr;
    auto* splash = new CSplash(&slot, [] { return static_cast<QWidget*>(nullptr); });
    ASSERT_EQ(slot, splash);
    CSplashWnd* window = splash->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(796, 523));
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(window->PictureId(), 144);
    EXPECT_TRUE(window->TimerActive());
    EXPECT_EQ(window->TimerIntervalMs(), 10000);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE(std::abs(window->geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window->geometry().center().y() - screen.center().y()), 1);
    delete splash;
    EXPECT_EQ(slot, nullptr);
}

TEST_F(SplashTest, CloseIsPostedAndTheObjectClearsItsSlot)
{
    CSplash* slot = nullptr;
    new CSplash(&slot, [] { return static_cast<QWidget*>(nullptr); });
    slot->Close();
    EXPECT_NE(slot, nullptr); // posted, not yet handled
    EXPECT_TRUE(WaitFor([&] { return slot == nullptr; }, 2000));
}

TEST_F(SplashTest, TimeoutWaitsForTheMainWindowEveryHundredMilliseconds)
{
    QWidget* mainWindow = nullptr;
    auto* window = new CSplashWnd(144, 50, 0, [&] { return mainWindow; });
    QPointer<CSplashWnd> guard(window);
    // After the time-out without a main window the window stays and checks every 100 ms.
    ASSERT_TRUE(WaitFor([&] { return window->TimerIntervalMs() == 100; }, 2000));
    Wait(250);
    ASSERT_FALSE(guard.isNull());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->TimerActive());

    QWidget main;
    main.show();
    mainWindow = &main;
    EXPECT_TRUE(WaitFor([&] { return guard.isNull(); }, 2000));
}

TEST_F(SplashTest, FlagTwoClosesAtTheTimeoutWithoutMainWindow)
{
    auto* window = new CSplashWnd(144, 30, CSplashWnd::kIgnoreMainWindow,
                                  [] { return static_cast<QWidget*>(nullptr); });
    QPointer<CSplashWnd> guard(window);
    EXPECT_TRUE(WaitFor([&] { return guard.isNull(); }, 2000));
}

TEST_F(SplashTest, InputDoesNotCloseTheWindowWithTheFlagsStartUpUses)
{
    CSplash* slot = nullptr;
    new CSplash(&slot, [] { return static_cast<QWidget*>(nullptr); });
    CSplashWnd* window = slot->Window();
    PressMouse(window);
    PressKey(window, Qt::Key_Escape);
    Wait(50);
    ASSERT_NE(slot, nullptr);
    EXPECT_TRUE(slot->Window()->isVisible());
    delete slot;
}

TEST_F(SplashTest, InputClosesItWithFlagBitZero)
{
    CSplashWnd* window = new CSplashWnd(144, CSplashWnd::kNoTimeout, CSplashWnd::kCloseOnInput,
                                        [] { return static_cast<QWidget*>(nullptr); });
    QPointer<CSplashWnd> guard(window);
    EXPECT_FALSE(window->TimerActive());
    PressKey(window, Qt::Key_A);
    EXPECT_TRUE(WaitFor([&] { return guard.isNull(); }, 2000));
}

TEST_F(SplashTest, BlockingWorkLeavesTheSplashResponsive)
{
    CSplash* slot = nullptr;
    new CSplash(&slot, [] { return static_cast<QWidget*>(nullptr); });
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    bool workerThread = false;
    const QThread* uiThread = QThread::currentThread();
    RunWhileSplashResponds([&] {
        workerThread = QThread::currentThread() != uiThread;
        QThread::msleep(400);
    });
    EXPECT_TRUE(workerThread);
    // The user-interface thread went on handling its timers while the work blocked.
    EXPECT_GE(ticks, 5);
    // A close posted meanwhile is handled there too.
    slot->Close();
    RunWhileSplashResponds([] { QThread::msleep(100); });
    EXPECT_TRUE(WaitFor([&] { return slot == nullptr; }, 1000));
}
