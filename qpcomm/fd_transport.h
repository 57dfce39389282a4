#pragma once

#include "transport.h"

#include "posix/unique_fd.h"

#include <atomic>
#include <sys/types.h>

namespace qpcomm {

// Common part of the transports that talk through one file descriptor: non-blocking
// reads and writes with poll() and a wake pipe, so nothing blocks past its time-out.
class FdTransport : public Transport
{
public:
    FdTransport();
    ~FdTransport() override;

    int32_t open(int timeoutMs) final;
    void close() override;
    bool isOpen() const final { return m_fd.valid(); }
    int32_t write(const uint8_t* data, std::size_t length, int timeoutMs) override;
    int32_t read(uint8_t* buffer, std::size_t capacity, int timeoutMs,
                 std::size_t* received) override;
    void wake() override;

protected:
    // Opens and configures the descriptor (non-blocking); sets *fd on success.
    virtual int32_t openDescriptor(int timeoutMs, posix::UniqueFd* fd) = 0;
    int fd() const { return m_fd.get(); }
    // One write(2); sockets override it to keep a closed peer from raising SIGPIPE.
    virtual ssize_t writeSome(const uint8_t* data, std::size_t length);

private:
    void drainWakePipe();

    posix::UniqueFd m_fd;
    posix::UniqueFd m_wakeRead;
    posix::UniqueFd m_wakeWrite;
};

// Maps an errno value of open() or connect() to a QPC_* result.
int32_t resultFromErrno(int error);

} // namespace qpcomm
