#include "status_dispatcher.h"

#include <algorithm>

namespace qpcomm {

StatusDispatcher::~StatusDispatcher()
{
    stop();
}

void StatusDispatcher::ensureThread()
{
    if (!m_thread.joinable()) {
        m_stopping = false;
        const uint64_t generation = m_generation;
        m_thread = std::thread([this, generation] { run(generation); });
        m_threadId = m_thread.get_id();
    }
}

int32_t StatusDispatcher::add(Slot slot, QPC_StatusProc proc, void* context, int32_t current)
{
    if (proc == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    std::lock_guard lock(m_mutex);
    const bool known = std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
        return e.slot == slot && e.proc == proc && e.context == context;
    });
    if (known) {
        return QPC_OK;
    }
    const uint64_t id = m_nextId++;
    m_entries.push_back({id, slot, proc, context});
    ensureThread();
    if (current >= 0) {
        m_jobs.push_back({current, id});
        m_cv.notify_all();
    }
    return QPC_OK;
}

bool StatusDispatcher::registered(uint64_t id) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [id](const Entry& e) { return e.id == id; });
}

void StatusDispatcher::removeAll(Slot slot)
{
    std::unique_lock lock(m_mutex);
    std::erase_if(m_entries, [slot](const Entry& e) { return e.slot == slot; });
    if (std::this_thread::get_id() == m_threadId) {
        return; // called from a procedure: it is the one running
    }
    m_cv.wait(lock, [this] { return m_runningId == 0 || registered(m_runningId); });
}

void StatusDispatcher::post(int32_t code)
{
    std::lock_guard lock(m_mutex);
    if (m_entries.empty()) {
        return;
    }
    ensureThread();
    m_jobs.push_back({code, 0});
    m_cv.notify_all();
}

void StatusDispatcher::flush()
{
    std::unique_lock lock(m_mutex);
    if (std::this_thread::get_id() == m_threadId) {
        return;
    }
    m_cv.wait(lock, [this] { return (m_jobs.empty() && !m_busy) || m_stopping; });
}

void StatusDispatcher::stop()
{
    std::thread thread;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        ++m_generation;
        m_entries.clear();
        m_jobs.clear();
        thread.swap(m_thread);
    }
    m_cv.notify_all();
    if (!thread.joinable()) {
        return;
    }
    if (thread.get_id() == std::this_thread::get_id()) {
        thread.detach(); // stopped from inside a procedure; the loop ends after it
        return;
    }
    thread.join();
    std::lock_guard lock(m_mutex);
    m_threadId = {};
}

void StatusDispatcher::run(uint64_t generation)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock,
                  [&] { return m_stopping || generation != m_generation || !m_jobs.empty(); });
        if (m_stopping || generation != m_generation) {
            m_busy = false;
            m_cv.notify_all();
            return;
        }
        const Job job = m_jobs.front();
        m_jobs.pop_front();
        m_busy = true;
        std::vector<Entry> targets;
        for (const Entry& e : m_entries) {
            if (job.onlyId == 0 || e.id == job.onlyId) {
                targets.push_back(e);
            }
        }
        for (const Entry& target : targets) {
            if (m_stopping || generation != m_generation || !registered(target.id)) {
                continue; // unregistered while earlier procedures ran
            }
            m_runningId = target.id;
            lock.unlock();
            target.proc(job.code, target.context);
            lock.lock();
            m_runningId = 0;
            m_cv.notify_all();
        }
        if (generation == m_generation) {
            m_busy = false;
        }
        m_cv.notify_all();
    }
}

} // namespace qpcomm
