// The main window's size between runs: what the user's SETTING.INI keeps and how a kept
// size is fitted to the window's minimum and the screen.
#include "mainwnd/main_window_size.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

TEST(MainWindowSize, KeptInTheUsersFileAndReadBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ini = dir.filePath("config/qp60util/SETTING.INI");
    EXPECT_FALSE(mainwnd::ReadMainWindowSize(ini).has_value());
    ASSERT_TRUE(mainwnd::SaveMainWindowSize(ini, QSize(900, 640)));
    EXPECT_EQ(mainwnd::ReadMainWindowSize(ini), QSize(900, 640));
    // A value that is no positive number keeps no size.
    for (const char* width : {"0", "-5", "wide", ""}) {
        ASSERT_TRUE(platform::WritePrivateProfileString("MAIN_WINDOW", "WIDTH", width, ini));
        EXPECT_FALSE(mainwnd::ReadMainWindowSize(ini).has_value()) << width;
    }
    EXPECT_FALSE(mainwnd::SaveMainWindowSize(QString(), QSize(900, 640)));
    EXPECT_FALSE(mainwnd::ReadMainWindowSize(QString()).has_value());
}

TEST(MainWindowSize, FittedBetweenTheMinimumAndTheScreen)
{
    const QSize minimum(796, 523);
    const QSize screen(1280, 800);
    EXPECT_EQ(mainwnd::FitWindowSize({900, 640}, minimum, screen), QSize(900, 640));
    EXPECT_EQ(mainwnd::FitWindowSize({300, 900}, minimum, screen), QSize(796, 800));
    EXPECT_EQ(mainwnd::FitWindowSize({40000, 200}, minimum, screen), QSize(1280, 523));
    EXPECT_EQ(mainwnd::FitWindowSize({900, 640}, minimum, {640, 480}), minimum);
    EXPECT_EQ(mainwnd::FitWindowSize({40000, 640}, minimum, QSize()), QSize(40000, 640));
}

} // namespace
