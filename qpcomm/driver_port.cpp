#include "driver_port.h"

#include "fd_transport.h"
#include "tcp_transport.h"
#include "text.h"

#include <qpu/comm_lib.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace qpcomm {

namespace {

constexpr unsigned kParallelMajor = 6;
constexpr unsigned kUsbMajor = 180;
constexpr unsigned kUsbPrinterMinors = 16; // usb/lp0 to usb/lp15

bool parseUnsigned(const std::string& text, unsigned* value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *value = static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

// "lp0", "lp12": the name of a parallel or USB printer node.
bool isPrinterNodeName(const std::string& name)
{
    unsigned number = 0;
    return name.size() > 2 && name.compare(0, 2, "lp") == 0 &&
           parseUnsigned(name.substr(2), &number);
}

bool isPrinterClassDevice(dev_t device)
{
    const unsigned maj = major(device);
    return maj == kParallelMajor || (maj == kUsbMajor && minor(device) < kUsbPrinterMinors);
}

} // namespace

bool isDriverPathRecord(const PortInfo& port)
{
    return port.driverPortFlag == 1 && port.interfaceKeyword[0] == 0;
}

bool sameTarget(const PortInfo& a, const PortInfo& b)
{
    if (isDriverPathRecord(a) || isDriverPathRecord(b)) {
        return isDriverPathRecord(a) && isDriverPathRecord(b) &&
               sameField(a.driverPortPath, b.driverPortPath);
    }
    return sameField(a.interfaceKeyword, b.interfaceKeyword) && sameField(a.portName, b.portName);
}

std::string lastPathComponent(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

TtyDriverTable::TtyDriverTable(const std::string& path)
{
    // Lines: driver name, node prefix, major, minor or first-last minor, type.
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) {
            fields.push_back(word);
        }
        if (fields.size() < 5) {
            continue;
        }
        const std::string& type = fields[fields.size() - 1];
        if (type != "serial" && type != "pty:slave") {
            continue;
        }
        const std::string& minors = fields[fields.size() - 2];
        const auto dash = minors.find('-');
        Range range{};
        if (!parseUnsigned(fields[fields.size() - 3], &range.major) ||
            !parseUnsigned(minors.substr(0, dash), &range.firstMinor)) {
            continue;
        }
        range.lastMinor = range.firstMinor;
        if (dash != std::string::npos &&
            !parseUnsigned(minors.substr(dash + 1), &range.lastMinor)) {
            continue;
        }
        m_links.push_back(range);
    }
}

bool TtyDriverTable::isSerialLine(dev_t device) const
{
    const unsigned maj = major(device);
    const unsigned min = minor(device);
    for (const Range& range : m_links) {
        if (range.major == maj && min >= range.firstMinor && min <= range.lastMinor) {
            return true;
        }
    }
    return false;
}

int32_t DriverPortResolver::resolve(const std::string& path,
                                    const std::vector<PortInfo>& registered, PortInfo* target) const
{
    if (path.empty()) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    for (const PortInfo& port : registered) {
        if (port.interfaceKeyword[0] != 0 && toUtf8(port.driverPortPath) == path) {
            *target = port;
            return QPC_OK;
        }
    }
    if (const std::string last = lastPathComponent(path); !last.empty()) {
        for (const PortInfo& port : registered) {
            const std::string driverPath = toUtf8(port.driverPortPath);
            if (port.interfaceKeyword[0] != 0 && !driverPath.empty() &&
                lastPathComponent(driverPath) == last) {
                *target = port;
                return QPC_OK;
            }
        }
    }
    if (path.rfind("//", 0) == 0) {
        return resolveNetwork(path, target);
    }
    return resolveDevice(path, registered, target);
}

// "//host/..." names a printer on the network by its host part. Only an IPv4 address
// (with an optional ":port") is taken: a host name would need a name lookup, and the
// printer's raw port answers on its own address.
int32_t DriverPortResolver::resolveNetwork(const std::string& path, PortInfo* target) const
{
    const auto end = path.find('/', 2);
    const std::string host = path.substr(2, end == std::string::npos ? end : end - 2);
    std::string address;
    uint16_t tcpPort = 0;
    if (!TcpTransport::parseAddress(host, &address, &tcpPort)) {
        return QPC_ERR_NOT_FOUND;
    }
    *target = newPortRecord("NET", host);
    return QPC_OK;
}

// Only terminals of the serial kinds and printer-class nodes are opened: opening some
// other character devices has effects of its own (a watchdog starts counting, a tape
// rewinds), and the port path comes from outside.
int32_t DriverPortResolver::resolveDevice(const std::string& path,
                                          const std::vector<PortInfo>& registered,
                                          PortInfo* target) const
{
    const std::string node = path.front() == '/' ? path : m_devices.devDir() + "/" + path;
    struct stat st
    {};
    if (::stat(node.c_str(), &st) != 0) {
        return resultFromErrno(errno);
    }
    if (!S_ISCHR(st.st_mode)) {
        return QPC_ERR_NOT_SUPPORTED;
    }
    const bool printerClass = isPrinterClassDevice(st.st_rdev);
    if (!printerClass && !m_ttys.isSerialLine(st.st_rdev)) {
        return QPC_ERR_NOT_SUPPORTED;
    }
    if (registeredOnDevice(st.st_rdev, registered, target)) {
        return QPC_OK;
    }
    // A printer-class node, or a terminal that stands in for one under a printer's name,
    // is used as it is; a serial line gets the default line settings.
    const bool asPrinterNode = printerClass || isPrinterNodeName(lastPathComponent(node));
    *target = newPortRecord(asPrinterNode ? "LPT" : "COM", node);
    return QPC_OK;
}

bool DriverPortResolver::registeredOnDevice(dev_t device, const std::vector<PortInfo>& registered,
                                            PortInfo* target) const
{
    for (const PortInfo& port : registered) {
        const std::string keyword = toUtf8(port.interfaceKeyword);
        if (keyword != "COM" && keyword != "BT" && keyword != "LPT" && keyword != "USB") {
            continue;
        }
        const std::string node = m_devices.devicePath(
            keyword, toUtf8(port.portName), keyword == "USB" ? port.usbDeviceId : nullptr);
        struct stat st
        {};
        if (!node.empty() && ::stat(node.c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == device) {
            *target = port;
            return true;
        }
    }
    return false;
}

} // namespace qpcomm
