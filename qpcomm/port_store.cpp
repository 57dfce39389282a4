#include "port_store.h"

#include "text.h"

#include "posix/atomic_file.h"
#include "posix/unique_fd.h"

#include <qpu/comm_lib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qpcomm {

namespace {

constexpr char kMagic[8] = {'Q', 'P', 'C', 'P', 'O', 'R', 'T', 'S'};
constexpr uint32_t kVersion = 1;
constexpr std::size_t kHeaderBytes = 16;
constexpr uint32_t kMaxRecords = 4096;

void putLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

uint32_t getLe32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool makeFolders(const std::string& filePath)
{
    for (std::size_t pos = 1; (pos = filePath.find('/', pos)) != std::string::npos; ++pos) {
        const std::string folder = filePath.substr(0, pos);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

// Holds an exclusive lock on "<file>.lock" while a process changes the list, so that two
// processes adding ports at once do not lose one of them.
class FileLock
{
public:
    explicit FileLock(const std::string& path)
    {
        if (makeFolders(path)) {
            m_fd.reset(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
        }
        while (m_fd.valid() && ::flock(m_fd.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }

private:
    posix::UniqueFd m_fd;
};

} // namespace

std::string PortStore::defaultPath()
{
    const char* common = std::getenv("QP60UTIL_COMMON_APPDATA");
    const std::string root = common != nullptr && common[0] != '\0' ? common : "/var/lib";
    return root + "/VORKA/QPComm/ports.dat";
}

bool PortStore::samePort(const PortInfo& a, const PortInfo& b)
{
    return sameField(a.interfaceKeyword, b.interfaceKeyword) && sameField(a.portName, b.portName);
}

int32_t PortStore::load(std::vector<PortInfo>* ports) const
{
    ports->clear();
    posix::UniqueFd fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return errno == ENOENT ? QPC_OK : QPC_ERR_FILE;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return QPC_ERR_FILE;
        }
        if (n == 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    const uint32_t count = bytes.size() >= kHeaderBytes ? getLe32(bytes.data() + 12) : 0;
    const bool valid = bytes.size() >= kHeaderBytes &&
                       std::memcmp(bytes.data(), kMagic, sizeof kMagic) == 0 &&
                       getLe32(bytes.data() + 8) == kVersion && count <= kMaxRecords &&
                       bytes.size() == kHeaderBytes + count * sizeof(PortInfo);
    if (!valid) {
        const std::string aside = m_path + ".bad";
        ::rename(m_path.c_str(), aside.c_str());
        return QPC_OK;
    }
    ports->resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::memcpy(&(*ports)[i], bytes.data() + kHeaderBytes + i * sizeof(PortInfo),
                    sizeof(PortInfo));
    }
    return QPC_OK;
}

int32_t PortStore::save(const std::vector<PortInfo>& ports) const
{
    if (!makeFolders(m_path)) {
        return QPC_ERR_FILE;
    }
    std::vector<uint8_t> bytes(kHeaderBytes + ports.size() * sizeof(PortInfo));
    std::memcpy(bytes.data(), kMagic, sizeof kMagic);
    putLe32(bytes.data() + 8, kVersion);
    putLe32(bytes.data() + 12, static_cast<uint32_t>(ports.size()));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        std::memcpy(bytes.data() + kHeaderBytes + i * sizeof(PortInfo), &ports[i],
                    sizeof(PortInfo));
    }
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return posix::WriteFileAtomically(m_path, data) ? QPC_OK : QPC_ERR_FILE;
}

int32_t PortStore::add(const PortInfo& port)
{
    std::lock_guard lock(m_mutex);
    const FileLock fileLock(m_path);
    std::vector<PortInfo> ports;
    if (const int32_t r = load(&ports); r != QPC_OK) {
        return r;
    }
    bool replaced = false;
    for (PortInfo& p : ports) {
        if (samePort(p, port)) {
            p = port;
            replaced = true;
        }
    }
    if (!replaced) {
        ports.push_back(port);
    }
    return save(ports);
}

int32_t PortStore::update(const PortInfo& port)
{
    std::lock_guard lock(m_mutex);
    const FileLock fileLock(m_path);
    std::vector<PortInfo> ports;
    if (const int32_t r = load(&ports); r != QPC_OK) {
        return r;
    }
    for (PortInfo& p : ports) {
        if (samePort(p, port)) {
            p = port;
            return save(ports);
        }
    }
    return QPC_ERR_NOT_FOUND;
}

int32_t PortStore::remove(const PortInfo& port)
{
    std::lock_guard lock(m_mutex);
    const FileLock fileLock(m_path);
    std::vector<PortInfo> ports;
    if (const int32_t r = load(&ports); r != QPC_OK) {
        return r;
    }
    const auto removed = std::erase_if(ports, [&](const PortInfo& p) { return samePort(p, port); });
    return removed == 0 ? QPC_ERR_NOT_FOUND : save(ports);
}

} // namespace qpcomm
