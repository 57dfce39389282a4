/* Synchronisation shared by the utility, its libraries and setting-page plug-ins.
 * Usable from C (C11) and C++; every function is static inline, so nothing is exported.
 *
 * QpuEvent is a manual-reset event: once set it stays set, and every waiter passes,
 * until it is reset. A worker's end sets its done event; the progress dialog polls the
 * events with a zero or short timeout.
 *
 * AppLock (AppState.appLock) is a recursive pthread_mutex_t: the thread that holds it may
 * take it again and must release it as often. Plug-ins take it with pthread_mutex_lock
 * and release it with pthread_mutex_unlock.
 *
 * Needs POSIX.1-2008 with the X/Open extensions (PTHREAD_MUTEX_RECURSIVE,
 * pthread_condattr_setclock): GNU C and C++ modes have them; a strict ISO C build defines
 * _XOPEN_SOURCE 700 before its first include. */
#pragma once

#include <errno.h>
#include <pthread.h>
#include <stdint.h>
#include <time.h>

/* Timeout that waits for as long as it takes. */
#define QPU_WAIT_INFINITE (-1)

typedef struct QpuEvent
{
    pthread_mutex_t mutex;
    pthread_cond_t cond; /* on CLOCK_MONOTONIC, so clock changes do not stretch waits */
    int32_t isSet;
} QpuEvent;

/* Initialises an event, set or not. Returns 0, or an errno value when the system is out
 * of resources (the event is then unusable and must not be destroyed). */
static inline int qpu_event_init(QpuEvent* event, int initiallySet)
{
    pthread_condattr_t attr;
    int rc = pthread_condattr_init(&attr);
    if (rc != 0)
        return rc;
    rc = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    if (rc == 0)
        rc = pthread_cond_init(&event->cond, &attr);
    pthread_condattr_destroy(&attr);
    if (rc != 0)
        return rc;
    rc = pthread_mutex_init(&event->mutex, NULL);
    if (rc != 0) {
        pthread_cond_destroy(&event->cond);
        return rc;
    }
    event->isSet = initiallySet ? 1 : 0;
    return 0;
}

/* Destroys an event that no thread waits on any more. */
static inline void qpu_event_destroy(QpuEvent* event)
{
    pthread_cond_destroy(&event->cond);
    pthread_mutex_destroy(&event->mutex);
}

/* Sets the event and wakes every waiter. */
static inline void qpu_event_set(QpuEvent* event)
{
    pthread_mutex_lock(&event->mutex);
    event->isSet = 1;
    pthread_cond_broadcast(&event->cond);
    pthread_mutex_unlock(&event->mutex);
}

static inline void qpu_event_reset(QpuEvent* event)
{
    pthread_mutex_lock(&event->mutex);
    event->isSet = 0;
    pthread_mutex_unlock(&event->mutex);
}

/* Waits until the event is set or timeoutMs milliseconds have passed (0: only look,
 * QPU_WAIT_INFINITE or any negative value: no limit). Returns 1 when the event is set,
 * 0 on time-out. The event stays set. */
static inline int qpu_event_wait(QpuEvent* event, int32_t timeoutMs)
{
    struct timespec deadline;
    int isSet;
    if (timeoutMs > 0) {
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += timeoutMs / 1000;
        deadline.tv_nsec += (long)(timeoutMs % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
    }
    pthread_mutex_lock(&event->mutex);
    while (!event->isSet && timeoutMs != 0) {
        if (timeoutMs < 0) {
            pthread_cond_wait(&event->cond, &event->mutex);
        } else if (pthread_cond_timedwait(&event->cond, &event->mutex, &deadline) == ETIMEDOUT) {
            break;
        }
    }
    isSet = event->isSet;
    pthread_mutex_unlock(&event->mutex);
    return isSet;
}

/* Whether the event is set, without waiting. */
static inline int qpu_event_is_set(QpuEvent* event)
{
    return qpu_event_wait(event, 0);
}

/* Initialises the recursive mutex used as AppLock. Returns 0 or an errno value. */
static inline int qpu_app_lock_init(pthread_mutex_t* lock)
{
    pthread_mutexattr_t attr;
    int rc = pthread_mutexattr_init(&attr);
    if (rc != 0)
        return rc;
    rc = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    if (rc == 0)
        rc = pthread_mutex_init(lock, &attr);
    pthread_mutexattr_destroy(&attr);
    return rc;
}

/* Destroys AppLock; no thread may hold it. */
static inline void qpu_app_lock_destroy(pthread_mutex_t* lock)
{
    pthread_mutex_destroy(lock);
}
