#include "app/model_profile.h"

#include <gtest/gtest.h>

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
