#include "platform/registry.h"

#include "platform/profile.h"

namespace platform {
namespace {

// No value can hold a line break, so this default shows that the value is missing.
const QString kMissing = QStringLiteral("\n");
const QString kExpandPrefix = QStringLiteral("expand:");

} // namespace

QString RegistryFilePath()
{
    const QString folder = qEnvironmentVariable("QP60UTIL_SYSCONF");
    return (folder.isEmpty() ? QStringLiteral("/etc/vorka") : folder) +
           QStringLiteral("/registry.ini");
}

std::optional<RegistryValue> ReadRegistryValue(const QString& keyPath, const QString& valueName)
{
    const QString text = GetPrivateProfileString(keyPath, valueName, kMissing, RegistryFilePath());
    if (text == kMissing)
        return std::nullopt;
    if (text.startsWith(kExpandPrefix))
        return RegistryValue{text.sliced(kExpandPrefix.size()), true};
    return RegistryValue{text, false};
}

} // namespace platform
