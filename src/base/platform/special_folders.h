#pragma once

#include <QString>

// The folders the utility derives at start-up, in place of the platform's special
// folders and module path.
namespace platform {

// The folder of the running executable (from /proc/self/exe), ending with '/'; empty
// when it cannot be determined.
QString ProgramFolder();

// Application data shared by all users: $QP60UTIL_COMMON_APPDATA, else /var/lib.
QString CommonAppDataFolder();

// Application data of the current user: $QP60UTIL_USER_APPDATA, else $XDG_DATA_HOME,
// else ~/.local/share. Empty values of the variables count as unset.
QString UserAppDataFolder();

// Configuration of the current user: $XDG_CONFIG_HOME when it is an absolute path, else
// ~/.config.
QString UserConfigFolder();

// Folder of the single-instance lock and the activation socket: $XDG_RUNTIME_DIR, else
// /tmp.
QString RuntimeFolder();

// Creates every missing level of path, one after the other, with mode 0777 less the
// umask. Returns true when path is a folder at the end (whether or not it was created);
// otherwise false, and *error (when given) names the level that failed and why.
bool CreateFolderPath(const QString& path, QString* error = nullptr);

} // namespace platform
