#include "device_enumerator.h"

#include "text.h"

#include "posix/unique_fd.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace qpcomm {

namespace {

std::string envOr(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

// "ttyUSB10" after "ttyUSB9": compare the name part, then the number.
bool naturalLess(const std::string& a, const std::string& b)
{
    const auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') {
            --i;
        }
        const long n = i < s.size() ? std::strtol(s.c_str() + i, nullptr, 10) : -1;
        return std::pair(s.substr(0, i), n);
    };
    return split(a) < split(b);
}

bool isDigits(const std::string& s)
{
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Built-in 8250 ports exist as device nodes whether or not a UART is behind them.
bool serialPortPresent(const std::string& path)
{
    posix::UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        return errno == EACCES || errno == EBUSY; // there, but not ours to open now
    }
    serial_struct info{};
    if (::ioctl(fd.get(), TIOCGSERIAL, &info) != 0) {
        return true; // not an 8250 port (pseudo-terminal, USB adapter, ...)
    }
    return info.type != PORT_UNKNOWN;
}

std::string trimmed(std::string s)
{
    while (!s.empty() &&
           (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '\0')) {
        s.pop_back();
    }
    return s;
}

std::string usbName(int deviceNumber)
{
    char name[16];
    std::snprintf(name, sizeof name, "%03d", deviceNumber + 1);
    return name;
}

} // namespace

PortInfo newPortRecord(const char* keyword, const std::string& portName)
{
    PortInfo port{};
    copyToField(keyword, port.interfaceKeyword);
    copyToField(portName, port.portName);
    port.reserved1 = -1;
    port.reserved2 = -1;
    return port;
}

DeviceEnumerator::DeviceEnumerator()
    : m_devDir(envOr("QPCOMM_DEV_DIR", "/dev")), m_sysDir(envOr("QPCOMM_SYS_DIR", "/sys"))
{}

std::vector<std::string> DeviceEnumerator::entries(const std::string& folder,
                                                   const std::vector<std::string>& prefixes) const
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        for (const std::string& prefix : prefixes) {
            if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
                isDigits(name.substr(prefix.size()))) {
                struct stat st
                {};
                if (::stat((folder + "/" + name).c_str(), &st) == 0 && S_ISCHR(st.st_mode)) {
                    names.push_back(name);
                }
                break;
            }
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

std::string DeviceEnumerator::readSys(int deviceNumber, const std::string& relative) const
{
    const std::string path =
        m_sysDir + "/class/usbmisc/lp" + std::to_string(deviceNumber) + "/" + relative;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return trimmed(text.str());
}

std::string DeviceEnumerator::usbIdentification(int deviceNumber) const
{
    const std::string serial = readSys(deviceNumber, "device/../serial");
    if (!serial.empty()) {
        return "SN:" + serial + ";";
    }
    return readSys(deviceNumber, "device/ieee1284_id");
}

std::string DeviceEnumerator::usbModel(int deviceNumber) const
{
    const std::string id = readSys(deviceNumber, "device/ieee1284_id");
    for (const char* key : {"MDL:", "MODEL:"}) {
        if (const auto pos = id.find(key); pos != std::string::npos) {
            const auto start = pos + std::strlen(key);
            return id.substr(start, id.find(';', start) - start);
        }
    }
    return {};
}

bool DeviceEnumerator::enumerate(const std::string& keyword, std::vector<PortInfo>* ports) const
{
    ports->clear();
    if (keyword == "COM" || keyword == "SERIAL") {
        for (const std::string& name : entries(m_devDir, {"ttyS", "ttyUSB", "ttyACM"})) {
            if (name.rfind("ttyS", 0) != 0 || serialPortPresent(m_devDir + "/" + name)) {
                ports->push_back(newPortRecord("COM", name));
            }
        }
        if (keyword == "SERIAL") {
            for (const std::string& name : entries(m_devDir, {"rfcomm"})) {
                ports->push_back(newPortRecord("BT", name));
            }
        }
        return true;
    }
    if (keyword == "BT") {
        for (const std::string& name : entries(m_devDir, {"rfcomm"})) {
            ports->push_back(newPortRecord("BT", name));
        }
        return true;
    }
    if (keyword == "LPT") {
        for (const std::string& name : entries(m_devDir, {"lp"})) {
            ports->push_back(newPortRecord("LPT", name));
        }
        return true;
    }
    if (keyword == "USB") {
        for (const std::string& name : entries(m_devDir + "/usb", {"lp"})) {
            const int number = std::atoi(name.c_str() + 2);
            PortInfo port = newPortRecord("USB", usbName(number));
            const std::string id = usbIdentification(number);
            std::memcpy(port.usbDeviceId, id.data(),
                        std::min(id.size(), sizeof port.usbDeviceId - 1));
            copyToField(usbModel(number), port.deviceName);
            ports->push_back(port);
        }
        return true;
    }
    return false;
}

std::string DeviceEnumerator::devicePath(const std::string& keyword, const std::string& portName,
                                         const uint8_t* usbDeviceId) const
{
    if (portName.empty()) {
        return {};
    }
    if (keyword != "USB") {
        return portName.front() == '/' ? portName : m_devDir + "/" + portName;
    }
    const std::string wanted =
        usbDeviceId != nullptr
            ? std::string(reinterpret_cast<const char*>(usbDeviceId),
                          strnlen(reinterpret_cast<const char*>(usbDeviceId), 259))
            : std::string();
    int named = -1;
    if (isDigits(portName)) {
        named = std::atoi(portName.c_str()) - 1;
    } else if (portName.rfind("lp", 0) == 0 && isDigits(portName.substr(2))) {
        named = std::atoi(portName.c_str() + 2);
    }
    const auto pathOf = [this](int n) { return m_devDir + "/usb/lp" + std::to_string(n); };
    struct stat st
    {};
    if (named >= 0 && ::stat(pathOf(named).c_str(), &st) == 0 &&
        (wanted.empty() || usbIdentification(named) == wanted)) {
        return pathOf(named);
    }
    if (wanted.empty()) {
        return {};
    }
    // The printer came back under another device number: find it by its identification.
    for (const std::string& name : entries(m_devDir + "/usb", {"lp"})) {
        const int number = std::atoi(name.c_str() + 2);
        if (usbIdentification(number) == wanted) {
            return pathOf(number);
        }
    }
    return {};
}

} // namespace qpcomm
