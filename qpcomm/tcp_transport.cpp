#include "tcp_transport.h"

#include <qpu/comm_lib.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace qpcomm {

TcpTransport::TcpTransport(std::string host, uint16_t port) : m_host(std::move(host)), m_port(port)
{}

bool TcpTransport::parseAddress(const std::string& text, std::string* host, uint16_t* port)
{
    std::string address = text;
    long portNumber = kDefaultPort;
    if (const char* env = std::getenv("QPCOMM_NET_PORT"); env != nullptr && env[0] != '\0') {
        portNumber = std::strtol(env, nullptr, 10);
    }
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        char* end = nullptr;
        portNumber = std::strtol(text.c_str() + colon + 1, &end, 10);
        if (end == nullptr || *end != '\0') {
            return false;
        }
    }
    in_addr parsed{};
    if (portNumber <= 0 || portNumber > 65535 ||
        ::inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        return false;
    }
    *host = address;
    *port = static_cast<uint16_t>(portNumber);
    return true;
}

int32_t TcpTransport::openDescriptor(int timeoutMs, posix::UniqueFd* fd)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(m_port);
    if (::inet_pton(AF_INET, m_host.c_str(), &peer.sin_addr) != 1) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    if (!m_lock.held()) {
        if (const int32_t locked = m_lock.acquire("net-" + describe()); locked != QPC_OK) {
            return locked;
        }
    }
    posix::UniqueFd sock(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!sock.valid()) {
        return resultFromErrno(errno);
    }
    const int one = 1;
    ::setsockopt(sock.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(sock.get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        if (errno != EINPROGRESS) {
            return errno == ECONNREFUSED ? QPC_ERR_NOT_FOUND : resultFromErrno(errno);
        }
        pollfd pfd{sock.get(), POLLOUT, 0};
        int r = 0;
        do {
            r = ::poll(&pfd, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r == 0) {
            return QPC_ERR_TIMEOUT;
        }
        int error = 0;
        socklen_t len = sizeof error;
        ::getsockopt(sock.get(), SOL_SOCKET, SO_ERROR, &error, &len);
        if (r < 0 || error != 0) {
            return error == ECONNREFUSED ? QPC_ERR_NOT_FOUND : resultFromErrno(error);
        }
    }
    *fd = std::move(sock);
    return QPC_OK;
}

ssize_t TcpTransport::writeSome(const uint8_t* data, std::size_t length)
{
    return ::send(fd(), data, length, MSG_NOSIGNAL);
}

void TcpTransport::close()
{
    FdTransport::close();
}

std::string TcpTransport::describe() const
{
    return m_host + ":" + std::to_string(m_port);
}

} // namespace qpcomm
