#include "discovery.h"

#include "text.h"

#include "posix/unique_fd.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/socket.h>

namespace qpcomm {

namespace {
constexpr char kRequest[] = "VRKDISCOVER";
constexpr char kAnswerHeader[] = "VRKPRINTER";
} // namespace

std::vector<Discovery::Target> Discovery::targetsFromEnvironment()
{
    std::vector<Target> targets;
    const char* env = std::getenv("QPCOMM_DISCOVERY_ADDR");
    std::string list = env != nullptr && env[0] != '\0' ? env : "255.255.255.255";
    std::replace_if(
        list.begin(), list.end(), [](char c) { return c == ',' || c == ';'; }, ' ');
    std::istringstream in(list);
    std::string item;
    while (in >> item) {
        Target target;
        target.address = item;
        if (const auto colon = item.find(':'); colon != std::string::npos) {
            target.address = item.substr(0, colon);
            const long port = std::strtol(item.c_str() + colon + 1, nullptr, 10);
            if (port <= 0 || port > 65535) {
                continue;
            }
            target.port = static_cast<uint16_t>(port);
        }
        in_addr parsed{};
        if (::inet_pton(AF_INET, target.address.c_str(), &parsed) == 1) {
            targets.push_back(target);
        }
    }
    return targets;
}

bool Discovery::parseAnswer(const std::string& datagram, const std::string& sender,
                            DiscoveredPrinter* printer)
{
    std::istringstream in(datagram);
    std::string line;
    if (!std::getline(in, line) || line != kAnswerHeader) {
        return false;
    }
    *printer = DiscoveredPrinter{};
    printer->address = sender;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "model") {
            printer->model = value;
        } else if (key == "serial") {
            printer->serial = value;
        } else if (key == "address") {
            in_addr parsed{};
            if (::inet_pton(AF_INET, value.c_str(), &parsed) == 1) {
                printer->address = value;
            }
        } else if (key == "port") {
            const long port = std::strtol(value.c_str(), nullptr, 10);
            if (port > 0 && port <= 65535) {
                printer->tcpPort = static_cast<uint16_t>(port);
            }
        }
    }
    return true;
}

std::vector<DiscoveredPrinter> Discovery::search(const std::vector<Target>& targets,
                                                 int windowMs) const
{
    std::vector<DiscoveredPrinter> found;
    posix::UniqueFd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock.valid() || targets.empty()) {
        return found;
    }
    const int one = 1;
    ::setsockopt(sock.get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    std::set<std::pair<uint32_t, uint16_t>> awaited;
    bool anyBroadcast = false;
    for (const Target& target : targets) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(target.port);
        ::inet_pton(AF_INET, target.address.c_str(), &to.sin_addr);
        const bool broadcast = (ntohl(to.sin_addr.s_addr) & 0xFF) == 0xFF;
        anyBroadcast = anyBroadcast || broadcast;
        if (!broadcast) {
            awaited.insert({to.sin_addr.s_addr, to.sin_port});
        }
        ::sendto(sock.get(), kRequest, sizeof kRequest - 1, 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(windowMs);
    std::set<std::string> seen;
    while (anyBroadcast || !awaited.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            break;
        }
        pollfd pfd{sock.get(), POLLIN, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            break;
        }
        char buffer[2048];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(sock.get(), buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0) {
            continue;
        }
        awaited.erase({from.sin_addr.s_addr, from.sin_port});
        char sender[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
        DiscoveredPrinter printer;
        if (parseAnswer(std::string(buffer, static_cast<std::size_t>(n)), sender, &printer) &&
            seen.insert(printer.address + ":" + std::to_string(printer.tcpPort)).second) {
            found.push_back(printer);
        }
    }
    return found;
}

PortInfo Discovery::toPortInfo(const DiscoveredPrinter& printer)
{
    PortInfo port{};
    copyToField("NET", port.interfaceKeyword);
    std::string name = printer.address;
    if (printer.tcpPort != 9100) {
        name += ":" + std::to_string(printer.tcpPort);
    }
    copyToField(name, port.portName);
    copyToField(printer.model, port.deviceName);
    // The identification field carries the serial number of the answer in the form a USB
    // printer's has ("SN:<serial>;"), so that a search result can name its printer.
    if (!printer.serial.empty()) {
        const std::string id = "SN:" + printer.serial.substr(0, sizeof port.usbDeviceId - 5) + ";";
        std::memcpy(port.usbDeviceId, id.data(), id.size());
    }
    port.reserved1 = -1;
    port.reserved2 = -1;
    return port;
}

} // namespace qpcomm
