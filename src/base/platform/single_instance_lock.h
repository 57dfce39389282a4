#pragma once

#include <QString>

namespace platform {

// Name of the lock that keeps a second copy of the utility from running: the model name
// formatted into "%s_UTILITY".
inline constexpr char kSingleInstanceLockName[] = "QP-R60_UTILITY";

// Holds an exclusive flock on the file `name` in RuntimeFolder() for the object's
// lifetime. The system drops the lock when the process ends, however it ends, so a
// crashed copy never blocks the next start.
class SingleInstanceLock
{
public:
    enum class State
    {
        Acquired,       // this process is the only copy
        AlreadyRunning, // another process holds the lock
        Failed,         // the lock file could not be opened
    };

    explicit SingleInstanceLock(const QString& name = QString::fromLatin1(kSingleInstanceLockName));
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    State state() const { return m_state; }
    bool acquired() const { return m_state == State::Acquired; }
    QString path() const { return m_path; }
    // Why the lock file could not be opened; empty unless state() is Failed.
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    State m_state = State::Failed;
    QString m_path;
    QString m_error;
};

} // namespace platform
