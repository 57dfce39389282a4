#include "platform/manual_reset_event.h"

#include <QtGlobal>

#include <cstring>

namespace platform {

ManualResetEvent::ManualResetEvent(bool initiallySet) : m_event{}
{
    // Fails only when the system is out of resources.
    if (const int rc = qpu_event_init(&m_event, initiallySet ? 1 : 0); rc != 0)
        qFatal("cannot create an event: %s", std::strerror(rc));
}

ManualResetEvent::~ManualResetEvent()
{
    qpu_event_destroy(&m_event);
}

} // namespace platform
