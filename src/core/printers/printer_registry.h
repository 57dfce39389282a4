#pragma once

#include <QList>
#include <QString>

// One registered printer: the device reached on a port, and where the saved copy of its
// settings lives.
struct PrinterEntry
{
    QString deviceName;   // model name as the printer reported it, at most 259 characters
    QString portName;     // port as the user sees it, at most 259 characters
    QString dir;          // sub-folder of the settings folder, "PORT_n"
    QString settingsPath; // "<settings folder>/<dir>/<deviceName>_Setting.DAT"; empty when
                          // the device name or dir cannot be used as a file name
};

// The printers set up in earlier runs, kept in PrinterSetting.INI of the settings folder
// with one numbered sub-folder per printer. Entries are only ever appended; an entry's
// index is its position.
class PrinterRegistry
{
public:
    static constexpr int kMaxTextChars = 259;

    // Appends the entries of PrinterSetting.INI in settingsFolder. Returns the number of
    // entries afterwards; 0 when the file does not exist.
    int Load(const QString& settingsFolder);

    // Registers the pair unless it already is, in the sub-folder PORT_<count>.
    void Add(const QString& settingsFolder, const QString& deviceName, const QString& portName);

    // Index of the first entry with exactly this device and port name, or -1. An empty
    // device name is never found.
    int Find(const QString& deviceName, const QString& portName) const;

    // The pair's settings file, or "" when the pair is not registered or its names cannot
    // form a safe file path.
    QString SettingsPathOf(const QString& deviceName, const QString& portName) const;

    // True when the pair is registered and its settings file exists.
    bool HasSavedSettings(const QString& deviceName, const QString& portName) const;

    // Writes every entry to PrinterSetting.INI in settingsFolder. Returns the number of
    // entries written, 0 when the list is empty (the file is then left alone) or a write
    // failed.
    int Save(const QString& settingsFolder) const;

    void Clear();
    int Count() const { return static_cast<int>(m_entries.size()); }
    const QList<PrinterEntry>& Entries() const { return m_entries; }

    // Name of the registry file in a settings folder.
    static QString IniPathOf(const QString& settingsFolder);

    // True when text can stand as one component of a file path: it shows at least one
    // visible character and holds no '/', '\\' or control character, and is not "." or "..".
    static bool IsSafePathComponent(const QString& text);

    // "<folder>/<dir>/<deviceName>_Setting.DAT", or "" when dir or deviceName is not a
    // safe path component or the path would exceed 259 characters.
    static QString BuildSettingsPath(const QString& settingsFolder, const QString& dir,
                                     const QString& deviceName);

private:
    QList<PrinterEntry> m_entries;
};
