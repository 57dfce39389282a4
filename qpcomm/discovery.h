#pragma once

#include <qpu/port_info.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qpcomm {

// A printer that answered a discovery request.
struct DiscoveredPrinter
{
    std::string address; // dotted IPv4 of its raw TCP port
    uint16_t tcpPort = 9100;
    std::string model;
    std::string serial;
};

// Finds printers on the network: sends the datagram "VRKDISCOVER" to UDP port 9100 of
// every target and collects the "VRKPRINTER" answers. The targets come from
// $QPCOMM_DISCOVERY_ADDR, a list of "a.b.c.d[:port]" separated by commas, semicolons or
// blanks; without it, the IPv4 broadcast address. Answers are collected for
// $QPCOMM_DISCOVERY_MS (default 1500 ms), or until every target that is not a broadcast
// address has answered.
class Discovery
{
public:
    static constexpr uint16_t kDefaultPort = 9100;

    struct Target
    {
        std::string address;
        uint16_t port = kDefaultPort;
    };

    static std::vector<Target> targetsFromEnvironment();
    static bool parseAnswer(const std::string& datagram, const std::string& sender,
                            DiscoveredPrinter* printer);

    std::vector<DiscoveredPrinter> search(const std::vector<Target>& targets, int windowMs) const;

    // NET records: port name "a.b.c.d", or "a.b.c.d:port" when the printer's raw port is
    // not 9100; device name = the model.
    static PortInfo toPortInfo(const DiscoveredPrinter& printer);
};

} // namespace qpcomm
