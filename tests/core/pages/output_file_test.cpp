#include "pages/output_file.h"

#include "pages/plugin_data_mgr.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <csignal>
#include <ostream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Texts in failure messages as text, not as code units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

constexpr quint32 kPrintSettingsId = 0x10005;

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray U16(quint16 value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QByteArray U32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// A field of the given width: text, then zeros.
QByteArray Field(const QByteArray& text, int width)
{
    return text + QByteArray(width - text.size(), '\0');
}

// The header as the description lays it out, built field by field.
QByteArray ExpectedHeader(const QByteArray& nameLine, quint8 logoKind, quint32 logoLength,
                          quint32 commandLength, quint32 crc)
{
    QByteArray header = U16(256) + Hex("0100");
    header += Field(nameLine, 30) + U16(0);
    header += Field("\r\n", 30) + U16(0);
    header += Field("03/07/2026 09:05\r\n", 20);
    header += QByteArray(32, '\0');
    header += char(logoKind);
    header += char(1);
    header += U16(0);
    header += U32(logoLength) + U32(commandLength) + U32(0) + U32(crc);
    header += QByteArray(116, '\0');
    return header;
}

// The command part for customized values 0x1234 and 0xABCD.
QByteArray ExpectedCommands()
{
    return Hex("1D2845030001494E") + Hex("1D284504000505 3412") + Hex("1D284504000506CDAB") +
           Hex("1D28450400024F5554");
}

QDateTime FixedClock()
{
    return QDateTime(QDate(2026, 3, 7), QTime(9, 5, 59));
}

class OutputFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        AddPrintSettings(0x1234, 0xABCD);
    }

    void AddPrintSettings(quint32 value5, quint32 value6, qint32 sizeBytes = 152)
    {
        ASSERT_EQ(m_mgr.AddBlock(kPrintSettingsId, 0x10000, sizeBytes), 0);
        QByteArray block(sizeBytes, '\0');
        ASSERT_EQ(m_mgr.GetBlockData(kPrintSettingsId, block.data(), sizeBytes), 0);
        if (sizeBytes >= 48) {
            qToLittleEndian(value5, block.data() + 40);
            qToLittleEndian(value6, block.data() + 44);
        }
        ASSERT_EQ(m_mgr.SetBlockData(kPrintSettingsId, sizeBytes, block.data()), 0);
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString OutputPath() const { return Path(QStringLiteral("out.dat")); }

    QString WriteLogo(const QByteArray& bytes) const
    {
        const QString path = Path(QStringLiteral("R60LOGO.qlg"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    int Write(const QString& logoPath, int logoFlag, const QString& deviceName = "QP-R60")
    {
        return WriteOutputFile(logoPath, deviceName, OutputPath(), logoFlag, m_mgr, FixedClock);
    }

    QByteArray Output() const
    {
        QFile file(OutputPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    PluginDataMgr m_mgr;
};

TEST(OutputFileCrc, MatchesTheCheckValueOfCrc32Bzip2)
{
    EXPECT_EQ(Crc32Bzip2("123456789"), 0xFC891918u);
    EXPECT_EQ(Crc32Bzip2(QByteArray()), 0u);
    EXPECT_EQ(Crc32Bzip2(ExpectedCommands()), 0x8AF8D09Fu);
}

TEST_F(OutputFileTest, WithoutLogoTheDataPartIsTheCommandPartAlone)
{
    ASSERT_EQ(Write(QString(), 0), 0);
    const QByteArray expected =
        ExpectedHeader("QP-R60\r\n", 0, 0, 35, 0x8AF8D09F) + ExpectedCommands();
    EXPECT_EQ(Output().toHex(' '), expected.toHex(' '));
}

TEST_F(OutputFileTest, LogoFlagZeroIgnoresAGivenLogoFile)
{
    const QString logo = WriteLogo(Hex("1D284C0400303001"));
    ASSERT_EQ(Write(logo, 0), 0);
    EXPECT_EQ(Output(), ExpectedHeader("QP-R60\r\n", 0, 0, 35, 0x8AF8D09F) + ExpectedCommands());
}

TEST_F(OutputFileTest, GraphicsLogoGetsThePrefixAndKindOne)
{
    QByteArray logo = Hex("1D284C0400303001");
    for (char i = 0; i < 40; ++i)
        logo += i;
    ASSERT_EQ(Write(WriteLogo(logo), 1), 0);
    const QByteArray logoPart = Hex("1D284C05003041434C52") + logo;
    const QByteArray expected =
        ExpectedHeader("QP-R60\r\n", 1, 58, 35, 0xB00AA302) + logoPart + ExpectedCommands();
    EXPECT_EQ(Output().toHex(' '), expected.toHex(' '));
}

TEST_F(OutputFileTest, EveryLogoStartGivesItsKind)
{
    struct Case
    {
        const char* start;
        quint8 kind;
    };
    for (const Case& c :
         {Case{"1D284C", 1}, Case{"1D384C", 1}, Case{"1C71", 2}, Case{"1C7100", 2}}) {
        SCOPED_TRACE(c.start);
        const QByteArray logo = Hex(c.start) + "logo-bytes";
        ASSERT_EQ(Write(WriteLogo(logo), 1), 0);
        const QByteArray data = Hex("1D284C05003041434C52") + logo + ExpectedCommands();
        const QByteArray expected =
            ExpectedHeader("QP-R60\r\n", c.kind, quint32(logo.size() + 10), 35, Crc32Bzip2(data)) +
            data;
        EXPECT_EQ(Output(), expected);
    }
}

TEST_F(OutputFileTest, ShutdownTakesTheLogoOnlyWhenItExists)
{
    const QString logo = Path(QStringLiteral("R60LOGO.qlg"));
    ASSERT_EQ(WriteOutputFileAtShutdown(logo, "QP-R60", OutputPath(), m_mgr), 0);
    EXPECT_EQ(Output().size(), 256 + 35);
    EXPECT_EQ(Output().at(120), '\0');

    WriteLogo(Hex("1C71AA"));
    ASSERT_EQ(WriteOutputFileAtShutdown(logo, "QP-R60", OutputPath(), m_mgr), 0);
    EXPECT_EQ(Output().size(), 256 + 13 + 35);
    EXPECT_EQ(Output().at(120), '\2');
    EXPECT_EQ(WriteOutputFileAtShutdown(logo, "QP-R60", QString(), m_mgr), -1)
        << "start mode 4 without an output file name";
}

TEST_F(OutputFileTest, LogoRejectionsLeaveNoFile)
{
    struct Case
    {
        QByteArray logo;
        int result;
    };
    const Case cases[] = {
        {Hex("1C71"), -9},     // shorter than 3 bytes, even with a known start
        {QByteArray(), -9},    // empty
        {Hex("1D284D00"), -9}, // unknown start
        {Hex("1C7200"), -9},   {Hex("1B4000"), -9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logo.toHex().constData());
        EXPECT_EQ(Write(WriteLogo(c.logo), 1), c.result);
        EXPECT_FALSE(QFile::exists(OutputPath()));
    }
}

TEST_F(OutputFileTest, LogoFileThatCannotBeOpened)
{
    EXPECT_EQ(Write(Path("missing.qlg"), 1), -1) << "a missing file reports -1";
    EXPECT_EQ(Write(QString(), 1), -3);
    EXPECT_EQ(Write(m_dir.path(), 1), -3) << "a folder is no logo file";
    const QString pipe = Path("pipe.qlg");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(Write(pipe, 1), -3) << "a pipe is refused without waiting for a writer";
    EXPECT_FALSE(QFile::exists(OutputPath()));
}

TEST_F(OutputFileTest, MissingPrintSettingsBlockWritesNothing)
{
    m_mgr.RemoveAllBlocks();
    EXPECT_EQ(Write(QString(), 0), -4);
    EXPECT_FALSE(QFile::exists(OutputPath()));
    // The logo is checked first.
    EXPECT_EQ(Write(WriteLogo(Hex("000000")), 1), -9);
}

TEST_F(OutputFileTest, PrintSettingsBlockTooShortForTheValuesWritesNothing)
{
    m_mgr.RemoveAllBlocks();
    AddPrintSettings(0, 0, 44);
    EXPECT_EQ(Write(QString(), 0), -4);
    EXPECT_FALSE(QFile::exists(OutputPath()));
}

TEST_F(OutputFileTest, OnlyTheLow16BitsOfEachValueAreWritten)
{
    m_mgr.RemoveAllBlocks();
    AddPrintSettings(0x00012345, 0xFFFF0001);
    QByteArray commands;
    ASSERT_TRUE(BuildOutputCommandPart(m_mgr, &commands));
    EXPECT_EQ(commands, Hex("1D2845030001494E 1D2845040005054523 1D2845040005060100 "
                            "1D28450400024F5554"));
}

TEST_F(OutputFileTest, DeviceNameIsCutToFitTheField)
{
    const QByteArray name27(27, 'N');
    ASSERT_EQ(Write(QString(), 0, QString::fromLatin1(name27)), 0);
    EXPECT_EQ(Output().mid(4, 32), name27 + "\r\n" + QByteArray(3, '\0'));

    ASSERT_EQ(Write(QString(), 0, QString(40, 'L')), 0);
    EXPECT_EQ(Output().mid(4, 32), QByteArray(27, 'L') + "\r\n" + QByteArray(3, '\0'))
        << "27 bytes, CR LF and a zero; the two bytes after the field stay zero";

    ASSERT_EQ(Write(QString(), 0, QString()), 0);
    EXPECT_EQ(Output().mid(4, 30), Field("\r\n", 30));
}

TEST_F(OutputFileTest, DeviceNameIsWrittenInCodePage437)
{
    ASSERT_EQ(Write(QString(), 0, QStringLiteral(u"Drücker\u0100")), 0);
    EXPECT_EQ(Output().mid(4, 30), Field(QByteArray("Dr\x81"
                                                    "cker?\r\n"),
                                         30));
}

TEST_F(OutputFileTest, DateIsMonthDayYearHourMinute)
{
    const auto clock = [] { return QDateTime(QDate(987, 12, 31), QTime(23, 59)); };
    ASSERT_EQ(WriteOutputFile(QString(), "QP-R60", OutputPath(), 0, m_mgr, clock), 0);
    EXPECT_EQ(Output().mid(68, 20), Field("12/31/0987 23:59\r\n", 20));
}

TEST_F(OutputFileTest, OutputPathFailures)
{
    EXPECT_EQ(WriteOutputFile(QString(), "QP-R60", QString(), 0, m_mgr, FixedClock), -1);
    EXPECT_EQ(
        WriteOutputFile(QString(), "QP-R60", Path("no/such/folder/out.dat"), 0, m_mgr, FixedClock),
        -2);
    EXPECT_EQ(WriteOutputFile(QString(), "QP-R60", m_dir.path(), 0, m_mgr, FixedClock), -2);
}

// Every failure names the file it concerns and says why in words, for the second line of
// the message that shutdown shows.
TEST_F(OutputFileTest, FailuresNameTheFileAndTheCause)
{
    const QString folder = Path("folder.qlg");
    ASSERT_TRUE(QDir().mkpath(folder));
    struct Case
    {
        const char* what;
        QString logo; // used with flag 1 when not empty
        QString output;
        bool withBlock;
        int result;
        QString path;
        const char* cause;
    };
    const QString rejected = WriteLogo(Hex("1B4000"));
    const Case cases[] = {
        {"no output file", {}, {}, true, -1, {}, "No output file was named."},
        {"missing folder",
         {},
         Path("no/out.dat"),
         true,
         -2,
         Path("no/out.dat"),
         "The folder does not exist."},
        {"folder as output", {}, folder, true, -2, folder, "It is a folder, not a file."},
        {"no print settings",
         {},
         OutputPath(),
         false,
         -4,
         OutputPath(),
         "The print settings that the file carries are missing."},
        {"missing logo", Path("gone.qlg"), OutputPath(), true, -1, Path("gone.qlg"),
         "The logo file cannot be read: No such file or directory."},
        {"logo is a folder", folder, OutputPath(), true, -3, folder,
         "The logo file is not a regular file."},
        {"unknown logo", rejected, OutputPath(), true, -9, rejected,
         "The logo file holds no logo data of a known kind."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PluginDataMgr empty;
        OutputFileFailure failure;
        EXPECT_EQ(WriteOutputFile(c.logo, "QP-R60", c.output, c.logo.isEmpty() ? 0 : 1,
                                  c.withBlock ? m_mgr : empty, FixedClock, &failure),
                  c.result);
        EXPECT_EQ(failure.path, c.path);
        EXPECT_EQ(failure.cause, QString::fromLatin1(c.cause));
        EXPECT_FALSE(QFile::exists(OutputPath()));
    }
    OutputFileFailure none{QStringLiteral("x"), QStringLiteral("y")};
    ASSERT_EQ(WriteOutputFile({}, "QP-R60", OutputPath(), 0, m_mgr, FixedClock, &none), 0);
    EXPECT_TRUE(none.path.isEmpty());
    EXPECT_TRUE(none.cause.isEmpty());
    EXPECT_EQ(OutputFileFailureLine({Path("o.dat"), QStringLiteral("Why.")}),
              QDir::toNativeSeparators(Path("o.dat")) + QStringLiteral(": Why."));
    EXPECT_EQ(OutputFileFailureLine({{}, QStringLiteral("Why.")}), QStringLiteral("Why."));
}

TEST_F(OutputFileTest, ReplacesAnOldFileAndLeavesNoTemporaryFile)
{
    {
        QFile old(OutputPath());
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
    }
    ASSERT_EQ(Write(QString(), 0), 0);
    EXPECT_EQ(Output().size(), 256 + 35);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList({"out.dat"}));
}

// A write that fails half-way (file size limit) reports -5 and leaves the old file whole.
TEST_F(OutputFileTest, FailedWriteKeepsTheOldFile)
{
    const QByteArray old(100, 'o');
    {
        QFile file(OutputPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    const QString logo = WriteLogo(Hex("1C71") + QByteArray(20000, 'z'));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {8192, 8192};
        setrlimit(RLIMIT_FSIZE, &limit);
        OutputFileFailure failure;
        const int result =
            WriteOutputFile(logo, "QP-R60", OutputPath(), 1, m_mgr, FixedClock, &failure);
        _exit(result == -5 && failure.path == OutputPath() &&
                      failure.cause.contains(QLatin1String("File too large"))
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Output(), old);
    QStringList left = QDir(m_dir.path()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, QStringList({"R60LOGO.qlg", "out.dat"})) << "no temporary file remains";
}

} // namespace
