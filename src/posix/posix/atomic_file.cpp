#include "posix/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix {
namespace {

// Index just past the last slash of path, 0 when it has none.
std::size_t nameStart(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// A hidden name in the target's folder; the target's name is shortened so that the
// result stays within the length limit of a file name.
std::string temporaryName(const std::string& target, unsigned serial)
{
    const std::size_t start = nameStart(target);
    return target.substr(0, start) + '.' + target.substr(start, 128) + '.' +
           std::to_string(::getpid()) + '_' + std::to_string(serial) + ".tmp";
}

// Closes a descriptor and unlinks the temporary file unless it was renamed into place.
class TempFile
{
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }

    // Creates a fresh file next to target; the kernel applies the umask to 0666.
    bool create(const std::string& target)
    {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string candidate = temporaryName(target, counter.fetch_add(1));
            const int fd = ::open(candidate.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (fd >= 0) {
                m_fd = fd;
                m_path = candidate;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    bool writeAll(std::string_view bytes)
    {
        const char* data = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(m_fd, data, left);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            if (written == 0) {
                // Not seen on a regular file; without it the loop would never end.
                errno = EIO;
                return false;
            }
            data += written;
            left -= static_cast<std::size_t>(written);
        }
        return true;
    }

    // Gives the new file the permission bits and owner of the file it replaces.
    void copyModeOf(const struct stat& old)
    {
        ::fchmod(m_fd, old.st_mode & 07777);
        if (::fchown(m_fd, old.st_uid, old.st_gid) != 0) {
            // Only a privileged writer may hand the file to another owner; otherwise
            // the writer owns the new file, as with any edit.
        }
    }

    bool syncAndClose()
    {
        if (::fsync(m_fd) != 0)
            return false;
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

    bool renameTo(const std::string& target)
    {
        if (::rename(m_path.c_str(), target.c_str()) != 0)
            return false;
        m_path.clear();
        return true;
    }

private:
    int m_fd = -1;
    std::string m_path;
};

std::string folderOf(const std::string& path)
{
    const std::size_t start = nameStart(path);
    if (start == 0)
        return ".";
    if (start == 1)
        return "/";
    return path.substr(0, start - 1);
}

// Makes the rename itself durable; a failure here does not undo the replacement.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool fail(std::string* error, const char* what)
{
    if (error)
        *error = std::string(what) + ": " + std::strerror(errno);
    return false;
}

} // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error)
{
    if (path.empty()) {
        errno = ENOENT;
        return fail(error, "empty file name");
    }
    struct stat old = {};
    const bool replacing = ::stat(path.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) {
        errno = EISDIR;
        return fail(error, "not a regular file");
    }
    // A file the process may not write stays as it is, although its folder would let the
    // rename through.
    if (replacing && ::access(path.c_str(), W_OK) != 0)
        return fail(error, "the file is read-only");

    TempFile temp;
    if (!temp.create(path))
        return fail(error, "cannot create a temporary file");
    if (replacing)
        temp.copyModeOf(old);
    if (!temp.writeAll(bytes))
        return fail(error, "cannot write");
    if (!temp.syncAndClose())
        return fail(error, "cannot flush");
    if (!temp.renameTo(path))
        return fail(error, "cannot replace the file");
    syncFolder(folderOf(path));
    return true;
}

} // namespace posix
