#include "app/startup_rules.h"
#include "app/startup_test_hooks.h"

#include "app/fixed_text.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>

using namespace startup;

TEST(LanguageIdFromText, HexTextsOfAtMostEightCharacters)
{
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("0409")), 0x0409);
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("0411")), 0x0411);
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("0c0a")), 0x0C0A);
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("0C0A")), 0x0C0A);
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("7FFFFFFF")), 0x7FFFFFFF);
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("FFFFFFFF")), -1);
    EXPECT_EQ(LanguageIdFromText(QString()), 0);
}

TEST(LanguageIdFromText, AnyOtherCharacterOrALongerTextGivesZero)
{
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("zz")), 0);
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("04 9")), 0);
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("0x0409")), 0);
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("-409")), 0);
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("000000409")), 0); // 9 characters
    EXPECT_EQ(LanguageIdFromText(QStringLiteral("０４０９")), 0);  // full-width digits
}

TEST(StartupPaths, DerivedBelowTheirFolders)
{
    const StartupPaths paths =
        DeriveStartupPaths(QStringLiteral("/opt/qp/"), QStringLiteral("/c"), QStringLiteral("/u/"));
    EXPECT_EQ(paths.programFolder, QStringLiteral("/opt/qp/"));
    EXPECT_EQ(paths.languageFolder, QStringLiteral("/opt/qp/LANG"));
    EXPECT_EQ(paths.settingIni, QStringLiteral("/opt/qp/SETTING.INI"));
    EXPECT_EQ(paths.settingsFolder, QStringLiteral("/c/VORKA/QP60Utl"));
    EXPECT_EQ(paths.tempFolder, QStringLiteral("/c/VORKA/QP60Utl/TMP"));
    EXPECT_EQ(paths.userFolder, QStringLiteral("/u/VORKA/QP60Utl"));
    EXPECT_EQ(paths.logoFile, QStringLiteral("/u/VORKA/QP60Utl/R60LOGO.qlg"));
}

TEST(StartupPaths, MissingFoldersNeverGivePathsRelativeToTheWorkingFolder)
{
    const StartupPaths paths = DeriveStartupPaths({}, {}, {});
    EXPECT_TRUE(paths.languageFolder.isEmpty());
    EXPECT_TRUE(paths.settingIni.isEmpty());
    EXPECT_TRUE(paths.settingsFolder.isEmpty());
    EXPECT_TRUE(paths.tempFolder.isEmpty());
    EXPECT_TRUE(paths.logoFile.isEmpty());
    // A program folder without its slash gets one.
    EXPECT_EQ(DeriveStartupPaths(QStringLiteral("/p"), {}, {}).settingIni,
              QStringLiteral("/p/SETTING.INI"));
}

TEST(StartupPaths, FoldersAreCreatedLevelByLevel)
{
    QTemporaryDir dir;
    const StartupPaths created = CreateStartupFolders(
        DeriveStartupPaths(QStringLiteral("/p/"), dir.filePath("common"), dir.filePath("user")));
    EXPECT_TRUE(QFileInfo(created.tempFolder).isDir());
    EXPECT_TRUE(QFileInfo(created.userFolder).isDir());
    EXPECT_EQ(created.settingsFolder, dir.filePath("common/VORKA/QP60Utl"));
    EXPECT_FALSE(created.logoFile.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(created.logoFile)); // the logo file is not created
}

TEST(StartupPaths, AFailedFolderIsLeftEmptyAndTheOthersGoOn)
{
    QTemporaryDir dir;
    // The common folder is a file: the settings and temporary folders cannot exist.
    QFile blocker(dir.filePath("common"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const StartupPaths created = CreateStartupFolders(
        DeriveStartupPaths(QStringLiteral("/p/"), dir.filePath("common"), dir.filePath("user")));
    EXPECT_TRUE(created.settingsFolder.isEmpty());
    EXPECT_TRUE(created.tempFolder.isEmpty());
    EXPECT_TRUE(QFileInfo(created.userFolder).isDir());

    QFile userBlocker(dir.filePath("user2"));
    ASSERT_TRUE(userBlocker.open(QIODevice::WriteOnly));
    userBlocker.close();
    const StartupPaths noUser = CreateStartupFolders(
        DeriveStartupPaths(QStringLiteral("/p/"), dir.filePath("c2"), dir.filePath("user2")));
    EXPECT_TRUE(noUser.userFolder.isEmpty());
    EXPECT_TRUE(noUser.logoFile.isEmpty());
    EXPECT_FALSE(noUser.tempFolder.isEmpty());
}

TEST(ChoosePrinterCase, FirstCaseThatApplies)
{
    const QString none;
    EXPECT_EQ(ChoosePrinterCase(0, QStringLiteral("VSDPRT1"), none), PrinterChoice::DriverPort);
    EXPECT_EQ(ChoosePrinterCase(0, QStringLiteral("xVSDPRTy"), none), PrinterChoice::DriverPort);
    EXPECT_EQ(ChoosePrinterCase(0, QStringLiteral("vsdprt1"), none),
              PrinterChoice::DriverPortRejected);
    EXPECT_EQ(ChoosePrinterCase(0, QStringLiteral("LPT1:"), none),
              PrinterChoice::DriverPortRejected);
    // A driver port name comes before the port path of start mode 3.
    EXPECT_EQ(ChoosePrinterCase(3, QStringLiteral("VSDPRT1"), QStringLiteral("/dev/ttyS0")),
              PrinterChoice::DriverPort);
    EXPECT_EQ(ChoosePrinterCase(3, none, QStringLiteral("/dev/ttyS0")), PrinterChoice::PortPath);
    EXPECT_EQ(ChoosePrinterCase(3, none, none), PrinterChoice::Dialog);
    EXPECT_EQ(ChoosePrinterCase(0, none, QStringLiteral("/dev/ttyS0")), PrinterChoice::Dialog);
    EXPECT_EQ(ChoosePrinterCase(4, none, none), PrinterChoice::NoPrinter);
    EXPECT_EQ(ChoosePrinterCase(100, none, none), PrinterChoice::Dialog);
}

TEST(ChoosePrinterCase, StartModeFourNeverOpensAPort)
{
    // No library is bound in start mode 4: a driver port name, even a wrong one, is not
    // used.
    EXPECT_EQ(ChoosePrinterCase(4, QStringLiteral("VSDPRT1"), QString()), PrinterChoice::NoPrinter);
    EXPECT_EQ(ChoosePrinterCase(4, QStringLiteral("COM1"), QString()), PrinterChoice::NoPrinter);
}

TEST(StartupRules, SettingsFileOnlyWithoutStartModeAndCallerOrInStartModeFour)
{
    EXPECT_TRUE(UsesSettingsFile(0, 0));
    EXPECT_TRUE(UsesSettingsFile(4, 0));
    EXPECT_TRUE(UsesSettingsFile(4, 2));
    EXPECT_FALSE(UsesSettingsFile(0, 1));
    EXPECT_FALSE(UsesSettingsFile(3, 0));
    EXPECT_FALSE(UsesSettingsFile(100, 0));
    EXPECT_FALSE(UsesSettingsFile(1, 0));
}

TEST(StartupRules, LibraryCallerType)
{
    EXPECT_EQ(LibraryCallerType(0), 0);
    EXPECT_EQ(LibraryCallerType(1), 1);
    EXPECT_EQ(LibraryCallerType(4), 4);
    EXPECT_EQ(LibraryCallerType(5), 0);
    EXPECT_EQ(LibraryCallerType(-1), 0);
}

TEST(StartupRules, PortPathRecordBytes)
{
    PortInfo record;
    std::memset(&record, 0xAB, sizeof record);
    ASSERT_TRUE(MakePortPathRecord(QStringLiteral("/dev/ttyS0"), record));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    auto i32 = [&](size_t offset) {
        int32_t value;
        std::memcpy(&value, bytes + offset, 4);
        return value;
    };
    EXPECT_EQ(i32(1040), -1);
    EXPECT_EQ(i32(1044), -1);
    EXPECT_EQ(i32(1048), 1);
    EXPECT_EQ(FixedText(record.driverPortPath), QStringLiteral("/dev/ttyS0"));
    // Everything else is zero: keyword, port name, device name, origin.
    for (size_t offset = 0; offset < 1040; ++offset)
        ASSERT_EQ(bytes[offset], 0) << offset;
    for (size_t offset = 1052 + 2 * 10; offset < sizeof record; ++offset)
        ASSERT_EQ(bytes[offset], 0) << offset;

    EXPECT_FALSE(MakePortPathRecord(QString(260, QLatin1Char('x')), record));
    EXPECT_TRUE(MakePortPathRecord(QString(259, QLatin1Char('x')), record));
}

TEST(TestIdentity, ParsedFromTheHookText)
{
    const platform::ProcessIdentity admin =
        ParseTestIdentity(QStringLiteral("uid=1000;groups=users,lpadmin"));
    EXPECT_EQ(admin.effectiveUid, 1000u);
    EXPECT_TRUE(platform::IsAdministrator(admin));
    const platform::ProcessIdentity user =
        ParseTestIdentity(QStringLiteral("uid=1000;groups=users"));
    EXPECT_FALSE(platform::IsAdministrator(user));
    EXPECT_TRUE(platform::IsAdministrator(ParseTestIdentity(QStringLiteral("uid=0"))));
    EXPECT_FALSE(platform::IsAdministrator(ParseTestIdentity(QStringLiteral("garbage"))));
    EXPECT_FALSE(platform::IsAdministrator(ParseTestIdentity(QStringLiteral("uid=x;groups="))));
}
