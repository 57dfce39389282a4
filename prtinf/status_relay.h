#pragma once

#include <qpu/comm_lib.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace prtinf {

// Hands the communication library's device-state callbacks on to the procedures that
// the connection handles registered. One relay procedure is registered with the library
// while any handle has a procedure. Unregistering waits until the handle's procedure no
// longer runs, except on the thread that runs it (from inside the procedure).
class StatusRelay
{
public:
    static StatusRelay& instance();

    int32_t add(const void* owner, const CommLibTable* commLib, QPC_StatusProc proc, void* context);
    int32_t remove(const void* owner);

private:
    struct Entry
    {
        uint64_t id = 0;
        const void* owner = nullptr;
        QPC_StatusProc proc = nullptr;
        void* context = nullptr;
    };

    static int32_t relay(int32_t status, void* context);
    void deliver(int32_t status);

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Entry> m_entries;
    const CommLibTable* m_registeredWith = nullptr;
    uint64_t m_nextId = 1;
    uint64_t m_runningId = 0;
    std::thread::id m_runningThread;
};

} // namespace prtinf
