#pragma once

#include <QByteArray>

#include <cstdlib>

// Sets or unsets an environment variable for the lifetime of the object and restores the
// old value afterwards.
class EnvGuard
{
public:
    EnvGuard(const char* name, const char* value) : m_name(name)
    {
        const char* old = std::getenv(name);
        m_hadValue = old != nullptr;
        if (old)
            m_old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvGuard()
    {
        if (m_hadValue)
            ::setenv(m_name, m_old.constData(), 1);
        else
            ::unsetenv(m_name);
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
    bool m_hadValue = false;
};
