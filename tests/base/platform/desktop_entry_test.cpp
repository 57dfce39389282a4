#include "platform/desktop_entry.h"

#include "env_guard.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace platform;

namespace {

class DesktopEntryTest : public ::testing::Test
{
protected:
    QString entry(const QByteArray& text)
    {
        const QString path = m_dir.filePath(QStringLiteral("tool.desktop"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(DesktopEntryTest, TargetIsTheFirstWordOfExec)
{
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Entry]\nType=Application\nName=Tool\n"
                                       "Exec=/opt/VORKA/tool/run %f --x\n")),
              "/opt/VORKA/tool/run");
}

TEST_F(DesktopEntryTest, QuotesAndEscapesAreUndone)
{
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Entry]\n"
                                       "Exec=\"/opt/VORKA/QP Tool/a\\\\\"b\" --arg\n")),
              "/opt/VORKA/QP Tool/a\"b");
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Entry]\nExec=\"/opt/x y/run\"\n")),
              "/opt/x y/run");
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Entry]\nExec=/opt/a\\sb/run\n")), "/opt/a");
}

TEST_F(DesktopEntryTest, OnlyTheDesktopEntryGroupCounts)
{
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Action New]\nExec=/bin/other\n"
                                       "[Desktop Entry]\nTryExec=/bin/try\nExec=/bin/main\n")),
              "/bin/main");
}

TEST_F(DesktopEntryTest, MissingOrBrokenEntriesGiveNothing)
{
    EXPECT_EQ(DesktopEntryTarget(m_dir.filePath("none.desktop")), "");
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Entry]\nName=No exec\n")), "");
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Entry]\nExec=\"/opt/unclosed\n")), "");
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Entry]\nExec=   \n")), "");
}

TEST_F(DesktopEntryTest, BareProgramNamesAreFoundInThePath)
{
    const QString program = m_dir.filePath("vrk-tool");
    QFile file(program);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 0755), 0);
    EnvGuard path("PATH", m_dir.path().toLocal8Bit().constData());
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Entry]\nExec=vrk-tool --go\n")), program);
    EXPECT_EQ(DesktopEntryTarget(entry("[Desktop Entry]\nExec=not-there\n")), "");
}

TEST(StartMenuFoldersTest, FoldersFollowTheXdgVariables)
{
    {
        EnvGuard dirs("XDG_DATA_DIRS", "/a/share/:/b/share");
        EXPECT_EQ(CommonStartMenuFolders(),
                  (QStringList{"/a/share/applications", "/b/share/applications"}));
    }
    EnvGuard dirs("XDG_DATA_DIRS", nullptr);
    EXPECT_EQ(CommonStartMenuFolders(),
              (QStringList{"/usr/local/share/applications", "/usr/share/applications"}));
    {
        EnvGuard home("XDG_DATA_HOME", "/h/data");
        EXPECT_EQ(UserStartMenuFolder(), "/h/data/applications");
    }
    EnvGuard xdgHome("XDG_DATA_HOME", nullptr);
    EnvGuard home("HOME", "/home/t");
    EXPECT_EQ(UserStartMenuFolder(), "/home/t/.local/share/applications");
}

} // namespace
