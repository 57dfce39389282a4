#include "platform/environment_strings.h"
#include "platform/registry.h"

#include "env_guard.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace platform;

namespace {

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile file(m_dir.filePath("registry.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[SOFTWARE\\Vendor\\Uninstall\\{6D1C2A47}]\n"
                   "InstallLocation=/opt/vendor/net\n"
                   "Empty=\n"
                   "[SOFTWARE\\Vendor\\App Paths\\Tool.exe]\n"
                   "Path=expand:%ProgramFiles%/vendor\n");
    }

    QTemporaryDir m_dir;
    EnvGuard m_env{"QP60UTIL_SYSCONF", m_dir.path().toLocal8Bit().constData()};
};

TEST_F(RegistryTest, FileLiesInTheConfiguredFolder)
{
    EXPECT_EQ(RegistryFilePath(), m_dir.filePath("registry.ini"));
    EnvGuard unset("QP60UTIL_SYSCONF", nullptr);
    EXPECT_EQ(RegistryFilePath(), "/etc/vorka/registry.ini");
}

TEST_F(RegistryTest, ValuesAreFoundByKeyPathAndNameWithoutCase)
{
    const auto value =
        ReadRegistryValue("software\\VENDOR\\uninstall\\{6d1c2a47}", "installlocation");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->text, "/opt/vendor/net");
    EXPECT_FALSE(value->expandable);
}

TEST_F(RegistryTest, ExpandableValuesAreMarked)
{
    const auto value = ReadRegistryValue("SOFTWARE\\Vendor\\App Paths\\Tool.exe", "Path");
    ASSERT_TRUE(value);
    EXPECT_TRUE(value->expandable);
    EXPECT_EQ(value->text, "%ProgramFiles%/vendor");
}

TEST_F(RegistryTest, MissingDiffersFromEmpty)
{
    const auto empty = ReadRegistryValue("SOFTWARE\\Vendor\\Uninstall\\{6D1C2A47}", "Empty");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->text.isEmpty());
    EXPECT_FALSE(ReadRegistryValue("SOFTWARE\\Vendor\\Uninstall\\{6D1C2A47}", "Nope"));
    EXPECT_FALSE(ReadRegistryValue("SOFTWARE\\Other", "Path"));
    EnvGuard elsewhere("QP60UTIL_SYSCONF", m_dir.filePath("none").toLocal8Bit().constData());
    EXPECT_FALSE(ReadRegistryValue("SOFTWARE\\Vendor\\App Paths\\Tool.exe", "Path"));
}

std::optional<QString> fakeEnvironment(const QString& name)
{
    static const std::map<QString, QString> values{
        {"HOME", "/home/u"}, {"ProgramFiles", "/opt"}, {"EMPTY", ""}, {"PCT", "%HOME%"}};
    const auto it = values.find(name);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

TEST(EnvironmentStringsTest, PercentAndDollarReferencesAreExpanded)
{
    EXPECT_EQ(ExpandEnvironmentStrings("%ProgramFiles%/VORKA/x", fakeEnvironment), "/opt/VORKA/x");
    EXPECT_EQ(ExpandEnvironmentStrings("$HOME/a ${HOME}b", fakeEnvironment), "/home/u/a /home/ub");
    EXPECT_EQ(ExpandEnvironmentStrings("[%EMPTY%][$EMPTY]", fakeEnvironment), "[][]");
    EXPECT_EQ(ExpandEnvironmentStrings("%HOME%%HOME%", fakeEnvironment), "/home/u/home/u");
}

TEST(EnvironmentStringsTest, UnknownAndIncompleteReferencesStay)
{
    EXPECT_EQ(ExpandEnvironmentStrings("%NOPE%/x", fakeEnvironment), "%NOPE%/x");
    EXPECT_EQ(ExpandEnvironmentStrings("100%", fakeEnvironment), "100%");
    EXPECT_EQ(ExpandEnvironmentStrings("a%%b", fakeEnvironment), "a%%b");
    EXPECT_EQ(ExpandEnvironmentStrings("$NOPE ${NOPE} $ $1 ${HOME", fakeEnvironment),
              "$NOPE ${NOPE} $ $1 ${HOME");
    EXPECT_EQ(ExpandEnvironmentStrings("${}", fakeEnvironment), "${}");
}

TEST(EnvironmentStringsTest, ValuesAreNotExpandedAgain)
{
    EXPECT_EQ(ExpandEnvironmentStrings("%PCT%", fakeEnvironment), "%HOME%");
}

TEST(EnvironmentStringsTest, ProcessEnvironmentMatchesPercentNamesWithoutCaseAndKnowsProgramFiles)
{
    EnvGuard var("QPU_TEST_Mixed", "value");
    EnvGuard programFiles("ProgramFiles", nullptr);
    EXPECT_EQ(ExpandEnvironmentStrings("%qpu_test_mixed%"), "value");
    EXPECT_EQ(ExpandEnvironmentStrings("%ProgramFiles%/VORKA"), "/opt/VORKA");
    EnvGuard custom("ProgramFiles", "/usr/local");
    EXPECT_EQ(ExpandEnvironmentStrings("%ProgramFiles%/VORKA"), "/usr/local/VORKA");
}

} // namespace
