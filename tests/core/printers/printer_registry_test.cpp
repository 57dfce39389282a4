#include "printers/printer_registry.h"

#include "platform/profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PrinterRegistryTest : public ::testing::Test
{
protected:
    QString Folder() const { return m_dir.path(); }
    QString IniPath() const { return m_dir.filePath(QStringLiteral("PrinterSetting.INI")); }

    void WriteIni(const QByteArray& text) const
    {
        QFile file(IniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    QByteArray ReadIni() const
    {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString Read(const QString& section, const QString& key) const
    {
        return platform::GetPrivateProfileString(section, key, QStringLiteral("<missing>"),
                                                 IniPath());
    }

    void Touch(const QString& path) const
    {
        QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QTemporaryDir m_dir;
    PrinterRegistry m_registry;
};

TEST_F(PrinterRegistryTest, MissingFileLoadsNothing)
{
    EXPECT_EQ(m_registry.Load(Folder()), 0);
    EXPECT_EQ(m_registry.Count(), 0);
    EXPECT_EQ(m_registry.Load(m_dir.filePath(QStringLiteral("no-such-folder"))), 0);
}

TEST_F(PrinterRegistryTest, LoadsEntriesAndDerivesSettingsPaths)
{
    WriteIni("[INFO]\r\nCOUNT=2\r\n"
             "[PORT_0]\r\nDeviceName=QP-R60\r\nPortName=COM1\r\nDir=PORT_0\r\n"
             "[PORT_1]\r\nDeviceName=QP-R60\r\nPortName=192.168.0.5\r\nDir=PORT_1\r\n");
    ASSERT_EQ(m_registry.Load(Folder()), 2);
    const PrinterEntry& second = m_registry.Entries().at(1);
    EXPECT_EQ(second.deviceName, QStringLiteral("QP-R60"));
    EXPECT_EQ(second.portName, QStringLiteral("192.168.0.5"));
    EXPECT_EQ(second.dir, QStringLiteral("PORT_1"));
    EXPECT_EQ(m_registry.SettingsPathOf(QStringLiteral("QP-R60"), QStringLiteral("COM1")),
              Folder() + QStringLiteral("/PORT_0/QP-R60_Setting.DAT"));
    EXPECT_EQ(m_registry.SettingsPathOf(QStringLiteral("QP-R60"), QStringLiteral("192.168.0.5")),
              Folder() + QStringLiteral("/PORT_1/QP-R60_Setting.DAT"));
    EXPECT_EQ(m_registry.SettingsPathOf(QStringLiteral("QP-R60"), QStringLiteral("COM2")),
              QString());
}

TEST_F(PrinterRegistryTest, MissingSectionStillYieldsAnEmptyEntry)
{
    WriteIni(
        "[INFO]\r\nCOUNT=2\r\n[PORT_0]\r\nDeviceName=QP-R60\r\nPortName=COM1\r\nDir=PORT_0\r\n");
    ASSERT_EQ(m_registry.Load(Folder()), 2);
    const PrinterEntry& empty = m_registry.Entries().at(1);
    EXPECT_TRUE(empty.deviceName.isEmpty());
    EXPECT_TRUE(empty.portName.isEmpty());
    EXPECT_TRUE(empty.dir.isEmpty());
    EXPECT_TRUE(empty.settingsPath.isEmpty());
    // The next printer added goes after both.
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("USB001"));
    EXPECT_EQ(m_registry.Entries().at(2).dir, QStringLiteral("PORT_2"));
}

TEST_F(PrinterRegistryTest, ZeroNegativeOrTextCountLoadsNothing)
{
    for (const QByteArray count : {"0", "-1", "many", ""}) {
        WriteIni("[INFO]\nCOUNT=" + count + "\n[PORT_0]\nDeviceName=QP-R60\nPortName=COM1\n");
        PrinterRegistry registry;
        EXPECT_EQ(registry.Load(Folder()), 0) << count.constData();
    }
}

TEST_F(PrinterRegistryTest, HugeCountIsBoundedByTheSectionsOfTheFile)
{
    WriteIni("[INFO]\nCOUNT=2147483647\n[PORT_0]\nDeviceName=A\nPortName=COM1\nDir=PORT_0\n"
             "[PORT_1]\nDeviceName=B\nPortName=COM2\nDir=PORT_1\n");
    // Three sections: INFO and two printers.
    EXPECT_EQ(m_registry.Load(Folder()), 3);
    EXPECT_EQ(m_registry.Find(QStringLiteral("B"), QStringLiteral("COM2")), 1);
}

TEST_F(PrinterRegistryTest, LongValuesAreCutTo259Characters)
{
    const QByteArray longName(300, 'N');
    WriteIni("[INFO]\nCOUNT=1\n[PORT_0]\nDeviceName=" + longName + "\nPortName=" + longName +
             "\nDir=PORT_0\n");
    ASSERT_EQ(m_registry.Load(Folder()), 1);
    EXPECT_EQ(m_registry.Entries().at(0).deviceName.size(), 259);
    EXPECT_EQ(m_registry.Entries().at(0).portName.size(), 259);
    // Such a name cannot form a settings path of at most 259 characters.
    EXPECT_TRUE(m_registry.Entries().at(0).settingsPath.isEmpty());

    m_registry.Add(Folder(), QString(400, QLatin1Char('D')), QString(400, QLatin1Char('P')));
    EXPECT_EQ(m_registry.Entries().at(1).deviceName.size(), 259);
    EXPECT_EQ(m_registry.Entries().at(1).portName.size(), 259);
}

TEST_F(PrinterRegistryTest, FindComparesWholeNamesExactly)
{
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("COM1"));
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("COM2"));
    EXPECT_EQ(m_registry.Find(QStringLiteral("QP-R60"), QStringLiteral("COM2")), 1);
    EXPECT_EQ(m_registry.Find(QStringLiteral("qp-r60"), QStringLiteral("COM2")), -1);
    EXPECT_EQ(m_registry.Find(QStringLiteral("QP-R60"), QStringLiteral("com2")), -1);
    EXPECT_EQ(m_registry.Find(QStringLiteral("QP-R6"), QStringLiteral("COM1")), -1);
    EXPECT_EQ(m_registry.Find(QStringLiteral("QP-R60"), QStringLiteral("COM")), -1);
}

TEST_F(PrinterRegistryTest, AddAppendsOnlyNewPairsInTheNextSubFolder)
{
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("COM1"));
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("LPT1"));
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("USB001"));
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("LPT1"));
    ASSERT_EQ(m_registry.Count(), 3);

    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("10.0.0.7"));
    ASSERT_EQ(m_registry.Count(), 4);
    EXPECT_EQ(m_registry.Entries().at(3).dir, QStringLiteral("PORT_3"));
    EXPECT_EQ(m_registry.SettingsPathOf(QStringLiteral("QP-R60"), QStringLiteral("10.0.0.7")),
              Folder() + QStringLiteral("/PORT_3/QP-R60_Setting.DAT"));
}

TEST_F(PrinterRegistryTest, EmptyDeviceNameIsAlwaysAddedButNeverFound)
{
    m_registry.Add(Folder(), QString(), QStringLiteral("COM1"));
    m_registry.Add(Folder(), QString(), QStringLiteral("COM1"));
    EXPECT_EQ(m_registry.Count(), 2);
    EXPECT_EQ(m_registry.Find(QString(), QStringLiteral("COM1")), -1);
    EXPECT_EQ(m_registry.SettingsPathOf(QString(), QStringLiteral("COM1")), QString());
}

TEST_F(PrinterRegistryTest, DeviceNamesThatCannotBeFileNamesGetNoSettingsPath)
{
    const QStringList unusable = {QStringLiteral("   "),       QStringLiteral("a/b"),
                                  QStringLiteral("..\\x"),     QStringLiteral("."),
                                  QStringLiteral(".."),        QStringLiteral("QP\tR60"),
                                  QStringLiteral("QP\nR60"),   QString(QChar(0x7F)),
                                  QStringLiteral("../../etc"), QString(QChar(0x85))};
    for (const QString& name : unusable) {
        m_registry.Add(Folder(), name, QStringLiteral("COM1"));
        EXPECT_NE(m_registry.Find(name, QStringLiteral("COM1")), -1) << name.toStdString();
        EXPECT_EQ(m_registry.SettingsPathOf(name, QStringLiteral("COM1")), QString())
            << name.toStdString();
        EXPECT_FALSE(m_registry.HasSavedSettings(name, QStringLiteral("COM1")));
    }
    // Names that merely look unusual are fine.
    m_registry.Add(Folder(), QStringLiteral("QP R60 ..x"), QStringLiteral("COM1"));
    EXPECT_FALSE(
        m_registry.SettingsPathOf(QStringLiteral("QP R60 ..x"), QStringLiteral("COM1")).isEmpty());
}

TEST_F(PrinterRegistryTest, SettingsPathLongerThan259IsRefused)
{
    const QString folder = QStringLiteral("/s");
    // "/s/PORT_0/" is 10 characters and "_Setting.DAT" 12.
    const QString fits(259 - 10 - 12, QLatin1Char('N'));
    EXPECT_EQ(PrinterRegistry::BuildSettingsPath(folder, QStringLiteral("PORT_0"), fits).size(),
              259);
    EXPECT_TRUE(PrinterRegistry::BuildSettingsPath(folder, QStringLiteral("PORT_0"),
                                                   fits + QLatin1Char('N'))
                    .isEmpty());
}

TEST_F(PrinterRegistryTest, HandEditedDirCannotLeadOutsideTheSettingsFolder)
{
    WriteIni("[INFO]\nCOUNT=6\n"
             "[PORT_0]\nDeviceName=QP-R60\nPortName=A\nDir=..\n"
             "[PORT_1]\nDeviceName=QP-R60\nPortName=B\nDir=../../tmp\n"
             "[PORT_2]\nDeviceName=QP-R60\nPortName=C\nDir=/etc\n"
             "[PORT_3]\nDeviceName=QP-R60\nPortName=D\nDir=\n"
             "[PORT_4]\nDeviceName=QP-R60\nPortName=E\nDir=sub\\dir\n"
             "[PORT_5]\nDeviceName=QP-R60\nPortName=F\nDir=PORT_9\n");
    ASSERT_EQ(m_registry.Load(Folder()), 6);
    for (const char* port : {"A", "B", "C", "D", "E"})
        EXPECT_EQ(m_registry.SettingsPathOf(QStringLiteral("QP-R60"), QString::fromLatin1(port)),
                  QString())
            << port;
    EXPECT_EQ(m_registry.SettingsPathOf(QStringLiteral("QP-R60"), QStringLiteral("F")),
              Folder() + QStringLiteral("/PORT_9/QP-R60_Setting.DAT"));
}

TEST_F(PrinterRegistryTest, HasSavedSettingsFollowsTheFile)
{
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("COM1"));
    const QString path =
        m_registry.SettingsPathOf(QStringLiteral("QP-R60"), QStringLiteral("COM1"));
    EXPECT_FALSE(m_registry.HasSavedSettings(QStringLiteral("QP-R60"), QStringLiteral("COM1")));
    Touch(path);
    EXPECT_TRUE(m_registry.HasSavedSettings(QStringLiteral("QP-R60"), QStringLiteral("COM1")));
    EXPECT_FALSE(m_registry.HasSavedSettings(QStringLiteral("QP-R60"), QStringLiteral("COM2")));
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(m_registry.HasSavedSettings(QStringLiteral("QP-R60"), QStringLiteral("COM1")));
    // A folder of that name is not a saved settings file.
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_FALSE(m_registry.HasSavedSettings(QStringLiteral("QP-R60"), QStringLiteral("COM1")));
}

TEST_F(PrinterRegistryTest, SaveWritesSectionsInOrderAndLoadsBack)
{
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("COM1"));
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("192.168.1.20"));
    ASSERT_EQ(m_registry.Save(Folder()), 2);

    EXPECT_EQ(
        platform::GetPrivateProfileSectionNames(IniPath()),
        QStringList({QStringLiteral("INFO"), QStringLiteral("PORT_0"), QStringLiteral("PORT_1")}));
    EXPECT_EQ(platform::GetPrivateProfileSection(QStringLiteral("INFO"), IniPath()),
              QStringList({QStringLiteral("COUNT=2")}));
    EXPECT_EQ(platform::GetPrivateProfileSection(QStringLiteral("PORT_1"), IniPath()),
              QStringList({QStringLiteral("DeviceName=QP-R60"),
                           QStringLiteral("PortName=192.168.1.20"), QStringLiteral("Dir=PORT_1")}));

    PrinterRegistry loaded;
    ASSERT_EQ(loaded.Load(Folder()), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(loaded.Entries().at(i).deviceName, m_registry.Entries().at(i).deviceName);
        EXPECT_EQ(loaded.Entries().at(i).portName, m_registry.Entries().at(i).portName);
        EXPECT_EQ(loaded.Entries().at(i).dir, m_registry.Entries().at(i).dir);
        EXPECT_EQ(loaded.Entries().at(i).settingsPath, m_registry.Entries().at(i).settingsPath);
    }
}

TEST_F(PrinterRegistryTest, SavingAnEmptyRegistryLeavesTheFileUntouched)
{
    const QByteArray before = "; kept\r\n[INFO]\r\nCOUNT=1\r\n[PORT_0]\r\nDeviceName=X\r\n";
    WriteIni(before);
    EXPECT_EQ(m_registry.Save(Folder()), 0);
    EXPECT_EQ(ReadIni(), before);

    PrinterRegistry empty;
    QTemporaryDir other;
    EXPECT_EQ(empty.Save(other.path()), 0);
    EXPECT_FALSE(QFile::exists(other.filePath(QStringLiteral("PrinterSetting.INI"))));
}

TEST_F(PrinterRegistryTest, SavingFewerEntriesKeepsOldSectionsBeyondCount)
{
    for (int i = 0; i < 5; ++i)
        m_registry.Add(Folder(), QStringLiteral("OLD"), QStringLiteral("COM%1").arg(i));
    ASSERT_EQ(m_registry.Save(Folder()), 5);

    PrinterRegistry two;
    two.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("USB001"));
    two.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("USB002"));
    ASSERT_EQ(two.Save(Folder()), 2);

    EXPECT_EQ(Read(QStringLiteral("INFO"), QStringLiteral("COUNT")), QStringLiteral("2"));
    EXPECT_EQ(Read(QStringLiteral("PORT_1"), QStringLiteral("PortName")), QStringLiteral("USB002"));
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(Read(QStringLiteral("PORT_%1").arg(i), QStringLiteral("PortName")),
                  QStringLiteral("COM%1").arg(i));
    PrinterRegistry loaded;
    EXPECT_EQ(loaded.Load(Folder()), 2);
}

TEST_F(PrinterRegistryTest, SaveIntoAnUnwritableFolderReportsNothingWritten)
{
    const QString notAFolder = m_dir.filePath(QStringLiteral("plain-file"));
    Touch(notAFolder);
    m_registry.Add(notAFolder, QStringLiteral("QP-R60"), QStringLiteral("COM1"));
    EXPECT_EQ(m_registry.Save(notAFolder), 0);
}

TEST_F(PrinterRegistryTest, ValueThatWouldBreakTheFileIsNotWrittenAndCountStays)
{
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("COM1"));
    ASSERT_EQ(m_registry.Save(Folder()), 1);
    m_registry.Add(Folder(), QStringLiteral("QP\n[INFO]\nCOUNT=99"), QStringLiteral("COM2"));
    EXPECT_EQ(m_registry.Save(Folder()), 0);
    EXPECT_EQ(Read(QStringLiteral("INFO"), QStringLiteral("COUNT")), QStringLiteral("1"));
    PrinterRegistry loaded;
    EXPECT_EQ(loaded.Load(Folder()), 1);
}

TEST_F(PrinterRegistryTest, ClearReleasesEverything)
{
    m_registry.Add(Folder(), QStringLiteral("QP-R60"), QStringLiteral("COM1"));
    m_registry.Clear();
    EXPECT_EQ(m_registry.Count(), 0);
    EXPECT_EQ(m_registry.Find(QStringLiteral("QP-R60"), QStringLiteral("COM1")), -1);
}

} // namespace
