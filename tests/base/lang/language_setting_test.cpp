// Where the language choice is read from and written to: the program folder's SETTING.INI
// holds the shipped default, the user's own configuration file holds the choice of a user
// who cannot write the program folder, and is read over it.
#include "lang/language_setting.h"

#include "platform/profile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <grp.h>
#include <ostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Texts in failure messages as text, not as code units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Runs check in a child process as a user without special rights (when the test runs as
// root it changes to the unprivileged user "nobody"); true when check answered true.
bool RunAsOrdinaryUser(const std::function<bool()>& check)
{
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class LanguageSettingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // The child of RunAsOrdinaryUser must reach the files.
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath("program")));
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath("config")));
        Write(ProgramIni(), "; shipped\n[LANGUAGE]\nLANGID=0409\n\n[Font]\nEnableFontA=1\n");
    }

    QString ProgramIni() const { return m_dir.filePath("program/SETTING.INI"); }
    QString UserIni() const { return m_dir.filePath("config/qp60util/SETTING.INI"); }

    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The program folder as installed: nobody but its owner (root) may change it.
    void MakeProgramFolderReadOnly()
    {
        ASSERT_EQ(::chmod(QFile::encodeName(ProgramIni()).constData(), 0644), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(m_dir.filePath("program")).constData(), 0555), 0);
        // The user's own configuration folder belongs to that user.
        if (::geteuid() == 0) {
            ASSERT_EQ(
                ::chown(QFile::encodeName(m_dir.filePath("config")).constData(), 65534, 65534), 0);
        }
    }

    QTemporaryDir m_dir;
};

TEST_F(LanguageSettingTest, UserFileIsReadOverTheShippedDefault)
{
    EXPECT_EQ(lang::ReadLanguageIdText(ProgramIni(), UserIni()), QStringLiteral("0409"));
    ASSERT_TRUE(QDir().mkpath(m_dir.filePath("config/qp60util")));
    Write(UserIni(), "[LANGUAGE]\nLANGID=0411\n");
    EXPECT_EQ(lang::ReadLanguageIdText(ProgramIni(), UserIni()), QStringLiteral("0411"));
    // A user file without the key leaves the shipped value; without any file: English.
    Write(UserIni(), "[MAIN_WINDOW]\nWIDTH=900\n");
    EXPECT_EQ(lang::ReadLanguageIdText(ProgramIni(), UserIni()), QStringLiteral("0409"));
    EXPECT_EQ(lang::ReadLanguageIdText(QString(), QString()), QStringLiteral("0409"));
}

TEST_F(LanguageSettingTest, WritableProgramFolderTakesTheChoice)
{
    ASSERT_TRUE(lang::SaveLanguageIdText(ProgramIni(), UserIni(), QStringLiteral("0407")));
    EXPECT_EQ(Read(ProgramIni()),
              QByteArray("; shipped\n[LANGUAGE]\nLANGID=0407\n\n[Font]\nEnableFontA=1\n"));
    EXPECT_FALSE(QFile::exists(UserIni()));
    EXPECT_EQ(lang::ReadLanguageIdText(ProgramIni(), UserIni()), QStringLiteral("0407"));

    // A choice kept in the user's file earlier is brought up to date as well, so that it
    // never hides the newer one.
    ASSERT_TRUE(QDir().mkpath(m_dir.filePath("config/qp60util")));
    Write(UserIni(), "[LANGUAGE]\nLANGID=0411\n");
    ASSERT_TRUE(lang::SaveLanguageIdText(ProgramIni(), UserIni(), QStringLiteral("0409")));
    EXPECT_EQ(lang::ReadLanguageIdText(ProgramIni(), UserIni()), QStringLiteral("0409"));
}

// An installed copy: the program folder is read-only and the user cannot write it. The
// choice goes to the user's own file, the shipped file stays as it was, and the next start
// reads the choice.
TEST_F(LanguageSettingTest, ReadOnlyProgramFolderKeepsTheChoiceInTheUsersFile)
{
    MakeProgramFolderReadOnly();
    const QByteArray shipped = Read(ProgramIni());
    const QString program = ProgramIni();
    const QString user = UserIni();
    EXPECT_TRUE(RunAsOrdinaryUser([&] {
        return lang::SaveLanguageIdText(program, user, QStringLiteral("0411")) &&
               lang::ReadLanguageIdText(program, user) == QLatin1String("0411");
    }));
    EXPECT_EQ(Read(ProgramIni()), shipped);
    EXPECT_EQ(platform::GetPrivateProfileString("LANGUAGE", "LANGID", "", UserIni()),
              QStringLiteral("0411"));
    EXPECT_EQ(lang::ReadLanguageIdText(ProgramIni(), UserIni()), QStringLiteral("0411"));

    // Neither place writable: the failure is reported.
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.filePath("config/qp60util")).constData(), 0555), 0);
    EXPECT_TRUE(RunAsOrdinaryUser(
        [&] { return !lang::SaveLanguageIdText(program, user, QStringLiteral("0407")); }));
    EXPECT_EQ(lang::ReadLanguageIdText(ProgramIni(), UserIni()), QStringLiteral("0411"));
}

TEST_F(LanguageSettingTest, UserFileLivesInTheConfigurationFolder)
{
    qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
    EXPECT_EQ(lang::UserSettingIniPath(), UserIni());
    // An empty or relative value is not a configuration folder.
    for (const char* value : {"", "relative/config"}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(lang::UserSettingIniPath(),
                  QDir::homePath() + QStringLiteral("/.config/qp60util/SETTING.INI"));
    }
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
