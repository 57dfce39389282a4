#include "fd_transport.h"

#include <qpu/comm_lib.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace qpcomm {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Some device drivers (parallel ports) report readiness without data; wait a slice then.
constexpr int kBusyRetryMs = 5;

} // namespace

int32_t resultFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QPC_ERR_ACCESS_DENIED;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return QPC_ERR_NOT_FOUND;
    case EBUSY:
        return QPC_ERR_PORT_IN_USE;
    case ETIMEDOUT:
        return QPC_ERR_TIMEOUT;
    case ENOMEM:
        return QPC_ERR_NO_MEMORY;
    default:
        return QPC_ERR_IO;
    }
}

FdTransport::FdTransport()
{
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_wakeRead.reset(fds[0]);
        m_wakeWrite.reset(fds[1]);
    }
}

FdTransport::~FdTransport() = default;

int32_t FdTransport::open(int timeoutMs)
{
    close();
    posix::UniqueFd fd;
    const int32_t result = openDescriptor(timeoutMs, &fd);
    if (result == QPC_OK) {
        m_fd = std::move(fd);
        drainWakePipe();
    }
    return result;
}

void FdTransport::close()
{
    m_fd.reset();
}

int32_t FdTransport::write(const uint8_t* data, std::size_t length, int timeoutMs)
{
    if (!m_fd.valid()) {
        return QPC_ERR_NOT_OPEN;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = writeSome(data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return errno == EPIPE || errno == ECONNRESET ? QPC_ERR_CONNECTION_LOST : QPC_ERR_IO;
        }
        const int wait = remainingMs(deadline);
        if (wait == 0) {
            return QPC_ERR_TIMEOUT;
        }
        pollfd pfd{m_fd.get(), POLLOUT, 0};
        const int r = ::poll(&pfd, 1, std::min(wait, 50));
        if (r < 0 && errno != EINTR) {
            return QPC_ERR_IO;
        }
        if (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 &&
            (pfd.revents & POLLOUT) == 0) {
            return QPC_ERR_CONNECTION_LOST;
        }
    }
    return QPC_OK;
}

int32_t FdTransport::read(uint8_t* buffer, std::size_t capacity, int timeoutMs,
                          std::size_t* received)
{
    *received = 0;
    if (!m_fd.valid()) {
        return QPC_ERR_NOT_OPEN;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd pfds[2] = {{m_fd.get(), POLLIN, 0}, {m_wakeRead.get(), POLLIN, 0}};
        const int r = ::poll(pfds, m_wakeRead.valid() ? 2 : 1, remainingMs(deadline));
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return QPC_ERR_IO;
        }
        if (r == 0) {
            return QPC_OK;
        }
        if ((pfds[1].revents & POLLIN) != 0) {
            drainWakePipe();
            return QPC_OK;
        }
        const ssize_t n = ::read(m_fd.get(), buffer, capacity);
        if (n > 0) {
            *received = static_cast<std::size_t>(n);
            return QPC_OK;
        }
        if (n == 0) {
            // End of file: the peer closed the connection or the device went away. A
            // pseudo-terminal whose other side is not open reports the same.
            return QPC_ERR_CONNECTION_LOST;
        }
        if (errno == EIO || errno == ECONNRESET || errno == ENODEV || errno == ENXIO) {
            return QPC_ERR_CONNECTION_LOST;
        }
        if (errno != EAGAIN && errno != EINTR) {
            return QPC_ERR_IO;
        }
        if (remainingMs(deadline) == 0) {
            return QPC_OK;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kBusyRetryMs));
    }
}

ssize_t FdTransport::writeSome(const uint8_t* data, std::size_t length)
{
    return ::write(m_fd.get(), data, length);
}

void FdTransport::wake()
{
    if (m_wakeWrite.valid()) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeWrite.get(), &c, 1);
    }
}

void FdTransport::drainWakePipe()
{
    char buf[64];
    while (m_wakeRead.valid() && ::read(m_wakeRead.get(), buf, sizeof buf) > 0) {
    }
}

} // namespace qpcomm
