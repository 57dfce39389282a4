#include "platform/atomic_file.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// A hidden name in the target's folder; the target's name is shortened so that the
// result stays within the length limit of a file name.
QByteArray temporaryName(const QByteArray& target, unsigned serial)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    const QByteArray name = target.sliced(slash + 1).left(128);
    return folder + '.' + name + '.' + QByteArray::number(::getpid()) + '_' +
           QByteArray::number(serial) + ".tmp";
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
        if (!m_path.isEmpty())
            ::unlink(m_path.constData());
    }

    // Creates a fresh file next to target; the kernel applies the umask to 0666.
    bool create(const QByteArray& target)
    {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray candidate = temporaryName(target, counter.fetch_add(1));
            const int fd = ::open(candidate.constData(),
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

    bool writeAll(const QByteArray& bytes)
    {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(m_fd, data, static_cast<size_t>(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data += written;
            left -= written;
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

    bool renameTo(const QByteArray& target)
    {
        if (::rename(m_path.constData(), target.constData()) != 0)
            return false;
        m_path.clear();
        return true;
    }

private:
    int m_fd = -1;
    QByteArray m_path;
};

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    if (slash == 0)
        return "/";
    return path.left(slash);
}

// Makes the rename itself durable; a failure here does not undo the replacement.
void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool fail(QString* error, const QString& what)
{
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

} // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    const QByteArray target = QFile::encodeName(path);
    if (target.isEmpty()) {
        errno = ENOENT;
        return fail(error, QStringLiteral("empty file name"));
    }
    struct stat old = {};
    const bool replacing = ::stat(target.constData(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) {
        errno = EISDIR;
        return fail(error, QStringLiteral("not a regular file"));
    }
    // A file the process may not write stays as it is, although its folder would let the
    // rename through.
    if (replacing && ::access(target.constData(), W_OK) != 0)
        return fail(error, QStringLiteral("the file is read-only"));

    TempFile temp;
    if (!temp.create(target))
        return fail(error, QStringLiteral("cannot create a temporary file"));
    if (replacing)
        temp.copyModeOf(old);
    if (!temp.writeAll(bytes))
        return fail(error, QStringLiteral("cannot write"));
    if (!temp.syncAndClose())
        return fail(error, QStringLiteral("cannot flush"));
    if (!temp.renameTo(target))
        return fail(error, QStringLiteral("cannot replace the file"));
    syncFolder(folderOf(target));
    return true;
}

} // namespace platform
