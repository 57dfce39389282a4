#include "mainwnd/main_window_size.h"

#include "platform/profile.h"
#include "platform/special_folders.h"

#include <QFileInfo>

#include <algorithm>

namespace mainwnd {
namespace {

const QString kSection = QStringLiteral("MAIN_WINDOW");
const QString kWidthKey = QStringLiteral("WIDTH");
const QString kHeightKey = QStringLiteral("HEIGHT");

int Fit(int wanted, int minimum, int available)
{
    const int upper = available > 0 ? available : wanted;
    return std::max(minimum, std::min(wanted, upper));
}

} // namespace

std::optional<QSize> ReadMainWindowSize(const QString& userSettingIni)
{
    if (userSettingIni.isEmpty())
        return std::nullopt;
    const int width = platform::GetPrivateProfileInt(kSection, kWidthKey, 0, userSettingIni);
    const int height = platform::GetPrivateProfileInt(kSection, kHeightKey, 0, userSettingIni);
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return QSize(width, height);
}

bool SaveMainWindowSize(const QString& userSettingIni, const QSize& size)
{
    return !userSettingIni.isEmpty() && size.isValid() &&
           platform::CreateFolderPath(QFileInfo(userSettingIni).absolutePath()) &&
           platform::WritePrivateProfileString(kSection, kWidthKey, QString::number(size.width()),
                                               userSettingIni) &&
           platform::WritePrivateProfileString(kSection, kHeightKey, QString::number(size.height()),
                                               userSettingIni);
}

QSize FitWindowSize(const QSize& wanted, const QSize& minimum, const QSize& available)
{
    return QSize(Fit(wanted.width(), minimum.width(), available.width()),
                 Fit(wanted.height(), minimum.height(), available.height()));
}

} // namespace mainwnd
