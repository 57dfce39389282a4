#pragma once

#include <QSize>
#include <QString>

#include <optional>

// The main window's size, kept between runs in the user's own SETTING.INI (section
// "MAIN_WINDOW", keys "WIDTH" and "HEIGHT", in pixels), and the rule that fits it to the
// window's minimum and the screen.
namespace mainwnd {

// The size kept in the file; none when the file, a key or a positive number is missing.
std::optional<QSize> ReadMainWindowSize(const QString& userSettingIni);

// Keeps size in the file, creating its folder. False when it could not be written.
bool SaveMainWindowSize(const QString& userSettingIni, const QSize& size);

// wanted, at least minimum and at most available in each direction (an invalid available
// limits nothing); where the screen is smaller than the minimum, the minimum wins.
QSize FitWindowSize(const QSize& wanted, const QSize& minimum, const QSize& available);

} // namespace mainwnd
