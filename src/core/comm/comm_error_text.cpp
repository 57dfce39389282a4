#include "comm/comm_error_text.h"

#include "app/fixed_text.h"

#include <qpu/comm_lib.h>

#include <QFileInfo>

#include <grp.h>
#include <sys/stat.h>

namespace {

QString DeviceFolder()
{
    const QString folder = qEnvironmentVariable("QPCOMM_DEV_DIR");
    return folder.isEmpty() ? QStringLiteral("/dev") : folder;
}

QString AccessDenied(const QString& devicePath)
{
    if (devicePath.isEmpty())
        return QStringLiteral("Access to the port was denied.");
    const QString group = OwningGroup(devicePath);
    if (group.isEmpty() || group == QLatin1String("root"))
        return QStringLiteral("Access to %1 was denied.").arg(devicePath);
    return QStringLiteral("Access to %1 was denied: join the group '%2' "
                          "(sudo usermod -aG %2 $USER) and log in again.")
        .arg(devicePath, group);
}

} // namespace

QString CommErrorCause(int32_t result, const QString& devicePath)
{
    switch (result) {
    case QPC_OK:
        return {};
    case QPC_ERR_NOT_BOUND:
        return QStringLiteral("The communication library is not loaded.");
    case QPC_ERR_INVALID_ARGUMENT:
        return QStringLiteral("The port setting is not valid.");
    case QPC_ERR_NOT_OPEN:
        return QStringLiteral("The port is not open.");
    case QPC_ERR_TIMEOUT:
        return QStringLiteral("The printer did not answer in time.");
    case QPC_ERR_NOT_FOUND:
        return devicePath.isEmpty() ? QStringLiteral("The port was not found.")
                                    : QStringLiteral("%1 was not found.").arg(devicePath);
    case QPC_ERR_IO:
        return devicePath.isEmpty()
                   ? QStringLiteral("The connection was refused or the printer cannot be reached.")
                   : QStringLiteral("Reading or writing %1 failed.").arg(devicePath);
    case QPC_ERR_BAD_ANSWER:
        return QStringLiteral("The printer's answer could not be understood.");
    case QPC_ERR_CONNECTION_LOST:
        return QStringLiteral("The connection to the printer was lost.");
    case QPC_ERR_ALREADY_OPEN:
        return QStringLiteral("Another port is already open.");
    case QPC_ERR_PORT_IN_USE:
        return QStringLiteral("The port is in use by another program.");
    case QPC_ERR_ACCESS_DENIED:
        return AccessDenied(devicePath);
    case QPC_ERR_NOT_SUPPORTED:
        return QStringLiteral("The port is not a printer port or the printer does not support "
                              "this.");
    case QPC_ERR_FILE:
        return QStringLiteral("The port list or the backup file cannot be read or written.");
    case QPC_ERR_NO_MEMORY:
        return QStringLiteral("Out of memory.");
    default:
        return QStringLiteral("Communication error 0x%1.")
            .arg(quint32(result), 8, 16, QLatin1Char('0'));
    }
}

QString PortDevicePath(const PortInfo& port)
{
    const QString keyword = FixedText(port.interfaceKeyword);
    if (keyword.isEmpty())
        return FixedText(port.driverPortPath);
    QString name = FixedText(port.portName);
    if (keyword == QLatin1String("NET") || name.isEmpty())
        return {};
    if (name.startsWith(QLatin1Char('/')))
        return name;
    if (keyword == QLatin1String("USB")) {
        if (name.startsWith(QLatin1String("USB-")))
            name = name.mid(4);
        bool isNumber = false;
        const int number = name.toInt(&isNumber);
        if (!isNumber || number < 1)
            return {};
        return DeviceFolder() + QStringLiteral("/usb/lp%1").arg(number - 1);
    }
    return DeviceFolder() + QLatin1Char('/') + name;
}

QString OwningGroup(const QString& path)
{
    struct stat info = {};
    if (::stat(QFileInfo(path).absoluteFilePath().toLocal8Bit().constData(), &info) != 0)
        return {};
    struct group entry = {};
    struct group* found = nullptr;
    char buffer[4096];
    if (::getgrgid_r(info.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr)
        return {};
    return QString::fromLocal8Bit(found->gr_name);
}
