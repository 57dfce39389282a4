// PrinterSetting.INI: the printer registry's loader, and a save/load round trip.
#include "fuzz_util.h"
#include "printers/printer_registry.h"

#include <QDir>

namespace {

// A settings path is empty or names a file directly inside the entry's own sub-folder.
void CheckSettingsPath(const QString& folder, const PrinterEntry& entry)
{
    if (entry.deviceName.size() > PrinterRegistry::kMaxTextChars ||
        entry.portName.size() > PrinterRegistry::kMaxTextChars ||
        entry.settingsPath.size() > PrinterRegistry::kMaxTextChars)
        __builtin_trap();
    if (entry.settingsPath.isEmpty())
        return;
    const QString expected = folder + QLatin1Char('/') + entry.dir + QLatin1Char('/') +
                             entry.deviceName + QStringLiteral("_Setting.DAT");
    if (entry.settingsPath != expected || QDir::cleanPath(entry.settingsPath) != expected ||
        QFileInfo(entry.settingsPath).absolutePath() != folder + QLatin1Char('/') + entry.dir)
        __builtin_trap();
}

// Values written back are read back as they were, except a value in quotes: the profile
// reader takes one pair of enclosing quotes away, as the INI format does.
bool Quoted(const QString& value)
{
    return value.size() >= 2 && value.front() == u'"' && value.back() == u'"';
}

bool SameEntries(const PrinterRegistry& a, const PrinterRegistry& b)
{
    for (int i = 0; i < a.Count(); ++i) {
        const PrinterEntry& x = a.Entries().at(i);
        const PrinterEntry& y = b.Entries().at(i);
        if (Quoted(x.deviceName) || Quoted(x.portName) || Quoted(x.dir))
            continue;
        if (x.deviceName != y.deviceName || x.portName != y.portName || x.dir != y.dir ||
            x.settingsPath != y.settingsPath)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = fuzz::WorkFolder() + QStringLiteral("/settings");
    QDir().mkpath(folder);
    const QString iniPath = PrinterRegistry::IniPathOf(folder);
    const QString name = QDir(fuzz::WorkFolder()).relativeFilePath(iniPath);
    fuzz::WriteInput(name, data, size);

    PrinterRegistry registry;
    registry.Load(folder);
    // Every entry comes from a section of its own: a huge COUNT cannot make more.
    const qsizetype sections =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
            .count('[');
    if (registry.Count() > sections)
        __builtin_trap();
    for (const PrinterEntry& entry : registry.Entries()) {
        CheckSettingsPath(folder, entry);
        registry.Find(entry.deviceName, entry.portName);
        registry.SettingsPathOf(entry.deviceName, entry.portName);
    }
    if (registry.Count() > 0 && registry.Save(folder) == registry.Count()) {
        PrinterRegistry again;
        again.Load(folder);
        if (again.Count() != registry.Count() || !SameEntries(registry, again))
            __builtin_trap();
    }
    return 0;
}
