#include "platform/desktop_entry.h"

#include "platform/profile.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {
namespace {

// Undoes the escapes of a desktop-entry string value: \s \n \t \r \\.
QString unescapeValue(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else if (next == u'\\')
            out += u'\\';
        else
            out += QStringView(value).sliced(i - 1, 2);
    }
    return out;
}

// The first argument of an Exec command line: words are split at spaces; a word may be
// quoted with double quotes, inside which a backslash escapes " ` $ and \.
QString firstArgument(QStringView command)
{
    qsizetype i = 0;
    while (i < command.size() && (command[i] == u' ' || command[i] == u'\t'))
        ++i;
    if (i == command.size())
        return {};
    if (command[i] != u'"') {
        const qsizetype end = command.indexOf(u' ', i);
        return command.sliced(i, (end < 0 ? command.size() : end) - i).toString();
    }
    QString word;
    for (++i; i < command.size(); ++i) {
        const QChar c = command[i];
        if (c == u'"')
            return word;
        if (c == u'\\' && i + 1 < command.size())
            word += command[++i];
        else
            word += c;
    }
    return {}; // no closing quote
}

QString execValue(const QString& path)
{
    // Read by lines rather than as a string value: the value may start and end with
    // quotes that belong to the command line.
    for (const QString& line : GetPrivateProfileSection(QStringLiteral("Desktop Entry"), path)) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && QStringView(line).first(equals) == u"Exec")
            return unescapeValue(QStringView(line).sliced(equals + 1));
    }
    return {};
}

} // namespace

QStringList CommonStartMenuFolders()
{
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    QStringList folders;
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts))
        folders.append(QDir::cleanPath(dir) + QStringLiteral("/applications"));
    return folders;
}

QString UserStartMenuFolder()
{
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(home) + QStringLiteral("/applications");
}

QString DesktopEntryTarget(const QString& path)
{
    const QString program = firstArgument(execValue(path));
    if (program.isEmpty() || program.contains(u'/'))
        return program;
    return QStandardPaths::findExecutable(program);
}

} // namespace platform
