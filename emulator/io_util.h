#pragma once
// Small socket, text and time helpers of the emulator.

#include "posix/unique_fd.h"

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qpr60 {

// "what: strerror(errno)".
std::string errnoText(const std::string& what);
// Splits "HOST:PORT" or "[HOST]:PORT"; false when the form or the port is wrong.
bool splitHostPort(const std::string& spec, std::string& host, std::string& port);
// A non-blocking socket bound to a numeric ADDRESS:PORT (no name look-ups); listening when
// `type` is SOCK_STREAM. Invalid with `error` set on failure.
posix::UniqueFd bindSocket(const std::string& spec, int type, std::string& error);
// "address:port" ("[address]:port" for IPv6).
std::string socketAddressText(const sockaddr_storage& addr, uint16_t* portOut = nullptr);
// The bound address of `fd` as text, with its host and port apart.
std::string localAddressText(int fd, std::string& host, uint16_t& port);
// Upper-case hexadecimal bytes joined by `separator`.
std::string hexText(const uint8_t* data, size_t length, const char* separator = " ");
// Current UTC time, ISO 8601 with milliseconds.
std::string utcNow();
// Writes all of `text` to a blocking fd; gives up silently on errors.
void writeAll(int fd, const std::string& text);

} // namespace qpr60
