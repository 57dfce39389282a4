#include "lang/language_setting.h"

#include "platform/profile.h"
#include "platform/special_folders.h"

#include <QFileInfo>

namespace lang {
namespace {

const QString kSection = QStringLiteral("LANGUAGE");
const QString kKey = QStringLiteral("LANGID");
const QString kEnglish = QStringLiteral("0409");

// The key's value, or a null string when the file or the key is missing.
QString StoredValue(const QString& file)
{
    if (file.isEmpty())
        return {};
    const QString missing = QStringLiteral("\x01");
    const QString value = platform::GetPrivateProfileString(kSection, kKey, missing, file);
    return value == missing ? QString() : value;
}

bool Write(const QString& file, const QString& text)
{
    return !file.isEmpty() && platform::WritePrivateProfileString(kSection, kKey, text, file);
}

} // namespace

QString UserSettingIniPath(const QString& configFolder)
{
    return configFolder.isEmpty() ? QString()
                                  : configFolder + QStringLiteral("/qp60util/SETTING.INI");
}

QString UserSettingIniPath()
{
    return UserSettingIniPath(platform::UserConfigFolder());
}

QString ReadLanguageIdText(const QString& programSettingIni, const QString& userSettingIni)
{
    for (const QString& file : {userSettingIni, programSettingIni}) {
        const QString value = StoredValue(file);
        if (!value.isNull())
            return value;
    }
    return kEnglish;
}

bool SaveLanguageIdText(const QString& programSettingIni, const QString& userSettingIni,
                        const QString& text)
{
    const bool userHoldsChoice = !StoredValue(userSettingIni).isNull();
    if (Write(programSettingIni, text))
        return !userHoldsChoice || Write(userSettingIni, text);
    // An installed copy: the program folder is not the user's to change.
    return !userSettingIni.isEmpty() &&
           platform::CreateFolderPath(QFileInfo(userSettingIni).absolutePath()) &&
           Write(userSettingIni, text);
}

} // namespace lang
