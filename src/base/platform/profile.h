#pragma once

#include <QString>
#include <QStringList>

// The INI profile functions of every settings, language and menu file: case-insensitive
// sections and keys, first match wins, UTF-16LE files (with byte-order
// mark) and 8-bit files (UTF-8, Latin-1 for invalid bytes) both read and written back in
// their own encoding, in-place edits that keep every other byte, atomic writes.
//
// All functions may be called from any thread. Parsed files are cached by path and
// file identity (device, inode, size, change times); a file changed within the last few
// seconds is parsed again on every read, so a change is always seen.
namespace platform {

// The value of key in section, or def (trailing blanks removed) when the file, section
// or key is missing. A value wrapped in one pair of double quotes comes back without them.
QString GetPrivateProfileString(const QString& section, const QString& key, const QString& def,
                                const QString& file);

// The integer value of key: optional sign and decimal digits up to the first other
// character ("42A" reads 42, "B42" reads 0); def when the key is missing or empty.
int GetPrivateProfileInt(const QString& section, const QString& key, int def, const QString& file);

// The section's lines in file order as "key=value" (trimmed, quotes kept); lines without
// '=' as they are; comments and blank lines left out.
QStringList GetPrivateProfileSection(const QString& section, const QString& file);

// Every section name in file order, duplicates included.
QStringList GetPrivateProfileSectionNames(const QString& file);

// Sets key in section to value, creating the section and file when missing; leading
// blanks of the value are dropped. Returns false when the file could not be read or
// written (the old file is then left as it was) and when the request would change the
// file's structure: a line break in section, key or value, or a key that is empty,
// holds '=' or starts with '[' or ';'. Writers in this and other processes take turns.
bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& file);

} // namespace platform
