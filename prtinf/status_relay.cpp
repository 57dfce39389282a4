#include "status_relay.h"

#include <algorithm>

namespace prtinf {

StatusRelay& StatusRelay::instance()
{
    static StatusRelay relay;
    return relay;
}

int32_t StatusRelay::relay(int32_t status, void* context)
{
    static_cast<StatusRelay*>(context)->deliver(status);
    return 1;
}

int32_t StatusRelay::add(const void* owner, const CommLibTable* commLib, QPC_StatusProc proc,
                         void* context)
{
    if (proc == nullptr || commLib == nullptr || commLib->RegisterDeviceStateCallback == nullptr) {
        return 0;
    }
    std::unique_lock lock(m_mutex);
    if (m_registeredWith != nullptr && m_registeredWith != commLib) {
        return 0; // every handle of a process works through the same binding
    }
    std::erase_if(m_entries, [owner](const Entry& e) { return e.owner == owner; });
    m_entries.push_back({m_nextId++, owner, proc, context});
    if (m_registeredWith == nullptr) {
        if (commLib->RegisterDeviceStateCallback(&StatusRelay::relay, this) != 0) {
            m_entries.pop_back();
            return 0;
        }
        m_registeredWith = commLib;
    }
    return 1;
}

int32_t StatusRelay::remove(const void* owner)
{
    std::unique_lock lock(m_mutex);
    std::vector<uint64_t> removed;
    for (const Entry& e : m_entries) {
        if (e.owner == owner) {
            removed.push_back(e.id);
        }
    }
    std::erase_if(m_entries, [owner](const Entry& e) { return e.owner == owner; });
    if (std::this_thread::get_id() != m_runningThread) {
        m_cv.wait(lock, [&] {
            return std::find(removed.begin(), removed.end(), m_runningId) == removed.end();
        });
    }
    if (m_entries.empty() && m_registeredWith != nullptr) {
        const CommLibTable* commLib = m_registeredWith;
        m_registeredWith = nullptr;
        lock.unlock();
        if (commLib->UnregisterDeviceStateCallback != nullptr) {
            commLib->UnregisterDeviceStateCallback();
        }
    }
    return 1;
}

void StatusRelay::deliver(int32_t status)
{
    std::unique_lock lock(m_mutex);
    std::vector<Entry> targets = m_entries;
    for (const Entry& target : targets) {
        const bool present = std::any_of(m_entries.begin(), m_entries.end(),
                                         [&](const Entry& e) { return e.id == target.id; });
        if (!present) {
            continue;
        }
        m_runningId = target.id;
        m_runningThread = std::this_thread::get_id();
        lock.unlock();
        target.proc(status, target.context);
        lock.lock();
        m_runningId = 0;
        m_runningThread = {};
        m_cv.notify_all();
    }
}

} // namespace prtinf
