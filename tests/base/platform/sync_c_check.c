/* The synchronisation header must work from C, as plug-ins may be written in C. */
#include <qpu/sync.h>

/* Runs the header's functions from C; returns 0 when they behave, else the failed step. */
int qpu_sync_c_check(void)
{
    QpuEvent event;
    pthread_mutex_t lock;
    int failed = 0;
    if (qpu_event_init(&event, 0) != 0)
        return 1;
    if (qpu_event_wait(&event, 0) != 0)
        failed = 2;
    qpu_event_set(&event);
    if (!failed && qpu_event_wait(&event, 10) != 1)
        failed = 3;
    qpu_event_destroy(&event);
    if (failed)
        return failed;
    if (qpu_app_lock_init(&lock) != 0)
        return 4;
    if (pthread_mutex_lock(&lock) != 0 || pthread_mutex_lock(&lock) != 0)
        failed = 5;
    pthread_mutex_unlock(&lock);
    pthread_mutex_unlock(&lock);
    qpu_app_lock_destroy(&lock);
    return failed;
}
