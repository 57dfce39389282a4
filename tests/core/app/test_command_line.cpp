#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

CExtCommandLineInfo Parse(const QStringList& args)
{
    CExtCommandLineInfo info;
    info.ParseArguments(args);
    return info;
}

QString Repeat(QChar c, int count)
{
    return QString(count, c);
}

} // namespace

TEST(CommandLine, DefaultsWithoutArguments)
{
    const CExtCommandLineInfo info = Parse({});
    EXPECT_EQ(info.startMode, 0);
    EXPECT_EQ(info.callerType, 0);
    EXPECT_TRUE(info.driverPortName.isEmpty());
    EXPECT_TRUE(info.printerName.isEmpty());
    EXPECT_TRUE(info.portPath.isEmpty());
    EXPECT_TRUE(info.outputFile.isEmpty());
    EXPECT_TRUE(info.commentText.isEmpty());
    EXPECT_FALSE(info.bypassInstanceCheck);
    EXPECT_TRUE(info.tooLongOption.isEmpty());
}

TEST(CommandLine, StartModesInTableOrder)
{
    const struct
    {
        const char* arg;
        int mode;
    } cases[] = {
        {"/mZRD5_LOGO", 110}, {"/mZRD5", 100}, {"/mZRD5X", 0}, {"/mZRD5_LOGOX", 0}, {"/mzrd5", 0},
        {"/mL", 1},           {"/mLater", 1},  {"/mS", 2},     {"/mRx", 3},         {"/mF", 4},
        {"/mC", 5},           {"/mCFile", 5},  {"/m", 0},      {"/ml", 0},          {"/mX", 0},
        {"-mS", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parse({QString::fromLatin1(c.arg)}).startMode, c.mode) << c.arg;
}

TEST(CommandLine, OutputFileAndCommentComeAfterTheirLetter)
{
    CExtCommandLineInfo info = Parse({QStringLiteral("/mFD:\\out.dat")});
    EXPECT_EQ(info.startMode, 4);
    EXPECT_EQ(info.outputFile, QStringLiteral("D:\\out.dat"));

    info = Parse({QStringLiteral("/mF")});
    EXPECT_EQ(info.startMode, 4);
    EXPECT_TRUE(info.outputFile.isEmpty());

    info = Parse({QStringLiteral("/mCHello world")});
    EXPECT_EQ(info.startMode, 5);
    EXPECT_EQ(info.commentText, QStringLiteral("Hello world"));
    EXPECT_TRUE(info.outputFile.isEmpty());

    // "FILE" begins with F, so the file is "ILE".
    info = Parse({QStringLiteral("-mFILE")});
    EXPECT_EQ(info.outputFile, QStringLiteral("ILE"));
}

TEST(CommandLine, TextOptionsTakeTheRestOfTheArgument)
{
    const CExtCommandLineInfo info =
        Parse({QStringLiteral("/pVSDPRT1"), QStringLiteral("-qVorka QP-R60 Receipt"),
               QStringLiteral("/r/dev/ttyS0"), QStringLiteral("/p")});
    // A later p overwrites the earlier value, with an empty one too.
    EXPECT_TRUE(info.driverPortName.isEmpty());
    EXPECT_EQ(info.printerName, QStringLiteral("Vorka QP-R60 Receipt"));
    EXPECT_EQ(info.portPath, QStringLiteral("/dev/ttyS0"));

    EXPECT_EQ(Parse({QStringLiteral("/pVSDPRT1")}).driverPortName, QStringLiteral("VSDPRT1"));
    EXPECT_EQ(Parse({QStringLiteral("/pA"), QStringLiteral("/pB")}).driverPortName,
              QStringLiteral("B"));
}

TEST(CommandLine, CallerTypesAreExactAndCaseSensitive)
{
    EXPECT_EQ(Parse({QStringLiteral("/dZRD")}).callerType, 1);
    EXPECT_EQ(Parse({QStringLiteral("-dOPOS")}).callerType, 2);
    EXPECT_EQ(Parse({QStringLiteral("/dDudodeRizoda")}).callerType, 3);
    EXPECT_EQ(Parse({QStringLiteral("/dRoroVuvivid")}).callerType, 4);
    EXPECT_EQ(Parse({QStringLiteral("/dopos")}).callerType, 0);
    EXPECT_EQ(Parse({QStringLiteral("/dOPOS2")}).callerType, 0);
    EXPECT_EQ(Parse({QStringLiteral("/dOPOS"), QStringLiteral("/dXYZ")}).callerType, 0);
}

TEST(CommandLine, BypassNeedsAnM)
{
    EXPECT_TRUE(Parse({QStringLiteral("/bM")}).bypassInstanceCheck);
    EXPECT_TRUE(Parse({QStringLiteral("/bMore")}).bypassInstanceCheck);
    EXPECT_FALSE(Parse({QStringLiteral("/b")}).bypassInstanceCheck);
    EXPECT_FALSE(Parse({QStringLiteral("/bm")}).bypassInstanceCheck);
    EXPECT_TRUE(Parse({QStringLiteral("/bM"), QStringLiteral("/bX")}).bypassInstanceCheck);
}

TEST(CommandLine, UpperCaseOptionsAndPlainArgumentsChangeNothing)
{
    const CExtCommandLineInfo info =
        Parse({QStringLiteral("/Mx"), QStringLiteral("/PABC"), QStringLiteral("/DOPOS"),
               QStringLiteral("/BM"), QStringLiteral("settings.dat"), QStringLiteral("mF"),
               QStringLiteral("/"), QStringLiteral("-"), QStringLiteral("--mF"),
               QStringLiteral("/xyz"), QString()});
    EXPECT_EQ(info.startMode, 0);
    EXPECT_EQ(info.callerType, 0);
    EXPECT_TRUE(info.driverPortName.isEmpty());
    EXPECT_TRUE(info.outputFile.isEmpty());
    EXPECT_FALSE(info.bypassInstanceCheck);
    EXPECT_TRUE(info.tooLongOption.isEmpty());
}

TEST(CommandLine, ValuesAtTheLimitsAreKept)
{
    const QString name258 = Repeat(u'n', 258);
    const QString file257 = Repeat(u'f', 257);
    const CExtCommandLineInfo info =
        Parse({QLatin1String("/p") + name258, QLatin1String("/q") + name258,
               QLatin1String("/r") + name258, QLatin1String("/mF") + file257});
    EXPECT_EQ(info.driverPortName, name258);
    EXPECT_EQ(info.printerName, name258);
    EXPECT_EQ(info.portPath, name258);
    EXPECT_EQ(info.outputFile, file257);
    EXPECT_EQ(info.startMode, 4);
    EXPECT_TRUE(info.tooLongOption.isEmpty());
}

TEST(CommandLine, OverlongValuesAreRefusedNotCut)
{
    const QString name259 = Repeat(u'n', 259);
    for (const QChar option : {u'p', u'q', u'r'}) {
        const CExtCommandLineInfo info = Parse(
            {QStringLiteral("/%1old").arg(option), QStringLiteral("/%1").arg(option) + name259});
        const QString& field = option == u'p'   ? info.driverPortName
                               : option == u'q' ? info.printerName
                                                : info.portPath;
        EXPECT_EQ(field, QStringLiteral("old")) << option.toLatin1();
        EXPECT_EQ(info.tooLongOption, QString(option));
    }

    // The output file: neither the file nor the start mode changes.
    CExtCommandLineInfo info =
        Parse({QStringLiteral("/mS"), QLatin1String("/mF") + Repeat(u'f', 258)});
    EXPECT_EQ(info.startMode, 2);
    EXPECT_TRUE(info.outputFile.isEmpty());
    EXPECT_EQ(info.tooLongOption, QStringLiteral("m"));

    // Later valid options still apply; the first refusal is the one reported.
    info = Parse({QLatin1String("/q") + name259, QLatin1String("/p") + name259,
                  QStringLiteral("/dZRD"), QStringLiteral("/pVSDPRT2")});
    EXPECT_EQ(info.tooLongOption, QStringLiteral("q"));
    EXPECT_EQ(info.callerType, 1);
    EXPECT_EQ(info.driverPortName, QStringLiteral("VSDPRT2"));
    EXPECT_TRUE(info.printerName.isEmpty());
}

TEST(CommandLine, LimitsCountUtf16Units)
{
    // 129 characters outside the basic plane are 258 units: allowed; one more is not.
    QString wide;
    for (int i = 0; i < 129; ++i)
        wide += QString::fromUcs4(U"\U0001F5A8");
    EXPECT_EQ(Parse({QLatin1String("/q") + wide}).printerName, wide);
    const CExtCommandLineInfo info = Parse({QLatin1String("/qx") + wide});
    EXPECT_TRUE(info.printerName.isEmpty());
    EXPECT_EQ(info.tooLongOption, QStringLiteral("q"));
}

TEST(CommandLine, ParsingAgainStartsFromTheDefaults)
{
    CExtCommandLineInfo info;
    info.ParseArguments({QStringLiteral("/mF/tmp/out"), QStringLiteral("/bM"),
                         QLatin1String("/p") + Repeat(u'x', 300)});
    info.ParseArguments({QStringLiteral("/dOPOS")});
    EXPECT_EQ(info.startMode, 0);
    EXPECT_TRUE(info.outputFile.isEmpty());
    EXPECT_FALSE(info.bypassInstanceCheck);
    EXPECT_TRUE(info.tooLongOption.isEmpty());
    EXPECT_EQ(info.callerType, 2);
}
