// PrinterSetting.INI: the printer registry's loader, and a save/load round trip.
#include "fuzz_util.h"
#include "printers/printer_registry.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = fuzz::WorkFolder() + QStringLiteral("/settings");
    QDir().mkpath(folder);
    const QString iniPath = PrinterRegistry::IniPathOf(folder);
    const QString name = QDir(fuzz::WorkFolder()).relativeFilePath(iniPath);
    fuzz::WriteInput(name, data, size);

    PrinterRegistry registry;
    registry.Load(folder);
    for (const PrinterEntry& entry : registry.Entries()) {
        registry.Find(entry.deviceName, entry.portName);
        registry.SettingsPathOf(entry.deviceName, entry.portName);
    }
    if (registry.Count() > 0 && registry.Save(folder) == registry.Count()) {
        PrinterRegistry again;
        again.Load(folder);
        if (again.Count() != registry.Count())
            __builtin_trap();
    }
    return 0;
}
