#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace platform {

// Looks up an environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<QString>(const QString& name)>;

// The process environment, with the platform's standard folders that Linux lacks filled
// in: ProgramFiles is /opt unless the environment sets it.
std::optional<QString> ProcessEnvironment(const QString& name);

// Replaces references to environment variables in text: %NAME% as on the original
// platform (the name matches without regard to case when no exact match exists), and
// $NAME and ${NAME} as in a shell. A reference to a variable that is not set, "%%", a
// lone '%' or '$' and an unterminated "${" stay as they are. Values are inserted as they
// are, not expanded again.
QString ExpandEnvironmentStrings(const QString& text,
                                 const EnvironmentLookup& lookup = ProcessEnvironment);

} // namespace platform
