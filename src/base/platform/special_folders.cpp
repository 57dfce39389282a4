#include "platform/special_folders.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QString environment(const char* name)
{
    return qEnvironmentVariable(name);
}

bool isFolder(const QByteArray& path)
{
    struct stat st = {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

QString ProgramFolder()
{
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const qsizetype slash = exe.lastIndexOf(u'/');
    if (slash < 0)
        return {};
    return exe.left(slash + 1);
}

QString CommonAppDataFolder()
{
    const QString custom = environment("QP60UTIL_COMMON_APPDATA");
    return custom.isEmpty() ? QStringLiteral("/var/lib") : custom;
}

QString UserAppDataFolder()
{
    for (const char* name : {"QP60UTIL_USER_APPDATA", "XDG_DATA_HOME"}) {
        const QString value = environment(name);
        if (!value.isEmpty())
            return value;
    }
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QString UserConfigFolder()
{
    const QString config = environment("XDG_CONFIG_HOME");
    if (!config.isEmpty() && QDir::isAbsolutePath(config))
        return config;
    return QDir::homePath() + QStringLiteral("/.config");
}

QString RuntimeFolder()
{
    const QString runtime = environment("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QStringLiteral("/tmp") : runtime;
}

bool CreateFolderPath(const QString& path, QString* error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("empty folder name");
        return false;
    }
    const QByteArray native = QFile::encodeName(QDir::cleanPath(path));
    // Walk the levels from the root down; each '/' after the first character ends one.
    for (qsizetype end = 1; end <= native.size(); ++end) {
        if (end < native.size() && native[end] != '/')
            continue;
        const QByteArray level = native.left(end);
        if (::mkdir(level.constData(), 0777) == 0)
            continue;
        const int mkdirError = errno == EEXIST ? ENOTDIR : errno;
        // Levels that exist already, writable or not, are passed through.
        if (isFolder(level))
            continue;
        if (error) {
            *error = QFile::decodeName(level) + QStringLiteral(": ") +
                     QString::fromLocal8Bit(std::strerror(mkdirError));
        }
        return false;
    }
    return true;
}

} // namespace platform
