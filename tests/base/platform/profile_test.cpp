#include "platform/profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace platform;

namespace {

class ProfileTest : public ::testing::Test
{
protected:
    QString path(const QString& name = QStringLiteral("test.ini")) const
    {
        return m_dir.filePath(name);
    }

    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("test.ini"))
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path(name);
    }

    QByteArray read(const QString& name = QStringLiteral("test.ini")) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    static QByteArray utf16(const QString& text)
    {
        QByteArray out("\xFF\xFE", 2);
        for (const QChar c : text) {
            out.append(static_cast<char>(c.unicode() & 0xFF));
            out.append(static_cast<char>(c.unicode() >> 8));
        }
        return out;
    }

    QTemporaryDir m_dir;
};

TEST_F(ProfileTest, LinesAreTrimmedAndSplitAtTheFirstEquals)
{
    const QString ini = write("  \t[ Sec ]  trailing\r\n"
                              " key one \t=\t value with = sign \v\f\r\n"
                              "novalue\n"
                              "\tspaced  =  \n");
    EXPECT_EQ(GetPrivateProfileString("Sec", "key one", "d", ini), "value with = sign");
    EXPECT_EQ(GetPrivateProfileString("Sec", "novalue", "d", ini), "");
    EXPECT_EQ(GetPrivateProfileString("Sec", "spaced", "d", ini), "");
    EXPECT_EQ(GetPrivateProfileSectionNames(ini), QStringList{"Sec"});
}

TEST_F(ProfileTest, AnyRunOfCrAndLfEndsALine)
{
    const QString ini = write("[A]\ra=1\r\r\nb=2\n\n\n\r[B]\n\rc=3");
    EXPECT_EQ(GetPrivateProfileString("A", "a", "", ini), "1");
    EXPECT_EQ(GetPrivateProfileString("A", "b", "", ini), "2");
    EXPECT_EQ(GetPrivateProfileString("B", "c", "", ini), "3");
}

TEST_F(ProfileTest, SectionNameRunsToTheLastBracket)
{
    const QString ini = write("[a]b] tail\nk=1\n[open\nk=2\n");
    EXPECT_EQ(GetPrivateProfileSectionNames(ini), (QStringList{"a]b", "open"}));
    EXPECT_EQ(GetPrivateProfileString("a]b", "k", "", ini), "1");
    EXPECT_EQ(GetPrivateProfileString("open", "k", "", ini), "2");
}

TEST_F(ProfileTest, CommentsAndLinesBeforeTheFirstSectionAreIgnored)
{
    const QString ini =
        write("orphan=1\n;[Hidden]\n[S]\n;k=commented\n  ; indented=comment\nk=real\n"
              "x=1 ; not a comment\n");
    EXPECT_EQ(GetPrivateProfileSectionNames(ini), QStringList{"S"});
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", ini), "real");
    EXPECT_EQ(GetPrivateProfileString("S", "x", "", ini), "1 ; not a comment");
    EXPECT_EQ(GetPrivateProfileString("S", "orphan", "none", ini), "none");
    EXPECT_EQ(GetPrivateProfileSection("S", ini), (QStringList{"k=real", "x=1 ; not a comment"}));
}

TEST_F(ProfileTest, NamesMatchWithoutCaseAndTheFirstMatchWins)
{
    const QString ini =
        write("[Dup]\nKey=first\nKEY=second\n[other]\nk=o\n[DUP]\nkey=third\nnew=x\n");
    EXPECT_EQ(GetPrivateProfileString("dup", "key", "", ini), "first");
    EXPECT_EQ(GetPrivateProfileString("dUp", "kEy", "", ini), "first");
    // Later sections of the same name are not merged.
    EXPECT_EQ(GetPrivateProfileString("DUP", "new", "missing", ini), "missing");
    EXPECT_EQ(GetPrivateProfileSection("dup", ini), (QStringList{"Key=first", "KEY=second"}));
    EXPECT_EQ(GetPrivateProfileSectionNames(ini), (QStringList{"Dup", "other", "DUP"}));
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefaultWithoutTrailingBlanks)
{
    const QString ini = write("[S]\nk=v\n");
    EXPECT_EQ(GetPrivateProfileString("S", "k", "x", path("absent.ini")), "x");
    EXPECT_EQ(GetPrivateProfileString("T", "k", "def  ", ini), "def");
    EXPECT_EQ(GetPrivateProfileString("S", "j", "  def \t  ", ini), "  def \t");
    EXPECT_EQ(GetPrivateProfileString("S", "j", "", ini), "");
    EXPECT_EQ(GetPrivateProfileInt("T", "k", 7, ini), 7);
    EXPECT_EQ(GetPrivateProfileInt("S", "k", 7, path("absent.ini")), 7);
    EXPECT_TRUE(GetPrivateProfileSection("T", ini).isEmpty());
    EXPECT_TRUE(GetPrivateProfileSectionNames(path("absent.ini")).isEmpty());
    EXPECT_EQ(GetPrivateProfileString("S", "k", "x", m_dir.path()), "x"); // a folder
    EXPECT_EQ(GetPrivateProfileString("S", "k", "x", QString()), "x");
}

TEST_F(ProfileTest, OnePairOfQuotesIsStrippedFromStringsButKeptInSections)
{
    const QString ini =
        write("[S]\na=\"quoted\"\nb=\"\"inner\"\"\nc=\"open\nd=\"\ne=\" spaced \"\n");
    EXPECT_EQ(GetPrivateProfileString("S", "a", "", ini), "quoted");
    EXPECT_EQ(GetPrivateProfileString("S", "b", "", ini), "\"inner\"");
    EXPECT_EQ(GetPrivateProfileString("S", "c", "", ini), "\"open");
    EXPECT_EQ(GetPrivateProfileString("S", "d", "", ini), "\"");
    EXPECT_EQ(GetPrivateProfileString("S", "e", "", ini), " spaced ");
    EXPECT_EQ(GetPrivateProfileSection("S", ini).first(), "a=\"quoted\"");
}

TEST_F(ProfileTest, IntegersReadLikeThePlatformFunction)
{
    const QString ini = write("[N]\na=42A\nb=B42\nc=-1\nd=\ne= +17\nf=\"12\"\ng=-\nh=4294967295\n"
                              "i=007\nj\n");
    EXPECT_EQ(GetPrivateProfileInt("N", "a", 5, ini), 42);
    EXPECT_EQ(GetPrivateProfileInt("N", "b", 5, ini), 0);
    EXPECT_EQ(GetPrivateProfileInt("N", "c", 5, ini), -1);
    EXPECT_EQ(GetPrivateProfileInt("N", "d", 5, ini), 5);
    EXPECT_EQ(GetPrivateProfileInt("N", "e", 5, ini), 17);
    EXPECT_EQ(GetPrivateProfileInt("N", "f", 5, ini), 12);
    EXPECT_EQ(GetPrivateProfileInt("N", "g", 5, ini), 0);
    EXPECT_EQ(GetPrivateProfileInt("N", "h", 5, ini), -1);
    EXPECT_EQ(GetPrivateProfileInt("N", "i", 5, ini), 7);
    EXPECT_EQ(GetPrivateProfileInt("N", "j", 5, ini), 5);
}

TEST_F(ProfileTest, SectionListsKeyValueLinesAndBareLinesInFileOrder)
{
    const QString ini = write("[L]\n  b =  2  \n\nbare line \n;c\na=\"1\"\n[M]\nz=9\n");
    EXPECT_EQ(GetPrivateProfileSection("l", ini), (QStringList{"b=2", "bare line", "a=\"1\""}));
}

TEST_F(ProfileTest, EightBitFilesAreUtf8WithBomSkippedAndLatin1ForInvalidBytes)
{
    const QString utf8 = write("\xEF\xBB\xBF[S]\nname=Gr\xC3\xBC\xC3\x9F\xE6\x97\xA5\n", "u.ini");
    EXPECT_EQ(GetPrivateProfileSectionNames(utf8), QStringList{"S"});
    EXPECT_EQ(GetPrivateProfileString("S", "name", "", utf8), QString::fromUtf8("Grüß日"));

    // Bytes that are not valid UTF-8 (a lone continuation, a truncated sequence, an
    // overlong form) each stand for their Latin-1 character.
    const QString latin = write("[S]\nname=caf\xE9 \x80\xC3 \xC0\xAF\n", "l.ini");
    EXPECT_EQ(GetPrivateProfileString("S", "name", "", latin),
              QString::fromUtf16(u"caf\u00E9 \u0080\u00C3 \u00C0\u00AF"));
}

TEST_F(ProfileTest, Utf16FilesWithBomAreRead)
{
    const QString ini = write(utf16(QString::fromUtf16(u"[Lang]\r\nT=\u65E5\u672C\r\n;x=1\r\n")));
    EXPECT_EQ(GetPrivateProfileString("LANG", "t", "", ini), QString::fromUtf16(u"\u65E5\u672C"));
    EXPECT_EQ(GetPrivateProfileSection("Lang", ini),
              QStringList{QString::fromUtf16(u"T=\u65E5\u672C")});
}

TEST_F(ProfileTest, ChangingAValueKeepsEveryOtherByte)
{
    const QByteArray before = "; head comment\r\n\r\n[A]\r\n  Key = old value  \r\n; note\r\n"
                              "other=1\r\n\r\n[B]\nkey=b\n";
    const QString ini = write(before);
    ASSERT_TRUE(WritePrivateProfileString("a", "KEY", "  new", ini));
    EXPECT_EQ(read(), QByteArray("; head comment\r\n\r\n[A]\r\n  Key =new\r\n; note\r\n"
                                 "other=1\r\n\r\n[B]\nkey=b\n"));
    EXPECT_EQ(GetPrivateProfileString("A", "key", "", ini), "new");
    EXPECT_EQ(GetPrivateProfileString("B", "key", "", ini), "b");
}

TEST_F(ProfileTest, NewKeyGoesAfterTheLastKeyLineOfTheFirstMatchingSection)
{
    const QString ini =
        write("[A]\r\na=1\r\n; trailing comment\r\n\r\n[B]\r\nb=1\r\n[a]\r\nz=1\r\n");
    ASSERT_TRUE(WritePrivateProfileString("A", "n", "2", ini));
    EXPECT_EQ(read(), QByteArray("[A]\r\na=1\r\nn=2\r\n; trailing comment\r\n\r\n[B]\r\nb=1\r\n"
                                 "[a]\r\nz=1\r\n"));
    ASSERT_TRUE(WritePrivateProfileString("B", "c", "", ini));
    EXPECT_TRUE(read().contains("[B]\r\nb=1\r\nc=\r\n[a]"));
    EXPECT_EQ(GetPrivateProfileString("B", "c", "x", ini), "");
}

TEST_F(ProfileTest, NewKeyInAnEmptySectionFollowsItsHeader)
{
    write("[E]\n\n[F]\nf=1");
    ASSERT_TRUE(WritePrivateProfileString("E", "k", "v", path()));
    EXPECT_EQ(read(), QByteArray("[E]\nk=v\n\n[F]\nf=1"));
    // The last line has no line break: the new key gets one of the file's own before it.
    ASSERT_TRUE(WritePrivateProfileString("F", "g", "2", path()));
    EXPECT_EQ(read(), QByteArray("[E]\nk=v\n\n[F]\nf=1\ng=2"));
}

TEST_F(ProfileTest, NewSectionGoesAtTheEndWithoutABlankLine)
{
    write("[A]\r\na=1\r\n");
    ASSERT_TRUE(WritePrivateProfileString("New", "k", "v", path()));
    EXPECT_EQ(read(), QByteArray("[A]\r\na=1\r\n[New]\r\nk=v\r\n"));

    write("[A]\na=1", "nobreak.ini");
    ASSERT_TRUE(WritePrivateProfileString("New", "k", "v", path("nobreak.ini")));
    EXPECT_EQ(read("nobreak.ini"), QByteArray("[A]\na=1\n[New]\nk=v\n"));
}

TEST_F(ProfileTest, KeyLineWithoutEqualsGetsItsValue)
{
    write("[A]\n  bare  \n");
    ASSERT_TRUE(WritePrivateProfileString("A", "bare", "1", path()));
    EXPECT_EQ(read(), QByteArray("[A]\n  bare=1\n"));
}

TEST_F(ProfileTest, NewFileIsEightBitText)
{
    const QString ini = path(QStringLiteral("fresh.ini"));
    ASSERT_TRUE(
        WritePrivateProfileString("LANGUAGE", "LANGID", QString::fromUtf16(u"\u00E9"), ini));
    EXPECT_EQ(read("fresh.ini"), QByteArray("[LANGUAGE]\nLANGID=\xC3\xA9\n"));
    EXPECT_EQ(GetPrivateProfileString("language", "langid", "", ini),
              QString::fromUtf16(u"\u00E9"));
}

TEST_F(ProfileTest, Utf16FilesAreWrittenBackAsUtf16)
{
    const QString text = QString::fromUtf16(u"[S]\r\n;\u6CE8\r\nk=\u65E7\r\n");
    const QString ini = write(utf16(text));
    ASSERT_TRUE(WritePrivateProfileString("S", "k", QString::fromUtf16(u"\u65B0"), ini));
    ASSERT_TRUE(WritePrivateProfileString("S", "m", "2", ini));
    ASSERT_TRUE(WritePrivateProfileString("T", "x", "y", ini));
    EXPECT_EQ(read(),
              utf16(QString::fromUtf16(u"[S]\r\n;\u6CE8\r\nk=\u65B0\r\nm=2\r\n[T]\r\nx=y\r\n")));
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", ini), QString::fromUtf16(u"\u65B0"));
}

// A UTF-16 file cut off in the middle of a character: the stray byte is kept at the end
// and everything written stays readable.
TEST_F(ProfileTest, Utf16FileWithAStrayByteStaysAligned)
{
    const QString ini = write(utf16("[S]\r\na=1") + "x");
    ASSERT_TRUE(WritePrivateProfileString("S", "b", "2", ini));
    ASSERT_TRUE(WritePrivateProfileString("T", "c", "3", ini));
    EXPECT_EQ(read(), utf16("[S]\r\na=1\r\nb=2\r\n[T]\r\nc=3\r\n") + "x");
    EXPECT_EQ(GetPrivateProfileString("T", "c", "", ini), "3");
}

TEST_F(ProfileTest, Latin1BytesOfOtherLinesSurviveAWrite)
{
    const QByteArray before = "\xEF\xBB\xBF[S]\n; caf\xE9 \xFF\nk=1\nname=\xE9t\xE9\n";
    write(before);
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", path()));
    EXPECT_EQ(read(), QByteArray("\xEF\xBB\xBF[S]\n; caf\xE9 \xFF\nk=2\nname=\xE9t\xE9\n"));
}

TEST_F(ProfileTest, ValuesThatWouldBreakTheFileAreRefused)
{
    const QByteArray before = "[S]\nk=1\n";
    write(before);
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "1\n[Evil]\nx=1", path()));
    EXPECT_FALSE(WritePrivateProfileString("S\nX", "k", "1", path()));
    EXPECT_FALSE(WritePrivateProfileString("S", "a=b", "1", path()));
    EXPECT_FALSE(WritePrivateProfileString("S", "", "1", path()));
    EXPECT_FALSE(WritePrivateProfileString("S", ";k", "1", path()));
    EXPECT_EQ(read(), before);
}

TEST_F(ProfileTest, WritingTheSameValueLeavesTheFileAlone)
{
    write("[S]\nk=1\n");
    struct stat before = {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &before), 0);
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "1", path()));
    struct stat after = {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(ProfileTest, WriteKeepsPermissionsAndEditsTheLinkTarget)
{
    write("[S]\nk=1\n", "real.ini");
    ASSERT_EQ(::chmod(QFile::encodeName(path("real.ini")).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(path("real.ini"), path("link.ini")));
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", path("link.ini")));
    EXPECT_TRUE(QFileInfo(path("link.ini")).isSymLink());
    EXPECT_EQ(read("real.ini"), QByteArray("[S]\nk=2\n"));
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(path("real.ini")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ProfileTest, RereadsAFileChangedBehindItsBack)
{
    const QString ini = write("[S]\nk=1\n");
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", ini), "1");
    write("[S]\nk=2\n"); // same size, same second
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", ini), "2");
}

// Only files whose last change is a few seconds old are served from the cache; this
// one waits until the file qualifies and then changes it in place with the same size.
TEST_F(ProfileTest, CachedFileChangedInPlaceIsReadAgain)
{
    const QString ini = write("[S]\nk=1\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(3200));
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", ini), "1");
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", ini), "1");
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(6));
    ASSERT_EQ(file.write("2"), 1);
    file.close();
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", ini), "2");
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "3", ini));
    EXPECT_EQ(GetPrivateProfileInt("S", "k", 0, ini), 3);
}

TEST_F(ProfileTest, LongFileNamesCanBeWritten)
{
    const QString name = QString(250, u'n') + ".ini";
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "v", path(name)));
    EXPECT_EQ(read(name), QByteArray("[S]\nk=v\n"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(ProfileTest, WriteIntoAMissingFolderFails)
{
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", path("no/such/folder.ini")));
    EXPECT_FALSE(QFileInfo::exists(path("no")));
}

// The write runs in a child process that cannot write the folder: as an ordinary user
// the folder is made read-only; the superuser, whom permission bits do not stop, first
// becomes the user nobody.
TEST_F(ProfileTest, UnwritableFolderLeavesTheOldFileAsItWas)
{
    const QByteArray before = "[S]\nk=1\n";
    write(before);
    const QByteArray folder = QFile::encodeName(m_dir.path());
    ASSERT_EQ(::chmod(folder.constData(), ::geteuid() == 0 ? 0755 : 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0666), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(WritePrivateProfileString("S", "k", "2", path()) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(folder.constData(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write was reported as done";
    EXPECT_EQ(read(), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
}

// A read-only file stays read-only even though its folder would allow replacing it. The
// superuser, whom permission bits do not stop, writes as the user nobody.
TEST_F(ProfileTest, ReadOnlyFileIsNotChanged)
{
    const QByteArray before = "[S]\nk=1\n";
    write(before);
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray file = QFile::encodeName(path());
    ASSERT_EQ(::chmod(file.constData(), 0444), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(folder.constData(), 65534, 65534), 0);
        ASSERT_EQ(::chown(file.constData(), 65534, 65534), 0);
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(WritePrivateProfileString("S", "k", "2", path()) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write was reported as done";
    EXPECT_EQ(read(), before);
}

// A write that fails halfway (here: the file size limit, as on a full disk) must leave
// the old file whole and no temporary file behind.
TEST_F(ProfileTest, FailedWriteLeavesTheOldFileAndNoTemporary)
{
    const QByteArray before = "[S]\nk=1\n";
    write(before);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool written =
            WritePrivateProfileString("S", "k", QString(1000, QLatin1Char('x')), path());
        ::_exit(written ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write was reported as done";
    EXPECT_EQ(read(), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"test.ini"});
}

// Two processes adding keys to one file at the same time: no key may get lost.
TEST_F(ProfileTest, ConcurrentWritersInTwoProcessesLoseNothing)
{
    write("[S]\n");
    constexpr int kKeysPerWriter = 40;
    std::vector<pid_t> writers;
    for (const char* prefix : {"a", "b"}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int i = 0; i < kKeysPerWriter; ++i)
                ok = WritePrivateProfileString("S", prefix + QString::number(i), "v", path()) && ok;
            ::_exit(ok ? 0 : 1);
        }
        writers.push_back(child);
    }
    for (const pid_t child : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(GetPrivateProfileSection("S", path()).size(), 2 * kKeysPerWriter);
}

TEST_F(ProfileTest, UnreadableFileIsNeverReplaced)
{
    // A folder in place of the file can be neither read nor replaced by a file.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("dir.ini"));
    EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", path("dir.ini")));
    EXPECT_TRUE(QFileInfo(path("dir.ini")).isDir());
}

} // namespace
