#include "app/startup_rules.h"

#include "app/command_line.h"
#include "app/fixed_text.h"
#include "platform/special_folders.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace startup {

namespace {

constexpr int kMaxLanguageIdChars = 8;

// "%s/%s": a level below folder, or nothing when there is no folder to start from.
QString Below(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return {};
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString ExistingOrCreated(const QString& folder)
{
    if (folder.isEmpty() || !platform::CreateFolderPath(folder))
        return {};
    return folder;
}

int HexDigitValue(QChar ch)
{
    const char16_t unit = ch.unicode();
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'a' && unit <= u'f')
        return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F')
        return unit - u'A' + 10;
    return -1;
}

} // namespace

int LanguageIdFromText(const QString& text)
{
    if (text.size() > kMaxLanguageIdChars)
        return 0;
    quint32 number = 0;
    for (const QChar ch : text) {
        const int digit = HexDigitValue(ch);
        if (digit < 0)
            return 0;
        number = number * 16 + static_cast<quint32>(digit);
    }
    return static_cast<int>(number);
}

StartupPaths DeriveStartupPaths(const QString& programFolder, const QString& commonAppData,
                                const QString& userAppData)
{
    StartupPaths paths;
    paths.programFolder = programFolder;
    if (!programFolder.isEmpty() && !programFolder.endsWith(QLatin1Char('/')))
        paths.programFolder += QLatin1Char('/');
    if (!paths.programFolder.isEmpty()) {
        paths.languageFolder = paths.programFolder + QStringLiteral("LANG");
        paths.settingIni = paths.programFolder + QStringLiteral("SETTING.INI");
    }
    paths.settingsFolder =
        Below(Below(commonAppData, QStringLiteral("VORKA")), QStringLiteral("QP60Utl"));
    paths.tempFolder = Below(paths.settingsFolder, QStringLiteral("TMP"));
    paths.userFolder =
        Below(Below(userAppData, QStringLiteral("VORKA")), QStringLiteral("QP60Utl"));
    paths.logoFile = Below(paths.userFolder, QStringLiteral("R60LOGO.qlg"));
    return paths;
}

StartupPaths CreateStartupFolders(StartupPaths paths)
{
    paths.settingsFolder = ExistingOrCreated(paths.settingsFolder);
    paths.tempFolder =
        paths.settingsFolder.isEmpty() ? QString() : ExistingOrCreated(paths.tempFolder);
    paths.userFolder = ExistingOrCreated(paths.userFolder);
    if (paths.userFolder.isEmpty())
        paths.logoFile.clear();
    return paths;
}

PrinterChoice ChoosePrinterCase(int startMode, const QString& driverPortName,
                                const QString& portPath)
{
    if (startMode == kStartModeNoPrinter)
        return PrinterChoice::NoPrinter;
    if (!driverPortName.isEmpty()) {
        return driverPortName.contains(QStringView(kDriverPortMark), Qt::CaseSensitive)
                   ? PrinterChoice::DriverPort
                   : PrinterChoice::DriverPortRejected;
    }
    if (startMode == kStartModePortPath && !portPath.isEmpty())
        return PrinterChoice::PortPath;
    return PrinterChoice::Dialog;
}

bool UsesSettingsFile(int startMode, int callerType)
{
    return (callerType == 0 && startMode == kStartModeNormal) || startMode == kStartModeNoPrinter;
}

QString SetDamagedFileAside(const QString& path)
{
    constexpr int kMaxCopies = 999;
    for (int n = 1; n <= kMaxCopies; ++n) {
        const QString aside = path + QStringLiteral(".corrupt-%1").arg(n);
        if (QFileInfo::exists(aside) || QFileInfo(aside).isSymLink())
            continue;
        // QFile::rename never replaces a file that has the new name.
        if (QFile::rename(path, aside))
            return aside;
        // Only a name taken meanwhile is worth another try.
        if (!QFileInfo::exists(aside))
            break;
    }
    return {};
}

QString RemoveOldLogoFile(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QByteArray native = QFile::encodeName(path);
    if (::unlink(native.constData()) == 0 || errno == ENOENT)
        return {};
    return QString::fromLocal8Bit(std::strerror(errno)) + QLatin1Char('.');
}

int LibraryCallerType(int callerType)
{
    return callerType >= 1 && callerType <= 4 ? callerType : 0;
}

bool MakePortPathRecord(const QString& portPath, PortInfo& record)
{
    std::memset(&record, 0, sizeof record);
    record.reserved1 = -1;
    record.reserved2 = -1;
    record.driverPortFlag = 1;
    return SetFixedText(record.driverPortPath, portPath);
}

} // namespace startup
