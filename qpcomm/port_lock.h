#pragma once

#include "posix/unique_fd.h"

#include <cstdint>
#include <string>

namespace qpcomm {

// Exclusive hold on a port across processes: flock() on the device itself, or on a lock
// file in the runtime folder for ports without a device node (TCP addresses).
class PortLock
{
public:
    // Locks an open device descriptor. QPC_ERR_PORT_IN_USE when another holder has it.
    static int32_t lockDescriptor(int fd);

    // Locks the lock file named after `key` in $XDG_RUNTIME_DIR (else /tmp).
    int32_t acquire(const std::string& key);
    void release() { m_file.reset(); }
    bool held() const { return m_file.valid(); }

    static std::string lockFolder();

private:
    posix::UniqueFd m_file;
};

} // namespace qpcomm
