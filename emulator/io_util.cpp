#include "io_util.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>

namespace qpr60 {

std::string errnoText(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

bool splitHostPort(const std::string& spec, std::string& host, std::string& port)
{
    if (!spec.empty() && spec[0] == '[') {
        const auto close = spec.find(']');
        if (close == std::string::npos || close + 1 >= spec.size() || spec[close + 1] != ':')
            return false;
        host = spec.substr(1, close - 1);
        port = spec.substr(close + 2);
    } else {
        const auto colon = spec.rfind(':');
        if (colon == std::string::npos)
            return false;
        host = spec.substr(0, colon);
        port = spec.substr(colon + 1);
    }
    return !host.empty() && !port.empty() &&
           std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           port.size() <= 5 && std::stoi(port) <= 65535;
}

// Opens a socket bound to a numeric ADDRESS:PORT (no name look-ups).
posix::UniqueFd bindSocket(const std::string& spec, int type, std::string& error)
{
    std::string host;
    std::string port;
    if (!splitHostPort(spec, host, port)) {
        error = "\"" + spec + "\": expected ADDRESS:PORT with a numeric address";
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        error = "\"" + spec + "\": " + ::gai_strerror(rc);
        return {};
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, ::freeaddrinfo);
    posix::UniqueFd fd(::socket(found->ai_family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        error = errnoText(spec);
        return {};
    }
    const int on = 1;
    if (type == SOCK_STREAM)
        ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd.get(), found->ai_addr, found->ai_addrlen) != 0) {
        error = errnoText(spec);
        return {};
    }
    if (type == SOCK_STREAM && ::listen(fd.get(), 16) != 0) {
        error = errnoText(spec);
        return {};
    }
    return fd;
}

std::string socketAddressText(const sockaddr_storage& addr, uint16_t* portOut)
{
    char host[INET6_ADDRSTRLEN] = {};
    uint16_t port = 0;
    if (addr.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(addr);
        ::inet_ntop(AF_INET, &in.sin_addr, host, sizeof host);
        port = ntohs(in.sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(addr);
        ::inet_ntop(AF_INET6, &in6.sin6_addr, host, sizeof host);
        port = ntohs(in6.sin6_port);
    }
    if (portOut)
        *portOut = port;
    const std::string h = host;
    return (addr.ss_family == AF_INET6 ? "[" + h + "]" : h) + ":" + std::to_string(port);
}

std::string localAddressText(int fd, std::string& host, uint16_t& port)
{
    sockaddr_storage addr{};
    socklen_t length = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    const std::string text = socketAddressText(addr, &port);
    host = text.substr(0, text.rfind(':'));
    if (!host.empty() && host.front() == '[')
        host = host.substr(1, host.size() - 2);
    return text;
}

std::string hexText(const uint8_t* data, size_t length, const char* separator)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i)
            text += separator;
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

std::string utcNow()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    tm parts{};
    ::gmtime_r(&ts.tv_sec, &parts);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(ts.tv_nsec / 1000000));
    return text;
}

void writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

} // namespace qpr60
