#include "port_lock.h"

#include "fd_transport.h"

#include <qpu/comm_lib.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>

namespace qpcomm {

int32_t PortLock::lockDescriptor(int fd)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        return errno == EWOULDBLOCK ? QPC_ERR_PORT_IN_USE : resultFromErrno(errno);
    }
    return QPC_OK;
}

std::string PortLock::lockFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && runtime[0] != '\0' ? runtime : "/tmp";
}

int32_t PortLock::acquire(const std::string& key)
{
    std::string name;
    for (const char c : key) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                           (c >= 'A' && c <= 'Z') || c == '.' || c == '-';
        name.push_back(plain ? c : '_');
    }
    const std::string path = lockFolder() + "/qpcomm-" + name + ".lock";
    posix::UniqueFd file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!file.valid()) {
        return resultFromErrno(errno);
    }
    const int32_t result = lockDescriptor(file.get());
    if (result == QPC_OK) {
        m_file = std::move(file);
    }
    return result;
}

} // namespace qpcomm
