#include "platform/single_instance_lock.h"

#include "platform/special_folders.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {
namespace {

// In a shared /tmp the file may belong to another user's copy; locking needs only a
// descriptor, so a read-only one does. Links are not followed: nobody can redirect the
// lock to a file of their choosing.
int openLockFile(const QByteArray& path)
{
    const int flags = O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | flags, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.constData(), O_RDONLY | flags);
    return fd;
}

} // namespace

SingleInstanceLock::SingleInstanceLock(const QString& name) : m_path(RuntimeFolder() + u'/' + name)
{
    m_fd = openLockFile(QFile::encodeName(m_path));
    if (m_fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    int rc = 0;
    do {
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_state = State::Acquired;
        return;
    }
    if (errno == EWOULDBLOCK) {
        m_state = State::AlreadyRunning;
    } else {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ::close(m_fd);
    m_fd = -1;
}

SingleInstanceLock::~SingleInstanceLock()
{
    // The file stays: removing it would let a third copy lock a new file while a second
    // still waits on the old one.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace platform
