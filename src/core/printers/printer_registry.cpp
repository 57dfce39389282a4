#include "printers/printer_registry.h"

#include "platform/profile.h"

#include <QFileInfo>

#include <algorithm>

namespace {

const QString kIniFileName = QStringLiteral("PrinterSetting.INI");
const QString kInfoSection = QStringLiteral("INFO");
const QString kCountKey = QStringLiteral("COUNT");
const QString kDeviceNameKey = QStringLiteral("DeviceName");
const QString kPortNameKey = QStringLiteral("PortName");
const QString kDirKey = QStringLiteral("Dir");
const QString kSettingsFileSuffix = QStringLiteral("_Setting.DAT");

QString PortSectionName(int index)
{
    return QStringLiteral("PORT_%1").arg(index);
}

QString JoinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString ReadText(const QString& section, const QString& key, const QString& iniPath)
{
    return platform::GetPrivateProfileString(section, key, QString(), iniPath)
        .left(PrinterRegistry::kMaxTextChars);
}

} // namespace

QString PrinterRegistry::IniPathOf(const QString& settingsFolder)
{
    return JoinPath(settingsFolder, kIniFileName);
}

bool PrinterRegistry::IsSafePathComponent(const QString& text)
{
    if (text == QLatin1String(".") || text == QLatin1String(".."))
        return false;
    bool visible = false;
    for (const char32_t ch : text.toUcs4()) {
        if (ch == U'/' || ch == U'\\' || QChar::category(ch) == QChar::Other_Control)
            return false;
        if (QChar::isPrint(ch) && !QChar::isSpace(ch))
            visible = true;
    }
    return visible;
}

QString PrinterRegistry::BuildSettingsPath(const QString& settingsFolder, const QString& dir,
                                           const QString& deviceName)
{
    if (!IsSafePathComponent(dir) || !IsSafePathComponent(deviceName))
        return QString();
    const QString path = JoinPath(JoinPath(settingsFolder, dir), deviceName + kSettingsFileSuffix);
    if (path.size() > kMaxTextChars)
        return QString();
    return path;
}

int PrinterRegistry::Load(const QString& settingsFolder)
{
    const QString iniPath = IniPathOf(settingsFolder);
    if (!QFileInfo(iniPath).isFile())
        return 0;

    const int count = platform::GetPrivateProfileInt(kInfoSection, kCountKey, 0, iniPath);
    if (count <= 0)
        return Count();

    // A missing PORT_i section still yields an (empty) entry, but a hand-edited COUNT far
    // beyond what the file holds must not make the load run for ever: the file cannot
    // describe more entries than it has sections.
    const qsizetype sectionCount = platform::GetPrivateProfileSectionNames(iniPath).size();
    const int bounded = static_cast<int>(std::min<qsizetype>(count, sectionCount));

    m_entries.reserve(m_entries.size() + bounded);
    for (int i = 0; i < bounded; ++i) {
        const QString section = PortSectionName(i);
        PrinterEntry entry;
        entry.deviceName = ReadText(section, kDeviceNameKey, iniPath);
        entry.portName = ReadText(section, kPortNameKey, iniPath);
        entry.dir = ReadText(section, kDirKey, iniPath);
        entry.settingsPath = BuildSettingsPath(settingsFolder, entry.dir, entry.deviceName);
        m_entries.append(entry);
    }
    return Count();
}

void PrinterRegistry::Add(const QString& settingsFolder, const QString& deviceName,
                          const QString& portName)
{
    if (Find(deviceName, portName) >= 0)
        return;
    PrinterEntry entry;
    entry.deviceName = deviceName.left(kMaxTextChars);
    entry.portName = portName.left(kMaxTextChars);
    entry.dir = PortSectionName(Count());
    entry.settingsPath = BuildSettingsPath(settingsFolder, entry.dir, entry.deviceName);
    m_entries.append(entry);
}

int PrinterRegistry::Find(const QString& deviceName, const QString& portName) const
{
    if (deviceName.isEmpty())
        return -1;
    for (int i = 0; i < Count(); ++i) {
        const PrinterEntry& entry = m_entries.at(i);
        if (entry.deviceName == deviceName && entry.portName == portName)
            return i;
    }
    return -1;
}

QString PrinterRegistry::SettingsPathOf(const QString& deviceName, const QString& portName) const
{
    const int index = Find(deviceName, portName);
    return index < 0 ? QString() : m_entries.at(index).settingsPath;
}

bool PrinterRegistry::HasSavedSettings(const QString& deviceName, const QString& portName) const
{
    const QString path = SettingsPathOf(deviceName, portName);
    return !path.isEmpty() && QFileInfo(path).isFile();
}

int PrinterRegistry::Save(const QString& settingsFolder) const
{
    if (m_entries.isEmpty())
        return 0;
    const QString iniPath = IniPathOf(settingsFolder);

    // COUNT is written last, so that an interrupted save never announces sections that
    // are not written yet. A new file still gets INFO as its first section.
    bool written = true;
    const QString missing = QStringLiteral("\x01");
    if (platform::GetPrivateProfileString(kInfoSection, kCountKey, missing, iniPath) == missing)
        written = platform::WritePrivateProfileString(kInfoSection, kCountKey, QStringLiteral("0"),
                                                      iniPath);
    for (int i = 0; written && i < Count(); ++i) {
        const PrinterEntry& entry = m_entries.at(i);
        const QString section = PortSectionName(i);
        written =
            platform::WritePrivateProfileString(section, kDeviceNameKey, entry.deviceName,
                                                iniPath) &&
            platform::WritePrivateProfileString(section, kPortNameKey, entry.portName, iniPath) &&
            platform::WritePrivateProfileString(section, kDirKey, entry.dir, iniPath);
    }
    if (written)
        written = platform::WritePrivateProfileString(kInfoSection, kCountKey,
                                                      QString::number(Count()), iniPath);
    return written ? Count() : 0;
}

void PrinterRegistry::Clear()
{
    m_entries.clear();
}
