#pragma once

#include <qpu/comm_lib.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace qpcomm {

// Calls the registered status procedures on a thread of its own, one status code at a
// time, in the order the codes were reported. Procedures are grouped in slots (status
// procedures, device-state callbacks); unregistering a slot returns only when none of
// its procedures runs any more. Called from inside a procedure, unregistering cannot
// wait for that procedure itself: it returns at once, and no procedure of the slot is
// called after the running one returns.
class StatusDispatcher
{
public:
    enum Slot
    {
        StatusProcs = 0,
        DeviceStateProcs = 1,
        SlotCount = 2
    };

    StatusDispatcher() = default;
    ~StatusDispatcher();
    StatusDispatcher(const StatusDispatcher&) = delete;
    StatusDispatcher& operator=(const StatusDispatcher&) = delete;

    // Adds a procedure (the same procedure and context once only). When `current` is a
    // status code (>= 0), the new procedure is told it first.
    int32_t add(Slot slot, QPC_StatusProc proc, void* context, int32_t current);
    void removeAll(Slot slot);
    void post(int32_t code);
    // Waits until every code posted so far has been handed out (tests, benchmarks).
    void flush();
    void stop();

private:
    struct Entry
    {
        uint64_t id = 0;
        Slot slot = StatusProcs;
        QPC_StatusProc proc = nullptr;
        void* context = nullptr;
    };
    struct Job
    {
        int32_t code = 0;
        uint64_t onlyId = 0; // 0: every procedure
    };

    void run(uint64_t generation);
    void ensureThread();
    bool registered(uint64_t id) const;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Entry> m_entries;
    std::deque<Job> m_jobs;
    uint64_t m_nextId = 1;
    uint64_t m_runningId = 0; // procedure being called, 0 when none
    bool m_busy = false;      // a job is being handed out
    bool m_stopping = false;
    uint64_t m_generation = 0; // a thread of an earlier generation ends at once
    std::thread m_thread;
    std::thread::id m_threadId;
};

} // namespace qpcomm
