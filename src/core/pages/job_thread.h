#pragma once

#include "platform/manual_reset_event.h"

#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The worker thread of one printer job. It is created suspended: the thread exists and
// knows its kernel id, so that its priority can be set, but its routine starts only when
// it is resumed. The routine's result is the thread's exit code; the done event is set
// when the thread has ended, whether it ran its routine or was terminated before.
//
// Create, SetBelowNormalPriority, Resume, Terminate and the destructor belong to the
// creating thread; DoneEvent, IsDone and ExitCode may be used from any thread.
class JobThread
{
public:
    using Routine = std::function<int()>;
    // How much lower than its creator the worker runs (a larger nice value).
    static constexpr int kBelowNormalNiceStep = 2;

    JobThread();
    // Ends a thread that never ran (exit code -24) and waits for the thread's end.
    virtual ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    // Starts the thread suspended. False when the system cannot create a thread, or when
    // this object already holds one.
    virtual bool Create(Routine routine);
    // Lowers the thread's scheduling priority below its creator's. False when the system
    // refuses.
    bool SetBelowNormalPriority();
    // Lets the routine start. Answers the number of suspensions before the call: 1 for a
    // created thread, 0 when it was resumed or ended before or never created.
    virtual int Resume();
    // Ends a thread whose routine has not started, with exitCode as its exit code. False
    // when the routine already runs or ran.
    bool Terminate(int exitCode);

    // Kernel id of the thread, 0 before Create.
    pid_t ThreadId() const { return m_threadId; }
    QpuEvent* DoneEvent() { return m_done.native(); }
    bool IsDone() { return m_done.isSet(); }
    // The exit code once the thread has ended; false while it runs or before Create.
    bool ExitCode(int* code);
    // Waits for the end of the thread; harmless when there is none.
    void Join();

private:
    enum class Gate
    {
        Suspended,
        Running,
        Terminated,
    };

    void Main(Routine routine);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Gate m_gate = Gate::Suspended;
    int m_terminateCode = 0;
    pid_t m_threadId = 0;
    int m_exitCode = 0;
    platform::ManualResetEvent m_done;
    std::thread m_thread;
};
