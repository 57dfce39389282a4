#pragma once

#include <qpu/port_info.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace qpcomm {

// The registered ports, kept in the library's own file: an 16-byte header ("QPCPORTS",
// format version 1, record count, little-endian) followed by the PortInfo records.
// Written atomically (temporary file, fsync, rename). A port is identified by its
// interface keyword and port name. A file that cannot be read as a port list is moved
// aside to "<file>.bad" and the list starts empty, so nothing is lost and nothing blocks.
class PortStore
{
public:
    explicit PortStore(std::string path) : m_path(std::move(path)) {}

    // $QP60UTIL_COMMON_APPDATA (else /var/lib) + /VORKA/QPComm/ports.dat
    static std::string defaultPath();

    int32_t load(std::vector<PortInfo>* ports) const;
    // Adds the port or replaces the record of the same port.
    int32_t add(const PortInfo& port);
    // Replaces the record of a registered port; QPC_ERR_NOT_FOUND when there is none.
    int32_t update(const PortInfo& port);
    int32_t remove(const PortInfo& port);

    const std::string& path() const { return m_path; }
    static bool samePort(const PortInfo& a, const PortInfo& b);

private:
    int32_t save(const std::vector<PortInfo>& ports) const;

    std::string m_path;
    mutable std::mutex m_mutex;
};

} // namespace qpcomm
