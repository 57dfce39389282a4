// The INI profile reader: every Get* function on the input, then a write round trip that
// must change the one value written and no other.
#include "fuzz_util.h"
#include "platform/profile.h"

#include <QStringList>

#include <utility>
#include <vector>

using namespace platform;

namespace {

const QString kFuzzKey = QStringLiteral("FuzzKey");

struct Read
{
    QString section;
    QString key;
    QString value;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::WriteInput(QStringLiteral("profile.ini"), data, size);
    const QStringList sections = GetPrivateProfileSectionNames(path);
    std::vector<Read> reads;
    for (const QString& section : sections.mid(0, 8)) {
        const QStringList lines = GetPrivateProfileSection(section, path);
        for (const QString& line : lines.mid(0, 8)) {
            const QString key = line.section(QLatin1Char('='), 0, 0);
            reads.push_back(
                {section, key, GetPrivateProfileString(section, key, QStringLiteral("def"), path)});
            GetPrivateProfileInt(section, key, -7, path);
        }
    }
    GetPrivateProfileString(QStringLiteral("Main"), QStringLiteral("Name"), QString(), path);
    GetPrivateProfileInt(QStringLiteral("Main"), QStringLiteral("Count"), 0, path);

    // Writing a value and reading it back must give the value, whatever else the file holds,
    // and every other value must stay as it was.
    const QString section = sections.isEmpty() ? QStringLiteral("Fuzz") : sections.first();
    if (section.isEmpty() || section.contains(QLatin1Char(']')) || section.trimmed() != section)
        return 0;
    const QString value = QStringLiteral("v%1").arg(size);
    if (!WritePrivateProfileString(section, kFuzzKey, value, path))
        return 0;
    if (GetPrivateProfileString(section, kFuzzKey, QString(), path) != value)
        __builtin_trap();
    for (const Read& read : reads) {
        if (read.key.trimmed().compare(kFuzzKey, Qt::CaseInsensitive) == 0)
            continue;
        if (GetPrivateProfileString(read.section, read.key, QStringLiteral("def"), path) !=
            read.value)
            __builtin_trap();
    }
    return 0;
}
