#include "pages/job_thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

constexpr int kNotRunExitCode = -24;
constexpr int kLowestNice = 19;

} // namespace

JobThread::JobThread() = default;

JobThread::~JobThread()
{
    Terminate(kNotRunExitCode);
    Join();
}

bool JobThread::Create(Routine routine)
{
    if (m_thread.joinable())
        return false;
    try {
        m_thread = std::thread(&JobThread::Main, this, std::move(routine));
    } catch (const std::system_error&) {
        return false;
    }
    // The thread publishes its id before it waits at the gate.
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_threadId != 0; });
    return true;
}

void JobThread::Main(Routine routine)
{
    std::unique_lock lock(m_mutex);
    m_threadId = ::gettid();
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_gate != Gate::Suspended; });
    const bool run = m_gate == Gate::Running;
    int code = m_terminateCode;
    lock.unlock();

    if (run)
        code = routine ? routine() : 0;
    lock.lock();
    m_exitCode = code;
    lock.unlock();
    m_done.set();
}

bool JobThread::SetBelowNormalPriority()
{
    if (m_threadId == 0)
        return false;
    // On Linux the nice value belongs to each thread; a thread may always lower its own
    // or another thread's priority.
    errno = 0;
    const int creatorNice = ::getpriority(PRIO_PROCESS, 0);
    if (creatorNice == -1 && errno != 0)
        return false;
    const int nice = std::min(creatorNice + kBelowNormalNiceStep, kLowestNice);
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(m_threadId), nice) == 0;
}

int JobThread::Resume()
{
    std::lock_guard lock(m_mutex);
    if (!m_thread.joinable() || m_gate != Gate::Suspended)
        return 0;
    m_gate = Gate::Running;
    m_changed.notify_all();
    return 1;
}

bool JobThread::Terminate(int exitCode)
{
    std::lock_guard lock(m_mutex);
    if (!m_thread.joinable() || m_gate != Gate::Suspended)
        return false;
    m_gate = Gate::Terminated;
    m_terminateCode = exitCode;
    m_changed.notify_all();
    return true;
}

bool JobThread::ExitCode(int* code)
{
    if (code == nullptr || !m_done.isSet())
        return false;
    std::lock_guard lock(m_mutex);
    *code = m_exitCode;
    return true;
}

void JobThread::Join()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}
