#pragma once

#include <qpu/sync.h>

namespace platform {

// Owns a QpuEvent: a manual-reset event that stays set, releasing every waiter, until it
// is reset. The object never moves, so its native() address may be handed to other
// threads and plug-ins for as long as it lives.
class ManualResetEvent
{
public:
    explicit ManualResetEvent(bool initiallySet = false);
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void set() { qpu_event_set(&m_event); }
    void reset() { qpu_event_reset(&m_event); }
    bool isSet() { return qpu_event_is_set(&m_event) != 0; }
    // Waits until the event is set or timeoutMs have passed (negative: no limit); returns
    // whether it is set.
    bool wait(int timeoutMs) { return qpu_event_wait(&m_event, timeoutMs) != 0; }

    QpuEvent* native() { return &m_event; }

private:
    QpuEvent m_event;
};

} // namespace platform
