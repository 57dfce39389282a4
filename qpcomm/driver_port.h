#pragma once

#include "device_enumerator.h"

#include <qpu/port_info.h>

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qpcomm {

// A record that names its port only by a driver port path: driver-port flag 1 and no
// interface keyword, as the utility builds it from a port path on its command line.
bool isDriverPathRecord(const PortInfo& port);

// Whether two records lead to the same port: driver-path records by their path, every
// other record by its interface keyword and port name.
bool sameTarget(const PortInfo& a, const PortInfo& b);

// The part of a driver port path after its last '/' (the whole path when it has none).
std::string lastPathComponent(const std::string& path);

// The kinds of terminal the library talks to, from the kernel's table of terminal drivers
// (/proc/tty/drivers): serial lines (built-in, USB adapters, modems, rfcomm) and the
// slave side of pseudo-terminals. Consoles, /dev/tty and pty masters are not among them.
class TtyDriverTable
{
public:
    explicit TtyDriverTable(const std::string& path = "/proc/tty/drivers");

    bool isSerialLine(dev_t device) const;

private:
    struct Range
    {
        unsigned major;
        unsigned firstMinor;
        unsigned lastMinor;
    };
    std::vector<Range> m_links;
};

// Turns a driver port path into the port record to open, first match wins:
// 1. a registered port whose driver port path equals the path; then the first registered
//    port whose driver port path ends in the same last component;
// 2. "//a.b.c.d[:port]/..." (the host part an IPv4 address): that address, as a NET port;
// 3. a device node (absolute, or relative to the device folder): the registered port on
//    the same device when there is one, else a tty as a serial port with the default line
//    settings, or a USB or parallel printer node. Other devices are never opened.
// The registered record keeps its own transport settings.
class DriverPortResolver
{
public:
    DriverPortResolver(const DeviceEnumerator& devices, const TtyDriverTable& ttys)
        : m_devices(devices), m_ttys(ttys)
    {}

    // QPC_OK and *target, or QPC_ERR_INVALID_ARGUMENT (empty path), QPC_ERR_NOT_FOUND
    // (nothing by that path), QPC_ERR_ACCESS_DENIED or QPC_ERR_NOT_SUPPORTED (a file or
    // device the library does not talk to).
    int32_t resolve(const std::string& path, const std::vector<PortInfo>& registered,
                    PortInfo* target) const;

private:
    int32_t resolveNetwork(const std::string& path, PortInfo* target) const;
    int32_t resolveDevice(const std::string& path, const std::vector<PortInfo>& registered,
                          PortInfo* target) const;
    bool registeredOnDevice(dev_t device, const std::vector<PortInfo>& registered,
                            PortInfo* target) const;

    const DeviceEnumerator& m_devices;
    const TtyDriverTable& m_ttys;
};

} // namespace qpcomm
