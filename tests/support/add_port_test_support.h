#pragma once
// Shared by the add-port tests: an environment of temporary folders in place of the
// system's (registry stand-in, start menus, program files, common application data,
// device folder, runtime folder), and helpers to lay out companion tools in it.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>

// Readable QString values in test failures.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace addporttest {

// Sets an environment variable for the life of the object and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QString& value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_old = qgetenv(name);
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnv()
    {
        if (m_old)
            qputenv(m_name.c_str(), *m_old);
        else
            qunsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<QByteArray> m_old;
};

inline bool WriteFile(const QString& path, const QByteArray& content, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(content);
    file.close();
    if (executable)
        ::chmod(QFile::encodeName(path).constData(), 0755);
    return true;
}

// The temporary system: every lookup of the companion tools and the library lands here.
class FakeSystem
{
public:
    FakeSystem()
        : m_sysconf("QP60UTIL_SYSCONF", Path("etc")),
          m_dataHome("XDG_DATA_HOME", Path("home/.local/share")),
          m_dataDirs("XDG_DATA_DIRS", Path("usr/local/share") + u':' + Path("usr/share")),
          m_programFiles("ProgramFiles", Path("opt")),
          m_appData("QP60UTIL_COMMON_APPDATA", Path("var/lib")),
          m_devDir("QPCOMM_DEV_DIR", Path("dev")), m_sysDir("QPCOMM_SYS_DIR", Path("sys")),
          m_runtime("XDG_RUNTIME_DIR", Path("run"))
    {
        for (const char* folder : {"etc", "opt", "var/lib", "dev", "sys", "run",
                                   "home/.local/share", "usr/share", "usr/local/share"})
            QDir().mkpath(Path(folder));
        ::chmod(QFile::encodeName(Path("run")).constData(), 0700);
    }

    QString Path(const QString& relative) const { return m_root.path() + u'/' + relative; }
    QString Path(const char* relative) const { return Path(QString::fromUtf8(relative)); }

    // Writes registry.ini with the given "[key]\nvalue=..." text.
    void SetRegistry(const QByteArray& text) const { WriteFile(Path("etc/registry.ini"), text); }

    // A shell script that appends its name to a log and, when given, runs body first.
    QString AddScript(const QString& relative, const QByteArray& body = {}) const
    {
        const QString path = Path(relative);
        WriteFile(path, "#!/bin/sh\n" + body + "\n", true);
        return path;
    }

    // A desktop entry whose Exec= starts program.
    QString AddDesktopEntry(const QString& relative, const QString& program) const
    {
        const QString path = Path(relative);
        WriteFile(path, "[Desktop Entry]\nType=Application\nName=Tool\nExec=\"" + program.toUtf8() +
                            "\" %f\n");
        return path;
    }

private:
    QTemporaryDir m_root;
    ScopedEnv m_sysconf;
    ScopedEnv m_dataHome;
    ScopedEnv m_dataDirs;
    ScopedEnv m_programFiles;
    ScopedEnv m_appData;
    ScopedEnv m_devDir;
    ScopedEnv m_sysDir;
    ScopedEnv m_runtime;
};

inline constexpr char kNetworkToolKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "{6D1C2A47-91B3-4E08-A5F2-3C7B9E140D58}";
inline constexpr char kPortToolKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\VrkCa.exe";

} // namespace addporttest
