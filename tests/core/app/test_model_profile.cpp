#include "app/model_profile.h"

#include "app/fixed_text.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QString WriteIni(const QTemporaryDir& dir, const QByteArray& text)
{
    const QString path = dir.filePath(QStringLiteral("SETTING.INI"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    return path;
}

void FillSwitches(AppState& state, int32_t value)
{
    for (int32_t* field : {&state.enableFontA, &state.enableFontB, &state.enableFlexibleFont,
                           &state.enableIFSelect, &state.enableBTSearch, &state.enableAutoRestore,
                           &state.arpSupport, &state.wmSupport, &state.autoKeycodeNumbering})
        *field = value;
}

} // namespace

TEST(ModelSeriesMatch, ExamplesOfTheServedSeries)
{
    for (const char* name :
         {"QP-R60", "QP-R60II", "QP-R60 Series", "QP-R60IV", "QP-R60Iv", "QP-R060",
          "Vorka QP-R60 Receipt", "QP-R60 II", "QP-R60 -A", "QP-R60XX", "QP-R60IIV-A"})
        EXPECT_TRUE(ModelSeriesMatch(QString::fromLatin1(name))) << name;
}

TEST(ModelSeriesMatch, OtherModelsAndVariants)
{
    for (const char* name : {"QP-R61", "QP-S60", "QP-R60A", "QP-R60V-A", "QP-R60-A", "QP-R6",
                             "QP-R600", "qp-r60", "QP-r60", "QP-R60iv", "QP-R60XI-B", "QP-", "QP-R",
                             "", "R60", "QP-S60 QP-R60", "QP-R99999999999999999999999999999999"})
        EXPECT_FALSE(ModelSeriesMatch(QString::fromLatin1(name))) << name;
}

TEST(ModelSeriesMatch, RomanGenerations)
{
    // Against a served model of generation 3, lower generations match only as a series.
    const QString served = QStringLiteral("QP-R60III");
    EXPECT_FALSE(ModelSeriesMatch(served, QStringLiteral("QP-R60II")));
    EXPECT_TRUE(ModelSeriesMatch(served, QStringLiteral("QP-R60 Series")));
    EXPECT_TRUE(ModelSeriesMatch(QStringLiteral("QP-R60III Series"), QStringLiteral("QP-R60II")));
    EXPECT_FALSE(
        ModelSeriesMatch(QStringLiteral("QP-R60III Series"), QStringLiteral("QP-R60IV-A")));
    // Equal or higher generations compare the dash of the rest.
    EXPECT_TRUE(ModelSeriesMatch(served, QStringLiteral("QP-R60III")));
    EXPECT_FALSE(ModelSeriesMatch(served, QStringLiteral("QP-R60iii")));
    EXPECT_TRUE(ModelSeriesMatch(served, QStringLiteral("QP-R60IX")));
    EXPECT_FALSE(ModelSeriesMatch(served, QStringLiteral("QP-R60IX-2")));
    // "IIX": a larger run after a double one ends the numeral (2), rest "X": lower.
    EXPECT_FALSE(ModelSeriesMatch(served, QStringLiteral("QP-R60IIX")));
    // "IV" is 4, "VI" 6, "XIV" 14, "IIII" 4: all above 3.
    for (const char* name : {"QP-R60IV", "QP-R60VI", "QP-R60XIV", "QP-R60IIII", "QP-R60Xix"})
        EXPECT_TRUE(ModelSeriesMatch(served, QString::fromLatin1(name))) << name;
    // A suffix must be equal before generations count.
    EXPECT_TRUE(ModelSeriesMatch(QStringLiteral("QP-R60B"), QStringLiteral("QP-R60BII")));
    EXPECT_FALSE(ModelSeriesMatch(QStringLiteral("QP-R60B"), QStringLiteral("QP-R60b")));
}

TEST(ReadModelProfile, ReadsTheNineSwitches)
{
    QTemporaryDir dir;
    const QString ini = WriteIni(dir, "[Font]\nEnableFontA=1\nEnableFontB=2\nEnableFlexibleFont=3\n"
                                      "[IFSetting]\nEnableIFSelect=4\nEnableBTSearch=5\n"
                                      "[RoroVuvivid]\nEnableAutoRestore=6\n"
                                      "[Support]\nARP=7\nWM=8\n"
                                      "[Logo]\nAutoKeycodeNumbering=9\n");
    AppState state{};
    state.commIfSlots[0] = 42;
    ReadModelProfile(state, ini);
    EXPECT_EQ(state.enableFontA, 1);
    EXPECT_EQ(state.enableFontB, 2);
    EXPECT_EQ(state.enableFlexibleFont, 3);
    EXPECT_EQ(state.enableIFSelect, 4);
    EXPECT_EQ(state.enableBTSearch, 5);
    EXPECT_EQ(state.enableAutoRestore, 6);
    EXPECT_EQ(state.arpSupport, 7);
    EXPECT_EQ(state.wmSupport, 8);
    EXPECT_EQ(state.autoKeycodeNumbering, 9);
    // Nothing else is touched.
    EXPECT_EQ(state.commIfSlots[0], 42);
    EXPECT_EQ(state.feature100Supported, 0);
    EXPECT_EQ(state.command1_14_48Enabled, 0);
}

TEST(ReadModelProfile, MissingFileOrKeysGiveZero)
{
    QTemporaryDir dir;
    AppState state{};
    FillSwitches(state, 7);
    ReadModelProfile(state, dir.filePath(QStringLiteral("missing.ini")));
    EXPECT_EQ(state.enableFontA, 0);
    EXPECT_EQ(state.arpSupport, 0);
    EXPECT_EQ(state.autoKeycodeNumbering, 0);

    FillSwitches(state, 7);
    const QString ini = WriteIni(dir, "[Font]\nEnableFontB=1\n[Support]\nWM=1\n");
    ReadModelProfile(state, ini);
    EXPECT_EQ(state.enableFontA, 0);
    EXPECT_EQ(state.enableFontB, 1);
    EXPECT_EQ(state.wmSupport, 1);
    EXPECT_EQ(state.arpSupport, 0);
    EXPECT_EQ(state.enableAutoRestore, 0);
}

TEST(ReadModelProfile, StartMode4SupportsArpAndWm)
{
    QTemporaryDir dir;
    const QString ini = WriteIni(dir, "[Support]\nARP=0\nWM=0\n[Font]\nEnableFontA=1\n");
    AppState state{};
    state.startMode = 4;
    ReadModelProfile(state, ini);
    EXPECT_EQ(state.arpSupport, 1);
    EXPECT_EQ(state.wmSupport, 1);
    EXPECT_EQ(state.enableFontA, 1);

    state.startMode = 100;
    ReadModelProfile(state, ini);
    EXPECT_EQ(state.arpSupport, 0);
    EXPECT_EQ(state.wmSupport, 0);
}

namespace {

// A program folder with SETTING.INI and LANG/ files written by the test.
class InterfaceProfileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("LANG")));
        ASSERT_TRUE(SetFixedText(m_state.languageFolder, m_dir.filePath(QStringLiteral("LANG"))));
        m_state.languageId = 0x0409;
        std::fill(std::begin(m_state.commIfSlots), std::end(m_state.commIfSlots), 77);
        m_state.defaultCommIf = 77;
    }

    QString Ini(const QByteArray& text) { return WriteIni(m_dir, text); }

    void WriteLanguage(const char* fileName, const QByteArray& messages)
    {
        QFile file(m_dir.filePath(QStringLiteral("LANG/") + QLatin1String(fileName)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[PORT_ADD_DLG_MSG]\nMSG_TEST_OK_1=Done.\n" + messages);
    }

    std::vector<int32_t> Slots() const
    {
        return {std::begin(m_state.commIfSlots), std::end(m_state.commIfSlots)};
    }

    QTemporaryDir m_dir;
    AppState m_state{};
};

using Ints = std::vector<int32_t>;

} // namespace

TEST_F(InterfaceProfileTest, ReadingStopsAtTheFirstMinusOne)
{
    WriteLanguage("0409.DAT", "IF_LIST_100=4\nIF_DEFAULT_101=4\n");
    ReadInterfaceProfile(m_state, Ini("[SupportCommIF]\nCommIFType_1=0\nCommIFType_2=2\n"
                                      "CommIFType_3=-1\nCommIFType_4=3\nDefaultIFType=2\n"));
    EXPECT_EQ(Slots(), (Ints{0, 2, -1, -1, -1}));
    EXPECT_EQ(m_state.defaultCommIf, 2);
}

TEST_F(InterfaceProfileTest, AllFiveSlotsAndNoDefaultKey)
{
    WriteLanguage("0409.DAT", "IF_LIST_100=4\nIF_DEFAULT_101=4\n");
    ReadInterfaceProfile(m_state,
                         Ini("[SupportCommIF]\nCommIFType_1=0\nCommIFType_2=1\nCommIFType_3=2\n"
                             "CommIFType_4=3\nCommIFType_5=4\n"));
    EXPECT_EQ(Slots(), (Ints{0, 1, 2, 3, 4}));
    // The language texts are not consulted once slot 1 is set.
    EXPECT_EQ(m_state.defaultCommIf, -1);
}

TEST_F(InterfaceProfileTest, LanguageListWithoutDefaultMessage)
{
    WriteLanguage("0409.DAT", "IF_LIST_100=0,1,2\n");
    ReadInterfaceProfile(m_state, Ini("[Font]\nEnableFontA=1\n"));
    EXPECT_EQ(Slots(), (Ints{0, 1, 2, -1, -1}));
    EXPECT_EQ(m_state.defaultCommIf, 0);
}

TEST_F(InterfaceProfileTest, LanguageListAndDefaultMessage)
{
    WriteLanguage("0409.DAT", "IF_LIST_100=1,3,4,0,2,9\nIF_DEFAULT_101=3rd\n");
    ReadInterfaceProfile(m_state, Ini("[SupportCommIF]\nDefaultIFType=1\n"));
    EXPECT_EQ(Slots(), (Ints{1, 3, 4, 0, 2}));
    EXPECT_EQ(m_state.defaultCommIf, 3);

    WriteLanguage("0409.DAT", "IF_LIST_100=2, 3 ,4\nIF_DEFAULT_101=none\n");
    ReadInterfaceProfile(m_state, Ini("[SupportCommIF]\nCommIFType_1=-1\n"));
    EXPECT_EQ(Slots(), (Ints{2, 3, -1, -1, -1}));
    EXPECT_EQ(m_state.defaultCommIf, 0);
}

TEST_F(InterfaceProfileTest, WithoutSectionAndTexts)
{
    ReadInterfaceProfile(m_state, Ini("[Font]\n"));
    EXPECT_EQ(Slots(), (Ints{2, -1, -1, -1, -1}));
    EXPECT_EQ(m_state.defaultCommIf, 2);

    // A language file without the messages gives the same.
    WriteLanguage("0409.DAT", "");
    ReadInterfaceProfile(m_state, QString());
    EXPECT_EQ(Slots(), (Ints{2, -1, -1, -1, -1}));
    EXPECT_EQ(m_state.defaultCommIf, 2);

    // A list that is not a number leaves every slot empty and the default 0.
    WriteLanguage("0409.DAT", "IF_LIST_100=USB\n");
    ReadInterfaceProfile(m_state, QString());
    EXPECT_EQ(Slots(), (Ints{-1, -1, -1, -1, -1}));
    EXPECT_EQ(m_state.defaultCommIf, 0);
}

TEST_F(InterfaceProfileTest, ChosenLanguageFirstThenEnglish)
{
    WriteLanguage("0409.DAT", "IF_LIST_100=0,1\n");
    m_state.languageId = 0x0411;
    ReadInterfaceProfile(m_state, QString());
    EXPECT_EQ(Slots(), (Ints{0, 1, -1, -1, -1}));

    WriteLanguage("0411.DAT", "IF_LIST_100=3,4\nIF_DEFAULT_101=4\n");
    ReadInterfaceProfile(m_state, QString());
    EXPECT_EQ(Slots(), (Ints{3, 4, -1, -1, -1}));
    EXPECT_EQ(m_state.defaultCommIf, 4);
}
