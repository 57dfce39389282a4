#include "lang/lang_res_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <climits>
#include <map>

namespace {

const QString kDataDir = QStringLiteral(QPU_TEST_DATA_DIR);
const QString kFullDir = kDataDir + QStringLiteral("/full");
constexpr int kEnglish = 0x0409;
constexpr int kJapanese = 0x0411;
constexpr int kFrench = 0x040C;

// The text of the given number, over a default that shows whether the store replaced it.
QString StringOf(const CLangResStore& store, int number)
{
    QString text = QStringLiteral("<default>");
    store.GetString(number, text);
    return text;
}

QString MessageOf(const CLangResStore& store, int number)
{
    QString text = QStringLiteral("<default>");
    store.GetMessage(number, text);
    return text;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A store loaded with window "TEST_DLG" of the English test file.
class LoadedStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_store.Open(kFullDir, kEnglish, kEnglish), CLangResStore::kOpenedRequested);
        ASSERT_EQ(m_store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    }

    CLangResStore m_store;
};

} // namespace

// --- Open -----------------------------------------------------------------------------

TEST(LangResStoreOpen, RequestedLanguageFoundGivesTwo)
{
    CLangResStore store;
    EXPECT_FALSE(store.IsOpened());
    EXPECT_EQ(store.LanguageId(), -1);
    EXPECT_EQ(store.Open(kFullDir, kJapanese, kEnglish), CLangResStore::kOpenedRequested);
    EXPECT_TRUE(store.IsOpened());
    EXPECT_EQ(store.LanguageId(), kJapanese);
    EXPECT_EQ(store.FileName(), QStringLiteral("0411.DAT"));
    EXPECT_EQ(store.Folder(), kFullDir);
    EXPECT_EQ(store.FilePath(), kFullDir + QStringLiteral("/0411.DAT"));
}

TEST(LangResStoreOpen, OnlyFallbackFileGivesOneAndEnglishFileName)
{
    CLangResStore store;
    EXPECT_EQ(store.Open(kDataDir + QStringLiteral("/english_only"), kJapanese, kEnglish),
              CLangResStore::kOpenedFallback);
    EXPECT_TRUE(store.IsOpened());
    EXPECT_EQ(store.LanguageId(), kEnglish);
    EXPECT_EQ(store.FileName(), QStringLiteral("0409.DAT"));
    ASSERT_EQ(store.LoadSections(QStringLiteral("SELECT_LANG_DLG")), CLangResStore::kOk);
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("Select Language"));
}

TEST(LangResStoreOpen, NoFileOrEmptyFolderGivesMinusOneAndStaysClosed)
{
    CLangResStore store;
    EXPECT_EQ(store.Open(QString(), kEnglish, kEnglish), CLangResStore::kNotFound);
    EXPECT_FALSE(store.IsOpened());

    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_EQ(store.Open(empty.path(), kJapanese, kEnglish), CLangResStore::kNotFound);
    EXPECT_FALSE(store.IsOpened());
    EXPECT_TRUE(store.FileName().isEmpty());
    EXPECT_TRUE(store.FilePath().isEmpty());
    EXPECT_EQ(store.LanguageId(), -1);
    EXPECT_EQ(store.Open(empty.path() + QStringLiteral("/missing"), kEnglish, kEnglish),
              CLangResStore::kNotFound);
}

TEST(LangResStoreOpen, FailedReopenLeavesAClosedEmptyStore)
{
    CLangResStore store;
    ASSERT_EQ(store.Open(kFullDir, kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    ASSERT_FALSE(store.Captions().empty());

    EXPECT_EQ(store.Open(QStringLiteral("/nonexistent/lang"), kFrench, kFrench),
              CLangResStore::kNotFound);
    EXPECT_FALSE(store.IsOpened());
    EXPECT_TRUE(store.Captions().empty());
    EXPECT_TRUE(store.ComboItems().empty());
    EXPECT_TRUE(store.ListColumns().empty());
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("<default>"));
    EXPECT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kNotOpened);
}

TEST(LangResStoreOpen, SuccessfulReopenStartsEmpty)
{
    CLangResStore store;
    ASSERT_EQ(store.Open(kFullDir, kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    ASSERT_EQ(store.Open(kFullDir, kJapanese, kEnglish), CLangResStore::kOpenedRequested);
    EXPECT_TRUE(store.Captions().empty());
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("<default>"));
}

TEST(LangResStoreOpen, FileNameInOtherLetterCaseIsFound)
{
    CLangResStore store;
    EXPECT_EQ(store.Open(kDataDir + QStringLiteral("/lowercase"), kEnglish, kEnglish),
              CLangResStore::kOpenedRequested);
    EXPECT_EQ(store.FileName(), QStringLiteral("0409.dat"));
    ASSERT_EQ(store.LoadSections(QStringLiteral("X")), CLangResStore::kOk);
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("lower-case file name"));
}

TEST(LangResStoreOpen, FolderNamedLikeALanguageFileDoesNotCount)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("0411.DAT")));
    WriteFile(dir.filePath(QStringLiteral("0409.DAT")), "[A_STR]\nT_0=en\n");
    CLangResStore store;
    EXPECT_EQ(store.Open(dir.path(), kJapanese, kEnglish), CLangResStore::kOpenedFallback);
    EXPECT_EQ(store.LanguageId(), kEnglish);
}

TEST(LangResStoreOpen, FileNamesAreFourUpperCaseHexDigits)
{
    EXPECT_EQ(CLangResStore::FormatFileName(0x0409), QStringLiteral("0409.DAT"));
    EXPECT_EQ(CLangResStore::FormatFileName(0x0c0a), QStringLiteral("0C0A.DAT"));
    EXPECT_EQ(CLangResStore::FormatFileName(0x1), QStringLiteral("0001.DAT"));
    EXPECT_EQ(CLangResStore::FormatFileName(0x12345), QStringLiteral("12345.DAT"));
    EXPECT_EQ(CLangResStore::FormatFileName(-1), QStringLiteral("FFFFFFFF.DAT"));
}

TEST(LangResStoreOpen, UnsetLanguageMinusOneFallsBackToEnglish)
{
    CLangResStore store;
    EXPECT_EQ(store.Open(kFullDir, -1, kEnglish), CLangResStore::kOpenedFallback);
    EXPECT_EQ(store.FileName(), QStringLiteral("0409.DAT"));
}

// --- LoadSections ---------------------------------------------------------------------

TEST(LangResStoreLoad, BeforeOpenGivesMinusTwoAndAddsNothing)
{
    CLangResStore store;
    EXPECT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kNotOpened);
    EXPECT_TRUE(store.Captions().empty());
    QString text;
    EXPECT_EQ(store.GetCommonString(5, text), CLangResStore::kBadArgument);
    // The name is checked first.
    EXPECT_EQ(store.LoadSections(QString()), CLangResStore::kBadArgument);
}

TEST(LangResStoreLoad, EmptyNameGivesMinusThreeAndMissingSectionsGiveZero)
{
    CLangResStore store;
    ASSERT_EQ(store.Open(kFullDir, kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    EXPECT_EQ(store.LoadSections(QString()), CLangResStore::kBadArgument);
    QString text;
    EXPECT_EQ(store.GetCommonString(5, text), CLangResStore::kBadArgument);

    EXPECT_EQ(store.LoadSections(QStringLiteral("NO_SUCH_WINDOW")), CLangResStore::kOk);
    EXPECT_TRUE(store.Captions().empty());
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("<default>"));
    // The common sections were read all the same.
    EXPECT_EQ(store.GetCommonMessage(2, text), CLangResStore::kOk);
    EXPECT_EQ(text, QStringLiteral("Common message two"));
}

TEST(LangResStoreLoad, SecondWindowAppendsListsAndReplacesNumbers)
{
    CLangResStore store;
    ASSERT_EQ(store.Open(kFullDir, kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    const size_t captions = store.Captions().size();
    ASSERT_EQ(store.LoadSections(QStringLiteral("OTHER_DLG")), CLangResStore::kOk);

    ASSERT_EQ(store.Captions().size(), captions + 2);
    EXPECT_EQ(store.Captions()[captions]->Number(), 5);
    EXPECT_EQ(store.Captions()[captions + 1]->Text(), QStringLiteral("Other OK"));
    EXPECT_EQ(StringOf(store, 1), QStringLiteral("Other one"));
    EXPECT_EQ(StringOf(store, 50), QStringLiteral("Fifty"));
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("Test Dialog")); // kept from TEST_DLG
    // Window messages are not touched by a window without a message section.
    EXPECT_EQ(MessageOf(store, 1), QStringLiteral("Message one"));
}

TEST(LangResStoreLoad, LoadingTheSameWindowTwiceDoublesTheListRecords)
{
    CLangResStore store;
    ASSERT_EQ(store.Open(kFullDir, kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    const size_t combos = store.ComboItems().size();
    ASSERT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    EXPECT_EQ(store.ComboItems().size(), 2 * combos);
    EXPECT_EQ(StringOf(store, 1), QStringLiteral("Hello\r\nWorld"));
}

TEST(LangResStoreLoad, ClearDeletesEveryRecordButKeepsTheFile)
{
    CLangResStore store;
    ASSERT_EQ(store.Open(kFullDir, kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    store.Clear();
    EXPECT_TRUE(store.Captions().empty());
    EXPECT_TRUE(store.ComboItems().empty());
    EXPECT_TRUE(store.ListColumns().empty());
    QString text;
    EXPECT_EQ(store.GetString(0, text), CLangResStore::kBadArgument);
    EXPECT_EQ(store.GetMessage(1, text), CLangResStore::kBadArgument);
    EXPECT_EQ(store.GetCommonString(5, text), CLangResStore::kBadArgument);
    EXPECT_EQ(store.GetCommonMessage(2, text), CLangResStore::kBadArgument);
    EXPECT_TRUE(store.IsOpened());
    EXPECT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("Test Dialog"));
}

// --- Lookups by number ----------------------------------------------------------------

TEST_F(LoadedStore, LookupResultsAndUnchangedTextOnFailure)
{
    QString text = QStringLiteral("English");
    EXPECT_EQ(m_store.GetString(0, text), CLangResStore::kOk);
    EXPECT_EQ(text, QStringLiteral("Test Dialog"));

    text = QStringLiteral("English");
    EXPECT_EQ(m_store.GetString(15, text), CLangResStore::kNotFound); // a hole
    EXPECT_EQ(text, QStringLiteral("English"));
    EXPECT_EQ(m_store.GetString(-1, text), CLangResStore::kBadArgument);
    EXPECT_EQ(m_store.GetString(INT_MIN, text), CLangResStore::kBadArgument);
    EXPECT_EQ(m_store.GetString(1003, text), CLangResStore::kBadArgument); // beyond 1002
    EXPECT_EQ(m_store.GetString(INT_MAX, text), CLangResStore::kBadArgument);
    EXPECT_EQ(text, QStringLiteral("English"));
    EXPECT_EQ(m_store.GetString(1002, text), CLangResStore::kOk);
    EXPECT_EQ(text, QStringLiteral("bare number"));

    EXPECT_EQ(m_store.GetMessage(2, text), CLangResStore::kNotFound);
    EXPECT_EQ(m_store.GetMessage(101, text), CLangResStore::kBadArgument);
}

TEST_F(LoadedStore, SectionNamesMatchWithoutRegardToCase)
{
    EXPECT_EQ(MessageOf(m_store, 1), QStringLiteral("Message one"));
    // The interface list that the model profile reads from message 100 of a window.
    EXPECT_EQ(MessageOf(m_store, 100), QStringLiteral("0,1,2"));
}

TEST_F(LoadedStore, LaterEntryWithTheSameNumberWins)
{
    EXPECT_EQ(StringOf(m_store, 7), QStringLiteral("second"));
}

TEST_F(LoadedStore, KeysEndInADecimalOrHexadecimalNumber)
{
    EXPECT_EQ(StringOf(m_store, 31), QStringLiteral("hex thirty-one"));
    EXPECT_EQ(StringOf(m_store, 1001), QStringLiteral("Title 1001"));
    EXPECT_EQ(StringOf(m_store, 1002), QStringLiteral("bare number"));
    // A_1F, A_-1 and NO_NUMBER_ have no number; nothing of theirs is stored anywhere.
    for (int number = 0; number <= 1002; ++number) {
        const QString text = StringOf(m_store, number);
        EXPECT_NE(text, QStringLiteral("bad hex"));
        EXPECT_NE(text, QStringLiteral("negative"));
        EXPECT_NE(text, QStringLiteral("empty last piece"));
    }
}

TEST_F(LoadedStore, MalformedLinesAreIgnored)
{
    EXPECT_EQ(StringOf(m_store, 13), QStringLiteral("<default>")); // one||two: three fields
    EXPECT_EQ(StringOf(m_store, 14), QStringLiteral("<default>")); // "||": three fields
    EXPECT_EQ(StringOf(m_store, 15), QStringLiteral("<default>")); // no "="
    EXPECT_EQ(StringOf(m_store, 16), QStringLiteral("<default>")); // empty text
    // A value keeps its quotes and every "=" after the first.
    EXPECT_EQ(StringOf(m_store, 20), QStringLiteral("\"quoted\""));
    EXPECT_EQ(StringOf(m_store, 21), QStringLiteral("a=b"));
}

TEST_F(LoadedStore, OnlyBackslashNAndBackslashTAreEscapes)
{
    EXPECT_EQ(StringOf(m_store, 17), QStringLiteral("C:\\path\to\r\new\table\\x"));
    EXPECT_EQ(StringOf(m_store, 18), QStringLiteral("double\\\r\n backslash"));
    EXPECT_EQ(StringOf(m_store, 19), QStringLiteral("trailing\\"));
    QString text;
    ASSERT_EQ(m_store.GetCommonString(6, text), CLangResStore::kOk);
    EXPECT_EQ(text, QStringLiteral("Tab\there"));
}

// --- References to common texts -------------------------------------------------------

TEST_F(LoadedStore, ReferenceToACommonStringTakesItsText)
{
    EXPECT_EQ(StringOf(m_store, 1), QStringLiteral("Hello\r\nWorld"));
    EXPECT_EQ(StringOf(m_store, 4), QStringLiteral("Common message two"));
    EXPECT_EQ(MessageOf(m_store, 3), QStringLiteral("Common message two"));
    // "CMN_MSG" may stand anywhere in the rest, as long as there are three pieces. Common
    // message 1 is itself the literal "]CMN_STR_5": references are followed once only.
    EXPECT_EQ(StringOf(m_store, 9), QStringLiteral("]CMN_STR_5"));
    // The number piece may be hexadecimal.
    EXPECT_EQ(StringOf(m_store, 11), QStringLiteral("Hello\r\nWorld"));
}

TEST_F(LoadedStore, ReferenceToAMissingCommonTextIsEmptyNotTheDefault)
{
    EXPECT_EQ(StringOf(m_store, 2), QString()); // ]CMN_STR_99
    EXPECT_EQ(StringOf(m_store, 8), QString()); // ]CMN_STR_X: piece not a number
}

TEST_F(LoadedStore, MalformedReferencesStayLiteral)
{
    EXPECT_EQ(StringOf(m_store, 3), QStringLiteral("]CMN_STR_5_X")); // four pieces
    EXPECT_EQ(StringOf(m_store, 5), QStringLiteral("]"));
    EXPECT_EQ(StringOf(m_store, 6), QStringLiteral("]OTHER_5"));
    EXPECT_EQ(StringOf(m_store, 12), QStringLiteral("]cmn_str_5")); // case counts
    // "CMN_STR" is tested first, and five pieces are not a reference.
    EXPECT_EQ(StringOf(m_store, 10), QStringLiteral("]CMN_MSG_CMN_STR_5"));
}

TEST_F(LoadedStore, CommonSectionsResolveNoReferences)
{
    QString text;
    ASSERT_EQ(m_store.GetCommonMessage(1, text), CLangResStore::kOk);
    EXPECT_EQ(text, QStringLiteral("]CMN_STR_5"));
    ASSERT_EQ(m_store.GetCommonString(7, text), CLangResStore::kOk);
    EXPECT_EQ(text, QStringLiteral("]CMN_MSG_2"));
}

// --- Captions, combo items, list columns ----------------------------------------------

TEST_F(LoadedStore, CaptionRecordsInFileOrderWithSpareNumber)
{
    const auto& captions = m_store.Captions();
    ASSERT_EQ(captions.size(), 5u); // IDC_BAD_X and the huge spare number are ignored
    EXPECT_EQ(captions[0]->Key(), QStringLiteral("IDC_OK_1"));
    EXPECT_EQ(captions[0]->Number(), 1);
    EXPECT_EQ(captions[0]->Text(), QStringLiteral("OK"));
    EXPECT_EQ(captions[0]->SpareNumber(), 9);
    EXPECT_EQ(captions[1]->Number(), 2);
    EXPECT_EQ(captions[1]->Text(), QStringLiteral("Tab\there")); // reference resolved
    EXPECT_EQ(captions[1]->SpareNumber(), -1);
    EXPECT_EQ(captions[2]->Text(), QStringLiteral("Select the communication interface to %s."));
    EXPECT_EQ(captions[3]->Number(), 1); // duplicates kept, in file order
    EXPECT_EQ(captions[3]->Text(), QStringLiteral("Okay"));
    EXPECT_EQ(captions[4]->Number(), 1031);
    EXPECT_EQ(captions[4]->Text(), QString());
    EXPECT_EQ(captions[4]->SpareNumber(), 7);
}

TEST_F(LoadedStore, ComboRecordsCarryItemData)
{
    const auto& items = m_store.ComboItems();
    ASSERT_EQ(items.size(), 6u); // "No item data" and the too big item data are ignored
    EXPECT_EQ(items[0]->Number(), 1000);
    EXPECT_EQ(items[0]->Text(), QStringLiteral("English"));
    EXPECT_EQ(items[0]->ItemData(), 0x0409);
    EXPECT_EQ(items[0]->SpareNumber(), -1);
    EXPECT_EQ(items[1]->ItemData(), 0x0411);
    EXPECT_EQ(items[1]->SpareNumber(), 5);
    EXPECT_EQ(items[2]->ItemData(), 0x0409);
    EXPECT_EQ(items[3]->Number(), 1001);
    EXPECT_EQ(items[4]->Text(), QStringLiteral("Bad item data"));
    EXPECT_EQ(items[4]->ItemData(), -1);
    EXPECT_EQ(items[5]->Text(), QStringLiteral("Hello\r\nWorld"));
    EXPECT_EQ(items[5]->ItemData(), 7);
}

TEST_F(LoadedStore, ComboTextByDataTakesTheFirstItemOfControl1000)
{
    EXPECT_EQ(m_store.GetComboTextByData(0x0409), QStringLiteral("English"));
    EXPECT_EQ(m_store.GetComboTextByData(0x0411), QStringLiteral("Japanese"));
    // 1033 is 0x0409 written in decimal: a second entry for English, never answered.
    EXPECT_EQ(m_store.ComboItems()[2]->Text(), QStringLiteral("English in decimal"));
    EXPECT_EQ(m_store.GetComboTextByData(-1), QStringLiteral("Bad item data"));
    EXPECT_EQ(m_store.GetComboTextByData(0x0804), QString());
}

TEST_F(LoadedStore, ListColumnRecordsCarryColumnWidthAndAlignment)
{
    const auto& columns = m_store.ListColumns();
    ASSERT_EQ(columns.size(), 4u); // the line with four fields is ignored
    EXPECT_EQ(columns[0]->Number(), 1020);
    EXPECT_EQ(columns[0]->Text(), QStringLiteral("Port"));
    EXPECT_EQ(columns[0]->ColumnIndex(), 0);
    EXPECT_EQ(columns[0]->Width(), 120);
    EXPECT_FALSE(columns[0]->KeepsWidth());
    EXPECT_EQ(columns[0]->Alignment(), 2);
    EXPECT_EQ(columns[0]->HorizontalAlignment(), Qt::AlignRight);
    EXPECT_EQ(columns[0]->SpareNumber(), -1);

    // "-1" is not a number; it keeps the default -1, which leaves the width unchanged.
    EXPECT_EQ(columns[1]->Width(), CListCtrlResInfo::kWidthUnchanged);
    EXPECT_TRUE(columns[1]->KeepsWidth());
    EXPECT_EQ(columns[1]->HorizontalAlignment(), Qt::AlignHCenter);
    EXPECT_EQ(columns[1]->SpareNumber(), 3);

    EXPECT_EQ(columns[2]->Number(), 1021);
    EXPECT_EQ(columns[2]->Width(), -1);
    EXPECT_EQ(columns[2]->Alignment(), 0);
    EXPECT_EQ(columns[2]->HorizontalAlignment(), Qt::AlignLeft);

    EXPECT_EQ(columns[3]->Text(), QStringLiteral("Common message two"));
    EXPECT_EQ(columns[3]->ColumnIndex(), 3);
    EXPECT_EQ(columns[3]->Width(), 60);
    EXPECT_EQ(columns[3]->Alignment(), 7);
    EXPECT_EQ(columns[3]->HorizontalAlignment(), Qt::AlignLeft);
    EXPECT_EQ(columns[3]->SpareNumber(), 8);
}

// --- Large and out-of-range numbers ---------------------------------------------------

TEST(LangResStoreNumbers, NumbersBeyondThirtyTwoBitsMakeTheLineIgnored)
{
    CLangResStore store;
    ASSERT_EQ(store.Open(kFullDir, kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("NUM_DLG")), CLangResStore::kOk);

    EXPECT_EQ(StringOf(store, INT_MAX), QStringLiteral("largest hex"));
    EXPECT_EQ(StringOf(store, 42), QStringLiteral("leading zeros"));
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("hex zero"));
    EXPECT_EQ(StringOf(store, 31), QStringLiteral("upper X"));
    EXPECT_EQ(StringOf(store, 2000000000), QStringLiteral("two billion"));
    // No entry wrapped round into a small or negative number.
    for (const int number : {5, 6, 1, -1, 0x7FFFFFFF - 1}) {
        const QString text = StringOf(store, number);
        EXPECT_NE(text, QStringLiteral("too large")) << number;
        EXPECT_NE(text, QStringLiteral("too large hex")) << number;
        EXPECT_NE(text, QStringLiteral("far too large")) << number;
    }
    EXPECT_EQ(StringOf(store, 5), QStringLiteral("<default>")); // "A_ 5": space
    EXPECT_EQ(StringOf(store, 6), QStringLiteral("<default>")); // "A_+6": sign
    QString text;
    EXPECT_EQ(store.GetString(1999999999, text), CLangResStore::kNotFound);
}

TEST(LangResStoreNumbers, ParseNumberAcceptsOnlyDigitsOrHexAfter0x)
{
    int number = 77;
    EXPECT_TRUE(CLangResStore::ParseNumber(u"1001", number));
    EXPECT_EQ(number, 1001);
    EXPECT_TRUE(CLangResStore::ParseNumber(u"0x1F", number));
    EXPECT_EQ(number, 31);
    EXPECT_TRUE(CLangResStore::ParseNumber(u"0XaB", number));
    EXPECT_EQ(number, 0xAB);
    EXPECT_TRUE(CLangResStore::ParseNumber(u"0x", number));
    EXPECT_EQ(number, 0);
    EXPECT_TRUE(CLangResStore::ParseNumber(u"2147483647", number));
    EXPECT_EQ(number, INT_MAX);
    EXPECT_TRUE(CLangResStore::ParseNumber(u"0x00000000000000000001", number));
    EXPECT_EQ(number, 1);

    number = 77;
    for (const char16_t* bad :
         {u"", u"1F", u"-1", u"+1", u" 1", u"1 ", u"0x1G", u"x1", u"0x-1", u"1.0", u"2147483648",
          u"0x80000000", u"0xFFFFFFFF", u"99999999999999999999999", u"１"}) {
        EXPECT_FALSE(CLangResStore::ParseNumber(bad, number))
            << QStringView(bad).toString().toStdString();
    }
    EXPECT_EQ(number, 77);
}

TEST(LangResStoreNumbers, SplitTextKeepsEmptyPiecesAndAppends)
{
    QStringList list;
    EXPECT_EQ(CLangResStore::SplitText(u"a", u"||", list), 1);
    EXPECT_EQ(list, QStringList({"a"}));
    list.clear();
    EXPECT_EQ(CLangResStore::SplitText(u"a||", u"||", list), 2);
    EXPECT_EQ(list, QStringList({"a", ""}));
    list.clear();
    EXPECT_EQ(CLangResStore::SplitText(u"||a", u"||", list), 2);
    EXPECT_EQ(list, QStringList({"", "a"}));
    list.clear();
    EXPECT_EQ(CLangResStore::SplitText(u"a||||b", u"||", list), 3);
    EXPECT_EQ(list, QStringList({"a", "", "b"}));
    list.clear();
    EXPECT_EQ(CLangResStore::SplitText(u"a|||b", u"||", list), 2);
    EXPECT_EQ(list, QStringList({"a", "|b"}));
    list.clear();
    EXPECT_EQ(CLangResStore::SplitText(u"", u"||", list), 1);
    EXPECT_EQ(list, QStringList({""}));
    // The list is appended to, and the total size is returned.
    EXPECT_EQ(CLangResStore::SplitText(u"IDS_TITLE_1001", u"_", list), 4);
    EXPECT_EQ(list, QStringList({"", "IDS", "TITLE", "1001"}));
    list.clear();
    EXPECT_EQ(CLangResStore::SplitText(u"abc", u"", list), 1);
    EXPECT_EQ(list, QStringList({"abc"}));
}

// --- Encodings and long sections ------------------------------------------------------

TEST(LangResStoreFiles, Utf16FileWithByteOrderMark)
{
    CLangResStore store;
    ASSERT_EQ(store.Open(kFullDir, kJapanese, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("SELECT_LANG_DLG")), CLangResStore::kOk);
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("言語の選択"));
    ASSERT_EQ(store.Captions().size(), 1u);
    EXPECT_EQ(store.Captions()[0]->Number(), 2);
    EXPECT_EQ(store.Captions()[0]->Text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(store.GetComboTextByData(0x0409), QStringLiteral("英語"));
    EXPECT_EQ(store.GetComboTextByData(0x0411), QStringLiteral("日本語"));

    ASSERT_EQ(store.LoadSections(QStringLiteral("TEST_DLG")), CLangResStore::kOk);
    EXPECT_EQ(StringOf(store, 1), QStringLiteral("はい"));
    EXPECT_EQ(StringOf(store, 2), QStringLiteral("改行\r\nあり"));
    EXPECT_EQ(StringOf(store, 3), QStringLiteral("<default>"));
    ASSERT_EQ(store.ListColumns().size(), 1u);
    EXPECT_EQ(store.ListColumns()[0]->Text(), QStringLiteral("ポート"));
    EXPECT_EQ(store.ListColumns()[0]->Alignment(), 1);
}

TEST(LangResStoreFiles, EightBitFilesAreUtf8WithLatin1ForInvalidBytes)
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("040C.DAT")), "\xEF\xBB\xBF[W_STR]\r\nT_1=Fran\xC3\xA7"
                                                        "ais\r\nT_2=caf\xE9\r\n");
    CLangResStore store;
    ASSERT_EQ(store.Open(dir.path(), kFrench, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("W")), CLangResStore::kOk);
    EXPECT_EQ(StringOf(store, 1), QStringLiteral("Français"));
    EXPECT_EQ(StringOf(store, 2), QStringLiteral("café"));
}

TEST(LangResStoreFiles, SectionLongerThanTheFirstBufferIsReadWhole)
{
    QTemporaryDir dir;
    QByteArray bytes = "[BIG_STR]\n";
    for (int i = 0; i < 300; ++i) {
        bytes += "IDS_TEXT_" + QByteArray::number(i) + "=Text number " + QByteArray::number(i) +
                 " of a section far longer than five hundred and twenty characters\n";
    }
    ASSERT_GT(bytes.size(), 520 * 20);
    WriteFile(dir.filePath(QStringLiteral("0409.DAT")), bytes);
    CLangResStore store;
    ASSERT_EQ(store.Open(dir.path(), kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("BIG")), CLangResStore::kOk);
    for (int i = 0; i < 300; ++i) {
        QString text;
        ASSERT_EQ(store.GetString(i, text), CLangResStore::kOk) << i;
        EXPECT_TRUE(text.startsWith(QStringLiteral("Text number %1 ").arg(i))) << i;
    }
}

TEST(LangResStoreFiles, OverlongLineIsCutAndItsTailIsNoEntry)
{
    QTemporaryDir dir;
    // A line of 3000 characters whose tail, from character 2049 on, looks like an entry.
    const QByteArray head = "T_1=";
    QByteArray line = head + QByteArray(CLangResStore::kMaxLineLength - head.size(), 'a');
    line += "T_2=tail";
    line += QByteArray(3000 - line.size(), 'b');
    WriteFile(dir.filePath(QStringLiteral("0409.DAT")),
              "[LONG_STR]\n" + line + "\nT_3=next line\n");
    CLangResStore store;
    ASSERT_EQ(store.Open(dir.path(), kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_EQ(store.LoadSections(QStringLiteral("LONG")), CLangResStore::kOk);
    EXPECT_EQ(StringOf(store, 1),
              QString(CLangResStore::kMaxLineLength - head.size(), QLatin1Char('a')));
    EXPECT_EQ(StringOf(store, 2), QStringLiteral("<default>"));
    EXPECT_EQ(StringOf(store, 3), QStringLiteral("next line"));
}

TEST(LangResStoreFiles, FileRemovedAfterOpenLoadsNothing)
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("0409.DAT")), "[W_STR]\nT_0=x\n");
    CLangResStore store;
    ASSERT_EQ(store.Open(dir.path(), kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("0409.DAT"))));
    EXPECT_EQ(store.LoadSections(QStringLiteral("W")), CLangResStore::kOk);
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("<default>"));
}

TEST(LangResStoreFiles, BinaryGarbageFileLoadsWithoutHarm)
{
    QTemporaryDir dir;
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
    }
    garbage += "\n[W_STR]\nT_0=after garbage\n";
    WriteFile(dir.filePath(QStringLiteral("0409.DAT")), garbage);
    CLangResStore store;
    ASSERT_EQ(store.Open(dir.path(), kEnglish, kEnglish), CLangResStore::kOpenedRequested);
    EXPECT_EQ(store.LoadSections(QStringLiteral("W")), CLangResStore::kOk);
    EXPECT_EQ(StringOf(store, 0), QStringLiteral("after garbage"));
}

// --- The shipped language files -------------------------------------------------------

namespace {

const QString kShippedDir = QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG");
const char* const kWindowNames[] = {"MAIN_WINDOW",          "MENU_ITEM",      "PRT_STATUS",
                                    "PRT_SELECT_DLG",       "PORT_ADD_DLG",   "SELECT_LANG_DLG",
                                    "PRINTER_SETTING_VIEW", "QP_UTILITY_APP", "PLUGIN_COMMON",
                                    "MSG_CONFIRM_SAVE_FILE"};

// Every number that has a text in the window's strings (messages when messages is true),
// with the text.
std::map<int, QString> TextsOf(const CLangResStore& store, bool messages)
{
    std::map<int, QString> texts;
    for (int number = 0;; ++number) {
        QString text;
        const int result =
            messages ? store.GetMessage(number, text) : store.GetString(number, text);
        if (result == CLangResStore::kBadArgument) {
            return texts;
        }
        if (result == CLangResStore::kOk) {
            texts[number] = text;
        }
    }
}

} // namespace

TEST(ShippedLanguageFiles, EveryLanguageHasTheEnglishTextsOfEveryWindow)
{
    for (const int langId : {0x0407, 0x0411}) {
        for (const char* window : kWindowNames) {
            SCOPED_TRACE(QStringLiteral("%1 %2")
                             .arg(CLangResStore::FormatFileName(langId), window)
                             .toStdString());
            CLangResStore english;
            CLangResStore other;
            ASSERT_EQ(english.Open(kShippedDir, kEnglish, kEnglish),
                      CLangResStore::kOpenedRequested);
            ASSERT_EQ(other.Open(kShippedDir, langId, kEnglish), CLangResStore::kOpenedRequested);
            ASSERT_EQ(english.LoadSections(QString::fromLatin1(window)), CLangResStore::kOk);
            ASSERT_EQ(other.LoadSections(QString::fromLatin1(window)), CLangResStore::kOk);
            for (const bool messages : {false, true}) {
                const auto englishTexts = TextsOf(english, messages);
                const auto otherTexts = TextsOf(other, messages);
                for (const auto& [number, text] : englishTexts) {
                    EXPECT_TRUE(otherTexts.count(number) != 0)
                        << (messages ? "message " : "string ") << number;
                    // A reference that found no common text leaves an empty text.
                    EXPECT_FALSE(text.isEmpty()) << number;
                }
                for (const auto& [number, text] : otherTexts) {
                    EXPECT_FALSE(text.isEmpty()) << number;
                }
            }
            EXPECT_EQ(english.Captions().size(), other.Captions().size());
            EXPECT_EQ(english.ComboItems().size(), other.ComboItems().size());
            EXPECT_EQ(english.ListColumns().size(), other.ListColumns().size());
        }
    }
}

TEST(ShippedLanguageFiles, LanguageListNamesEveryShippedLanguage)
{
    for (const int langId : {0x0407, 0x0409, 0x0411}) {
        CLangResStore store;
        ASSERT_EQ(store.Open(kShippedDir, langId, kEnglish), CLangResStore::kOpenedRequested);
        ASSERT_EQ(store.LoadSections(QStringLiteral("SELECT_LANG_DLG")), CLangResStore::kOk);
        for (const int listed : {0x0407, 0x0409, 0x0411}) {
            EXPECT_FALSE(store.GetComboTextByData(listed).isEmpty()) << langId << " " << listed;
        }
        EXPECT_FALSE(StringOf(store, 0).isEmpty());
        EXPECT_NE(StringOf(store, 0), QStringLiteral("<default>"));
    }
}
