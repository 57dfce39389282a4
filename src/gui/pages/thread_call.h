#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <atomic>
#include <utility>

// Runs fn on the thread of context (the application object when context is null) and
// returns its result. From another thread the caller blocks until that thread has run
// it, which it does in its event loop; so a worker can have a window shown, a message box
// for example, while it waits for the answer. If context goes away before its thread
// comes to the call, fn is not run and the result is a value-initialised R.
template <typename R, typename Fn> R CallOnThreadOf(QObject* context, Fn&& fn)
{
    QObject* target = context != nullptr ? context : QCoreApplication::instance();
    if (target == nullptr || target->thread() == QThread::currentThread())
        return std::forward<Fn>(fn)();
    R result{};
    // The blocking call orders the two threads through Qt's own semaphore; the handshake
    // states that order in standard C++ as well, where thread checkers can see it.
    std::atomic<int> handshake{0};
    handshake.store(1, std::memory_order_release);
    QMetaObject::invokeMethod(
        target,
        [&result, &fn, &handshake] {
            (void)handshake.load(std::memory_order_acquire);
            result = fn();
            handshake.store(2, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    (void)handshake.load(std::memory_order_acquire);
    return result;
}
