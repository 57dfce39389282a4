#pragma once

#include <pthread.h>

namespace platform {

// The application's recursive lock (AppLock). Its address goes into AppState.appLock,
// where plug-ins take it with pthread_mutex_lock; the object therefore never moves.
// Meets the Lockable requirements, so std::lock_guard and std::unique_lock work on it.
class AppLock
{
public:
    AppLock();
    ~AppLock();
    AppLock(const AppLock&) = delete;
    AppLock& operator=(const AppLock&) = delete;

    void lock() { pthread_mutex_lock(&m_mutex); }
    bool try_lock() { return pthread_mutex_trylock(&m_mutex) == 0; }
    void unlock() { pthread_mutex_unlock(&m_mutex); }

    pthread_mutex_t* native() { return &m_mutex; }

private:
    pthread_mutex_t m_mutex;
};

} // namespace platform
