#pragma once

#include <QString>

// Where the interface language is kept. The program folder's SETTING.INI carries the
// shipped default (section "LANGUAGE", key "LANGID", "%04X" of the identifier); a user who
// cannot write the program folder (an installed copy) keeps the choice under the same
// section and key in a SETTING.INI of their own configuration folder, which is read over
// the program folder's.
namespace lang {

// The user's own settings file: $XDG_CONFIG_HOME/qp60util/SETTING.INI, or
// ~/.config/qp60util/SETTING.INI when the variable is unset, empty or not absolute.
QString UserSettingIniPath();
// The same below the configuration folder given; empty without one.
QString UserSettingIniPath(const QString& configFolder);

// The language identifier text: the user's file over the program folder's file, "0409"
// when neither holds it. Either path may be empty.
QString ReadLanguageIdText(const QString& programSettingIni, const QString& userSettingIni);

// Keeps the language identifier text. It goes into the program folder's file when that can
// be written, else into the user's file (its folder is created). A user's file that holds
// the key is brought up to date as well, so that it never hides the newer choice. False
// when the choice could not be written anywhere.
bool SaveLanguageIdText(const QString& programSettingIni, const QString& userSettingIni,
                        const QString& text);

} // namespace lang
