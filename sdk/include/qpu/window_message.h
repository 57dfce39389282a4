/* Window messages between Qt widgets: the utility, its views and setting-page plug-ins
 * exchange the numbered messages of qpu/messages.h as WindowMessageEvent objects.
 *
 * - A message carries its number, wParam, lParam and a result that the receiver sets.
 * - SendWindowMessage is synchronous: on the receiver's thread the event is delivered at
 *   once; from any other thread the caller blocks until the receiver's thread has handled
 *   it, and gets the receiver's result.
 * - PostWindowMessage queues the event and returns at once; it may be called from any
 *   thread.
 * - A receiver handles the message in QObject::event(): it checks
 *   event->type() == qpu::kWindowMessageEventType, reads the fields, sets result and
 *   answers true.
 *
 * Window handles in the plug-in interface are QWidget* passed as void*, so both functions
 * take the receiver as void* (a QWidget* or QObject* converted to void*: QObject is the
 * first base of QWidget, so both name the same address). Header only: nothing is exported, and the
 * event type is a fixed number so that the utility and every plug-in agree on it. This header needs
 * Qt (C++); the C-only contract headers do not include it. */
#pragma once

#include "messages.h"
#include "qpu_types.h"
#include "sync.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <atomic>
#include <cstdint>

/* Messages of the platform's own numbering that the utility uses as well. */
#define QPU_WM_SIZE 0x0005
#define QPU_WM_CLOSE 0x0010
#define QPU_WM_SYSCOMMAND 0x0112
/* The system command that asks the main frame for its About box. */
#define QPU_SC_ABOUT 0xE140
/* WM_SIZE size type of a window that is neither minimised nor maximised. */
#define QPU_SIZE_RESTORED 0

/* What a page hands the main frame with QPU_WM_RUN_PROGRESS (wParam points to it): the
 * event that the worker's end sets, the event that each progress report sets, the
 * animation kind (2 selects the two-way clip 149, any other value the clip 148) and the
 * delay in milliseconds before the dialog becomes visible. */
#pragma pack(push, 4)
typedef struct ProgressRequest
{
    QpuEvent* doneEvent;
    QpuEvent* progressEvent;
    int32_t animationKind;
    int32_t showDelayMs;
} ProgressRequest;
#pragma pack(pop)

QPU_STATIC_ASSERT(offsetof(ProgressRequest, doneEvent) == 0, "ProgressRequest layout");
QPU_STATIC_ASSERT(offsetof(ProgressRequest, progressEvent) == QPU_PTR_SIZE,
                  "ProgressRequest layout");
QPU_STATIC_ASSERT(offsetof(ProgressRequest, animationKind) == 2 * QPU_PTR_SIZE,
                  "ProgressRequest layout");
QPU_STATIC_ASSERT(offsetof(ProgressRequest, showDelayMs) == 2 * QPU_PTR_SIZE + 4,
                  "ProgressRequest layout");
QPU_STATIC_ASSERT(sizeof(ProgressRequest) == 2 * QPU_PTR_SIZE + 8, "ProgressRequest size");

/* The animation kind that selects clip 149. */
#define QPU_PROGRESS_ANIMATION_TWO_WAY 2

namespace qpu {

// The event type of every window message; fixed, so that all modules agree on it.
inline constexpr QEvent::Type kWindowMessageEventType =
    static_cast<QEvent::Type>(QEvent::User + 0x400);

class WindowMessageEvent final : public QEvent
{
public:
    WindowMessageEvent(int message, intptr_t wParam, intptr_t lParam)
        : QEvent(kWindowMessageEventType), m_message(message), m_wParam(wParam), m_lParam(lParam)
    {
        m_built.store(true, std::memory_order_release);
    }

    int message() const { return Built().m_message; }
    intptr_t wParam() const { return Built().m_wParam; }
    intptr_t lParam() const { return Built().m_lParam; }
    intptr_t result() const { return m_result; }
    void setResult(intptr_t result) { m_result = result; }

    // The window message an event carries, or null for any other event.
    static WindowMessageEvent* From(QEvent* event)
    {
        return event && event->type() == kWindowMessageEventType
                   ? static_cast<WindowMessageEvent*>(event)
                   : nullptr;
    }

private:
    // A posted message crosses to the receiving thread through Qt's event queue, whose
    // locking thread checkers cannot see; the fields are published with a release at the
    // end of construction and read after the matching acquire.
    const WindowMessageEvent& Built() const
    {
        (void)m_built.load(std::memory_order_acquire);
        return *this;
    }

    int m_message;
    intptr_t m_wParam;
    intptr_t m_lParam;
    intptr_t m_result = 0;
    std::atomic<bool> m_built{false};
};

// Delivers the message to window and returns the result that the receiver set (0 when it
// did not handle the message, when window is null, or when the window was destroyed
// before its thread came to the message). From another thread the call blocks until the
// window's thread has handled it; that thread must be running its event loop.
inline intptr_t SendWindowMessage(void* window, int message, intptr_t wParam, intptr_t lParam)
{
    QObject* receiver = static_cast<QObject*>(window);
    if (receiver == nullptr)
        return 0;
    WindowMessageEvent event(message, wParam, lParam);
    if (receiver->thread() == QThread::currentThread()) {
        QCoreApplication::sendEvent(receiver, &event);
        return event.result();
    }
    // The blocking call orders the two threads through Qt's own semaphore; the handshake
    // states that order in standard C++ as well, where thread checkers can see it.
    std::atomic<int> handshake{0};
    handshake.store(1, std::memory_order_release); // the event is built
    QMetaObject::invokeMethod(
        receiver,
        [receiver, &event, &handshake] {
            (void)handshake.load(std::memory_order_acquire);
            QCoreApplication::sendEvent(receiver, &event);
            handshake.store(2, std::memory_order_release); // the result is set
        },
        Qt::BlockingQueuedConnection);
    (void)handshake.load(std::memory_order_acquire);
    return event.result();
}

// Queues the message for window and returns at once: false when window is null. The
// window must stay alive until the call returns; a message still queued when the window
// is destroyed is dropped.
inline bool PostWindowMessage(void* window, int message, intptr_t wParam, intptr_t lParam)
{
    QObject* receiver = static_cast<QObject*>(window);
    if (receiver == nullptr)
        return false;
    QCoreApplication::postEvent(receiver, new WindowMessageEvent(message, wParam, lParam));
    return true;
}

// lParam of WM_SIZE: width in the low, height in the high 16 bits.
inline intptr_t MakeSizeParam(int width, int height)
{
    return static_cast<intptr_t>((static_cast<uint32_t>(height & 0xFFFF) << 16) |
                                 static_cast<uint32_t>(width & 0xFFFF));
}
inline int SizeParamWidth(intptr_t lParam)
{
    return static_cast<int>(lParam & 0xFFFF);
}
inline int SizeParamHeight(intptr_t lParam)
{
    return static_cast<int>((lParam >> 16) & 0xFFFF);
}

} // namespace qpu
