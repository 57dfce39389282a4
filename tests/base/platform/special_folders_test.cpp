#include "platform/special_folders.h"

#include "env_guard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace platform;

namespace {

TEST(SpecialFoldersTest, ProgramFolderIsTheExecutablesFolderWithASlash)
{
    const QString folder = ProgramFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.endsWith(u'/'));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(QFileInfo::exists(folder + "test_platform"));
}

TEST(SpecialFoldersTest, CommonAppDataFollowsItsVariable)
{
    {
        EnvGuard env("QP60UTIL_COMMON_APPDATA", "/srv/common");
        EXPECT_EQ(CommonAppDataFolder(), "/srv/common");
    }
    {
        EnvGuard env("QP60UTIL_COMMON_APPDATA", "");
        EXPECT_EQ(CommonAppDataFolder(), "/var/lib");
    }
    EnvGuard env("QP60UTIL_COMMON_APPDATA", nullptr);
    EXPECT_EQ(CommonAppDataFolder(), "/var/lib");
}

TEST(SpecialFoldersTest, UserAppDataPrefersOwnVariableThenXdgThenHome)
{
    EnvGuard home("HOME", "/home/tester");
    {
        EnvGuard own("QP60UTIL_USER_APPDATA", "/data/own");
        EnvGuard xdg("XDG_DATA_HOME", "/data/xdg");
        EXPECT_EQ(UserAppDataFolder(), "/data/own");
    }
    {
        EnvGuard own("QP60UTIL_USER_APPDATA", nullptr);
        EnvGuard xdg("XDG_DATA_HOME", "/data/xdg");
        EXPECT_EQ(UserAppDataFolder(), "/data/xdg");
    }
    EnvGuard own("QP60UTIL_USER_APPDATA", "");
    EnvGuard xdg("XDG_DATA_HOME", "");
    EXPECT_EQ(UserAppDataFolder(), "/home/tester/.local/share");
}

TEST(SpecialFoldersTest, RuntimeFolderFallsBackToTmp)
{
    {
        EnvGuard env("XDG_RUNTIME_DIR", "/run/user/1234");
        EXPECT_EQ(RuntimeFolder(), "/run/user/1234");
    }
    EnvGuard env("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(RuntimeFolder(), "/tmp");
}

TEST(SpecialFoldersTest, CreateFolderPathCreatesEachLevel)
{
    QTemporaryDir dir;
    const QString deep = dir.filePath("VORKA/QP60Utl/TMP");
    QString error;
    ASSERT_TRUE(CreateFolderPath(deep, &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(deep).isDir());
    EXPECT_TRUE(CreateFolderPath(deep + "/")); // existing: still true
    EXPECT_TRUE(CreateFolderPath("/"));
}

TEST(SpecialFoldersTest, CreateFolderPathReportsTheLevelThatFailed)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath("VORKA"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where a folder should be
    blocker.close();
    QString error;
    EXPECT_FALSE(CreateFolderPath(dir.filePath("VORKA/QP60Utl"), &error));
    EXPECT_TRUE(error.startsWith(dir.filePath("VORKA") + ":")) << error.toStdString();
    EXPECT_FALSE(CreateFolderPath(QString(), &error));
}

} // namespace
