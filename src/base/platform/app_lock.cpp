#include "platform/app_lock.h"

#include <qpu/sync.h>

#include <QtGlobal>

#include <cstring>

namespace platform {

AppLock::AppLock() : m_mutex{}
{
    // Fails only when the system is out of resources; nothing can run without the lock.
    if (const int rc = qpu_app_lock_init(&m_mutex); rc != 0)
        qFatal("cannot create the application lock: %s", std::strerror(rc));
}

AppLock::~AppLock()
{
    qpu_app_lock_destroy(&m_mutex);
}

} // namespace platform
