// The dispatcher that calls the status procedures: order, slots, the current status for a
// new procedure, and stopping or unregistering from inside a procedure.
#include "qpcomm_test_support.h"
#include "status_dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace qpcomm;
using namespace qpcomm_test;

namespace {

TEST(StatusDispatcher, CodesArriveInOrderForEveryProcedureOfEverySlot)
{
    StatusDispatcher dispatcher;
    StatusRecorder a;
    StatusRecorder b;
    ASSERT_EQ(dispatcher.add(StatusDispatcher::StatusProcs, &StatusRecorder::proc, &a, -1), QPC_OK);
    ASSERT_EQ(dispatcher.add(StatusDispatcher::DeviceStateProcs, &StatusRecorder::proc, &b, 7),
              QPC_OK);
    // The same procedure and context twice is one registration.
    ASSERT_EQ(dispatcher.add(StatusDispatcher::StatusProcs, &StatusRecorder::proc, &a, -1), QPC_OK);
    EXPECT_EQ(dispatcher.add(StatusDispatcher::StatusProcs, nullptr, &a, -1),
              QPC_ERR_INVALID_ARGUMENT);
    for (int code : {1, 6, 0, 100}) {
        dispatcher.post(code);
    }
    dispatcher.flush();
    EXPECT_EQ(a.codes(), (std::vector<int32_t>{1, 6, 0, 100}));
    EXPECT_EQ(b.codes(), (std::vector<int32_t>{7, 1, 6, 0, 100})); // told the current one first
    dispatcher.removeAll(StatusDispatcher::StatusProcs);
    dispatcher.post(3);
    dispatcher.flush();
    EXPECT_EQ(a.size(), 4u);
    EXPECT_EQ(b.codes().back(), 3);
}

struct Stopper
{
    StatusDispatcher* dispatcher = nullptr;
    std::atomic<int> calls{0};
    static int32_t proc(int32_t, void* context)
    {
        auto* self = static_cast<Stopper*>(context);
        ++self->calls;
        self->dispatcher->stop();
        return 1;
    }
};

TEST(StatusDispatcher, StoppedFromInsideAProcedureAndStartedAgain)
{
    StatusDispatcher dispatcher;
    Stopper stopper{&dispatcher};
    dispatcher.add(StatusDispatcher::StatusProcs, &Stopper::proc, &stopper, -1);
    dispatcher.post(1);
    ASSERT_TRUE(waitUntil([&] { return stopper.calls == 1; }, 2000));
    // The registrations went with the stop; new ones run on a fresh thread, once each.
    StatusRecorder recorder;
    dispatcher.add(StatusDispatcher::StatusProcs, &StatusRecorder::proc, &recorder, -1);
    for (int i = 0; i < 20; ++i) {
        dispatcher.post(i);
    }
    dispatcher.flush();
    std::vector<int32_t> expected(20);
    for (int i = 0; i < 20; ++i) {
        expected[i] = i;
    }
    EXPECT_EQ(recorder.codes(), expected);
    EXPECT_EQ(stopper.calls, 1);
}

TEST(StatusDispatcher, UnregisterWaitsForTheRunningProcedure)
{
    StatusDispatcher dispatcher;
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    struct Context
    {
        std::atomic<bool>* inside;
        std::atomic<bool>* release;
    } context{&inside, &release};
    const QPC_StatusProc blocking = [](int32_t, void* c) -> int32_t {
        auto* ctx = static_cast<Context*>(c);
        *ctx->inside = true;
        while (!*ctx->release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        *ctx->inside = false;
        return 1;
    };
    dispatcher.add(StatusDispatcher::StatusProcs, blocking, &context, 5);
    ASSERT_TRUE(waitUntil([&] { return inside.load(); }, 2000));
    std::atomic<bool> returned{false};
    std::thread unregister([&] {
        dispatcher.removeAll(StatusDispatcher::StatusProcs);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned); // the procedure still runs
    release = true;
    unregister.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(inside);
}

} // namespace
