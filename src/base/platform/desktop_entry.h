#pragma once

#include <QString>
#include <QStringList>

// Start-menu shortcuts are freedesktop desktop entries (.desktop files); the program a
// shortcut starts is the program of its Exec= line.
namespace platform {

// The start-menu folders of all users: "applications" beneath each folder of
// $XDG_DATA_DIRS (default /usr/local/share:/usr/share), in that order.
QStringList CommonStartMenuFolders();

// The current user's start-menu folder: "applications" beneath $XDG_DATA_HOME (default
// ~/.local/share).
QString UserStartMenuFolder();

// The program that the desktop entry at path starts: the first word of the Exec key of
// its [Desktop Entry] group, with the entry's quoting and escapes undone, and looked up in
// $PATH when it names no folder. Empty when the file, the key or the program is missing.
QString DesktopEntryTarget(const QString& path);

} // namespace platform
