#pragma once

#include "fd_transport.h"
#include "port_lock.h"

#include <cstdint>
#include <string>

namespace qpcomm {

// TCP to the printer's raw port. The port is 9100 unless the address carries one
// ("127.0.0.5:19100") or $QPCOMM_NET_PORT sets another.
class TcpTransport final : public FdTransport
{
public:
    TcpTransport(std::string host, uint16_t port);

    void close() override;
    bool freshAfterReconnect() const override { return true; }
    std::string describe() const override;

    static constexpr uint16_t kDefaultPort = 9100;
    // Splits "a.b.c.d[:port]" and applies $QPCOMM_NET_PORT. False when not IPv4.
    static bool parseAddress(const std::string& text, std::string* host, uint16_t* port);

protected:
    int32_t openDescriptor(int timeoutMs, posix::UniqueFd* fd) override;
    ssize_t writeSome(const uint8_t* data, std::size_t length) override;

private:
    std::string m_host;
    uint16_t m_port;
    PortLock m_lock;
};

} // namespace qpcomm
