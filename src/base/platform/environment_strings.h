#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace platform {

// Looks up an environment variable; nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<QString>(const QString& name)>;

// The process environment. A name without an exact match matches a variable whose name
// differs only in case (the companion tools' settings name variables in any case);
// ProgramFiles is /opt unless the environment sets it.
std::optional<QString> ProcessEnvironment(const QString& name);

// Replaces references to environment variables in text: %NAME% (the form the companion
// tools' settings use), and $NAME and ${NAME} as in a shell. A reference to a variable that is not
// set, "%%", a lone '%' or '$' and an unterminated "${" stay as they are. Values are inserted as
// they are, not expanded again.
QString ExpandEnvironmentStrings(const QString& text,
                                 const EnvironmentLookup& lookup = ProcessEnvironment);

} // namespace platform
