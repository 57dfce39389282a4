#include "platform/app_lock.h"
#include "platform/manual_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

extern "C" int qpu_sync_c_check(void);

using namespace platform;
using namespace std::chrono;

namespace {

TEST(SyncTest, HeaderWorksFromC)
{
    EXPECT_EQ(qpu_sync_c_check(), 0);
}

TEST(SyncTest, EventStaysSetUntilReset)
{
    ManualResetEvent event;
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.wait(0));
    event.set();
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.wait(QPU_WAIT_INFINITE));
    EXPECT_TRUE(event.isSet());
    event.reset();
    EXPECT_FALSE(event.isSet());
    ManualResetEvent initiallySet(true);
    EXPECT_TRUE(initiallySet.wait(0));
}

TEST(SyncTest, WaitTimesOutAfterRoughlyTheGivenTime)
{
    ManualResetEvent event;
    const auto start = steady_clock::now();
    EXPECT_FALSE(event.wait(120));
    const auto waited = duration_cast<milliseconds>(steady_clock::now() - start).count();
    EXPECT_GE(waited, 120);
    EXPECT_LT(waited, 5000);
}

TEST(SyncTest, SetReleasesEveryWaiterOnOtherThreads)
{
    ManualResetEvent event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            if (event.wait(QPU_WAIT_INFINITE))
                ++released;
        });
    }
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(released.load(), 0);
    event.set();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released.load(), 4);
}

TEST(SyncTest, TimedWaitWakesWhenSetFromAnotherThread)
{
    ManualResetEvent event;
    std::thread setter([&] {
        std::this_thread::sleep_for(milliseconds(30));
        event.set();
    });
    const auto start = steady_clock::now();
    EXPECT_TRUE(event.wait(10000));
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 5000);
    setter.join();
}

TEST(SyncTest, AppLockIsRecursiveAndExcludesOtherThreads)
{
    AppLock lock;
    std::lock_guard outer(lock);
    {
        // The plug-in side takes it through the published pointer.
        ASSERT_EQ(pthread_mutex_lock(lock.native()), 0);
        ASSERT_EQ(pthread_mutex_unlock(lock.native()), 0);
    }
    bool otherGotIt = true;
    std::thread other([&] { otherGotIt = lock.try_lock(); });
    other.join();
    EXPECT_FALSE(otherGotIt);
}

TEST(SyncTest, AppLockSerialisesJobs)
{
    AppLock lock;
    int inside = 0;
    int maxInside = 0;
    std::vector<std::thread> jobs;
    for (int i = 0; i < 4; ++i) {
        jobs.emplace_back([&] {
            for (int k = 0; k < 200; ++k) {
                std::lock_guard guard(lock);
                maxInside = std::max(maxInside, ++inside);
                --inside;
            }
        });
    }
    for (auto& job : jobs)
        job.join();
    EXPECT_EQ(maxInside, 1);
}

} // namespace
