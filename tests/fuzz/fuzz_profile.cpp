// The INI profile reader: every Get* function on the input, then a write round trip.
#include "fuzz_util.h"
#include "platform/profile.h"

#include <QStringList>

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::WriteInput(QStringLiteral("profile.ini"), data, size);
    const QStringList sections = GetPrivateProfileSectionNames(path);
    for (const QString& section : sections.mid(0, 8)) {
        const QStringList lines = GetPrivateProfileSection(section, path);
        for (const QString& line : lines.mid(0, 8)) {
            const QString key = line.section(QLatin1Char('='), 0, 0);
            GetPrivateProfileString(section, key, QStringLiteral("def"), path);
            GetPrivateProfileInt(section, key, -7, path);
        }
    }
    GetPrivateProfileString(QStringLiteral("Main"), QStringLiteral("Name"), QString(), path);
    GetPrivateProfileInt(QStringLiteral("Main"), QStringLiteral("Count"), 0, path);

    // Writing a value and reading it back must give the value, whatever else the file holds.
    const QString section = sections.isEmpty() ? QStringLiteral("Fuzz") : sections.first();
    if (!section.isEmpty() && !section.contains(QLatin1Char(']')) && section.trimmed() == section) {
        const QString value = QStringLiteral("v%1").arg(size);
        if (WritePrivateProfileString(section, QStringLiteral("FuzzKey"), value, path)) {
            const QString back =
                GetPrivateProfileString(section, QStringLiteral("FuzzKey"), QString(), path);
            if (back != value)
                __builtin_trap();
        }
    }
    return 0;
}
