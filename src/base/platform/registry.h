#pragma once

#include <QString>

#include <optional>

// Read access to system-wide settings that other installed software records, in place of
// the platform registry. They live in one INI file, $QP60UTIL_SYSCONF/registry.ini
// (default /etc/vorka/registry.ini): the section is the key path with '\' between its
// levels, the key is the value name. Names match without regard to case, as in the
// registry.
//
// A value is a plain string unless it is written with the prefix "expand:", which marks a
// string that holds environment references still to be expanded (see
// ExpandEnvironmentStrings); the prefix is not part of the text.
//
//   [SOFTWARE\Vendor\Tool]
//   InstallLocation=/opt/vendor/tool
//   Path=expand:%ProgramFiles%/vendor
namespace platform {

struct RegistryValue
{
    QString text;
    bool expandable = false;
};

// The path of the registry file.
QString RegistryFilePath();

// The value valueName of keyPath; nullopt when the file, the key or the value is missing.
// An empty value is present and empty.
std::optional<RegistryValue> ReadRegistryValue(const QString& keyPath, const QString& valueName);

} // namespace platform
