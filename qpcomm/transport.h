#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qpcomm {

// One link to a printer: a TCP connection, a serial line or a printer device node.
// Results are QPC_* codes. Reads and writes never wait longer than the time-out given;
// wake() makes a read that is waiting on another thread return at once.
class Transport
{
public:
    virtual ~Transport() = default;

    virtual int32_t open(int timeoutMs) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Writes all bytes or fails; QPC_ERR_TIMEOUT when the printer takes none in time.
    virtual int32_t write(const uint8_t* data, std::size_t length, int timeoutMs) = 0;
    // Waits up to timeoutMs for input and reads what is there. *received is 0 after a
    // time-out or a wake(). QPC_ERR_CONNECTION_LOST when the link is gone.
    virtual int32_t read(uint8_t* buffer, std::size_t capacity, int timeoutMs,
                         std::size_t* received) = 0;
    // Drops input and output that the operating system still buffers.
    virtual void purge() {}
    virtual void wake() = 0;
    // Whether a request that lost the link is sent again once the link is reopened.
    virtual bool reconnects() const { return true; }
    // Whether a reopened link carries nothing that the printer sent on the old one.
    virtual bool freshAfterReconnect() const { return false; }
    virtual std::string describe() const = 0;
};

} // namespace qpcomm
