// Checks of the shipped language files: every line is read, every language defines what
// English defines with the same placeholders, English says what the product says, and
// the lists that dialogs rely on have the entries and values they expect.

#include "lang/lang_res_store.h"
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <map>
#include <optional>
#include <set>
#include <vector>

namespace {

const QString kLangDir = QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG");
constexpr int kEnglish = 0x0409;
constexpr int kJapanese = 0x0411;
constexpr int kGerman = 0x0407;
// Above every text number in use (the highest is 5020).
constexpr int kHighestNumberProbed = 9999;

const QStringList kWindowNames = {
    QStringLiteral("MAIN_WINDOW"),
    QStringLiteral("MENU_ITEM"),
    QStringLiteral("PRT_STATUS"),
    QStringLiteral("PRT_SELECT_DLG"),
    QStringLiteral("PORT_ADD_DLG"),
    QStringLiteral("SELECT_LANG_DLG"),
    QStringLiteral("PRINTER_SETTING_VIEW"),
    QStringLiteral("QP_UTILITY_APP"),
    QStringLiteral("PLUGIN_COMMON"),
    QStringLiteral("MSG_CONFIRM_SAVE_FILE"),
    // Windows of the shipped setting-page plug-ins.
    QStringLiteral("PLUGIN_PAGE"),
    QStringLiteral("PRINT_SETTINGS_PAGE"),
    QStringLiteral("MEMORY_SWITCH_PAGE"),
    QStringLiteral("PRINTER_INFO_PAGE"),
};

enum class Kind
{
    CommonString,
    CommonMessage,
    Caption,
    ComboItem,
    ListColumn,
    Message,
    String,
};

bool IsByNumber(Kind kind)
{
    return kind == Kind::CommonString || kind == Kind::CommonMessage || kind == Kind::Message ||
           kind == Kind::String;
}

bool IsCommon(Kind kind)
{
    return kind == Kind::CommonString || kind == Kind::CommonMessage;
}

// Fields a line of the kind needs; by-number lines need exactly this many.
int RequiredFields(Kind kind)
{
    switch (kind) {
    case Kind::ComboItem:
        return 3;
    case Kind::ListColumn:
        return 5;
    default:
        return 2;
    }
}

std::optional<Kind> KindOfSection(const QString& section)
{
    if (section.compare(QLatin1String("CMN_STR"), Qt::CaseInsensitive) == 0) {
        return Kind::CommonString;
    }
    if (section.compare(QLatin1String("CMN_MSG"), Qt::CaseInsensitive) == 0) {
        return Kind::CommonMessage;
    }
    static const std::pair<const char*, Kind> kSuffixes[] = {
        {"_CAP", Kind::Caption}, {"_CMB", Kind::ComboItem}, {"_LSTCTRL", Kind::ListColumn},
        {"_MSG", Kind::Message}, {"_STR", Kind::String},
    };
    for (const QString& window : kWindowNames) {
        for (const auto& [suffix, kind] : kSuffixes) {
            if (section.compare(window + QLatin1String(suffix), Qt::CaseInsensitive) == 0) {
                return kind;
            }
        }
    }
    return std::nullopt;
}

struct ShippedFile
{
    int langId = -1;
    QString path;
};

std::vector<ShippedFile> ShippedFiles()
{
    std::vector<ShippedFile> files;
    const QDir dir(kLangDir);
    for (const QString& name : dir.entryList({QStringLiteral("*.DAT")}, QDir::Files)) {
        bool ok = false;
        const int id = name.left(name.size() - 4).toInt(&ok, 16);
        if (ok) {
            files.push_back({id, dir.filePath(name)});
        }
    }
    return files;
}

// The file's text as the profile reader decodes it, or nothing when the bytes are not
// valid UTF-16LE (with FF FE) or valid UTF-8: the reader would fall back to Latin-1 and
// show wrong characters.
std::optional<QString> DecodeStrictly(const QByteArray& bytes)
{
    QByteArray body = bytes;
    auto encoding = QStringConverter::Utf8;
    if (body.startsWith("\xFF\xFE")) {
        encoding = QStringConverter::Utf16LE;
        body.remove(0, 2);
    } else if (body.startsWith("\xEF\xBB\xBF")) {
        body.remove(0, 3);
    }
    QStringDecoder decoder(encoding);
    QString text = decoder(body);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

QStringList Split(QStringView text, QStringView separator)
{
    QStringList pieces;
    CLangResStore::SplitText(text, separator, pieces);
    return pieces;
}

// Lines that the store would drop or override without a word, found by reading the file
// with the store's own rules. Empty for a sound file.
QStringList LintLanguageFile(const QString& path)
{
    QStringList problems;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {QStringLiteral("cannot read the file")};
    }
    const std::optional<QString> text = DecodeStrictly(file.readAll());
    if (!text) {
        return {QStringLiteral("neither UTF-16LE with byte-order mark nor valid UTF-8")};
    }

    // Lines outside the profile reader's view: before the first section, overlong,
    // malformed section headers.
    bool inSection = false;
    for (const QString& raw : text->split(QRegularExpression(QStringLiteral("[\r\n]+")))) {
        const QString line = raw.trimmed();
        if (line.size() > CLangResStore::kMaxLineLength) {
            problems << QStringLiteral("line longer than 2048 characters: %1").arg(line.left(40));
        }
        if (line.isEmpty() || line.startsWith(u';')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            inSection = true;
            if (!line.endsWith(u']')) {
                problems << QStringLiteral("text after the section header: %1").arg(line);
            }
        } else if (!inSection) {
            problems << QStringLiteral("line outside any section: %1").arg(line);
        }
    }

    const QStringList sections = platform::GetPrivateProfileSectionNames(path);
    QSet<QString> seenSections;
    std::map<Kind, std::set<int>> commonNumbers;
    // Common sections first: references in the other sections point into them.
    std::vector<std::pair<QString, Kind>> ordered;
    for (const QString& section : sections) {
        const std::optional<Kind> kind = KindOfSection(section);
        if (!kind) {
            problems << QStringLiteral("[%1]: no window reads this section").arg(section);
            continue;
        }
        if (seenSections.contains(section.toUpper())) {
            problems
                << QStringLiteral("[%1]: repeated section, only the first is read").arg(section);
            continue;
        }
        seenSections.insert(section.toUpper());
        if (IsCommon(*kind)) {
            ordered.insert(ordered.begin(), {section, *kind});
        } else {
            ordered.emplace_back(section, *kind);
        }
    }

    static const QRegularExpression kReference(QStringLiteral("^\\]CMN_(STR|MSG)_(\\d+)$"));
    for (const auto& [section, kind] : ordered) {
        std::set<int> numbers;
        std::set<std::pair<int, int>> columns;
        for (const QString& line : platform::GetPrivateProfileSection(section, path)) {
            const auto problem = [&](const char* why) {
                problems << QStringLiteral("[%1] %2: %3").arg(section, line, QLatin1String(why));
            };
            const qsizetype equals = line.indexOf(u'=');
            if (equals <= 0 || equals + 1 >= line.size()) {
                problem("no \"=\", or an empty key or text");
                continue;
            }
            const QStringList keyPieces = Split(QStringView(line).left(equals), u"_");
            int number = -1;
            if (!CLangResStore::ParseNumber(keyPieces.last(), number)) {
                problem("the key does not end in a number");
                continue;
            }
            const QStringList fields =
                QStringList{line.left(equals)} + Split(QStringView(line).mid(equals + 1), u"||");
            const int required = RequiredFields(kind);
            if (fields.size() < required || (IsByNumber(kind) && fields.size() != required)) {
                problem("wrong number of \"||\" fields");
                continue;
            }
            for (int i = 2; i < required; ++i) {
                int value = 0;
                if (fields[i] != QLatin1String("-1") &&
                    !CLangResStore::ParseNumber(fields[i], value)) {
                    problem("a number field is not a number");
                }
            }
            const QString& textField = fields[1];
            if (textField.startsWith(u']')) {
                const QRegularExpressionMatch match = kReference.match(textField);
                const Kind target = match.captured(1) == QLatin1String("STR") ? Kind::CommonString
                                                                              : Kind::CommonMessage;
                if (IsCommon(kind)) {
                    problem("common texts cannot refer to common texts");
                } else if (!match.hasMatch()) {
                    problem("malformed reference to a common text");
                } else if (commonNumbers[target].count(match.captured(2).toInt()) == 0) {
                    problem("reference to a common text that does not exist");
                }
            }
            if (IsByNumber(kind) || kind == Kind::Caption) {
                if (!numbers.insert(number).second) {
                    problem("number repeated: the earlier line is overridden");
                }
            } else if (kind == Kind::ListColumn) {
                int column = -1;
                CLangResStore::ParseNumber(fields[2], column);
                if (!columns.insert({number, column}).second) {
                    problem("column repeated: the earlier line is overridden");
                }
            }
            if (IsCommon(kind)) {
                commonNumbers[kind].insert(number);
            }
        }
    }
    return problems;
}

// The printf conversions of a text, in order ("%%" is not one).
QStringList Placeholders(const QString& text)
{
    static const QRegularExpression kConversion(QStringLiteral(
        "%(?:%|[-+ #0]*(?:\\d+|\\*)?(?:\\.(?:\\d+|\\*))?(?:hh|h|ll|l|L|z|j|t)?[diouxXeEfgGcsSp])"));
    QStringList found;
    for (const QRegularExpressionMatch& match : kConversion.globalMatch(text)) {
        if (match.captured() != QLatin1String("%%")) {
            found << match.captured();
        }
    }
    return found;
}

class LoadedWindow
{
public:
    LoadedWindow(int langId, const QString& window)
    {
        m_opened = m_store.Open(kLangDir, langId, kEnglish);
        m_store.LoadSections(window);
    }
    int OpenResult() const { return m_opened; }
    const CLangResStore& Store() const { return m_store; }

    // Every by-number text: (kind, number) -> text.
    std::map<std::pair<Kind, int>, QString> NumberedTexts() const
    {
        std::map<std::pair<Kind, int>, QString> texts;
        for (int n = 0; n <= kHighestNumberProbed; ++n) {
            QString text;
            if (m_store.GetString(n, text) == CLangResStore::kOk) {
                texts[{Kind::String, n}] = text;
            }
            if (m_store.GetMessage(n, text) == CLangResStore::kOk) {
                texts[{Kind::Message, n}] = text;
            }
            if (m_store.GetCommonString(n, text) == CLangResStore::kOk) {
                texts[{Kind::CommonString, n}] = text;
            }
            if (m_store.GetCommonMessage(n, text) == CLangResStore::kOk) {
                texts[{Kind::CommonMessage, n}] = text;
            }
        }
        return texts;
    }

    // The item data of every combo item of one control, in file order.
    std::vector<int> ItemData(int controlId) const
    {
        std::vector<int> data;
        for (const auto& item : m_store.ComboItems()) {
            if (item->Number() == controlId) {
                data.push_back(item->ItemData());
            }
        }
        return data;
    }

private:
    CLangResStore m_store;
    int m_opened = CLangResStore::kNotFound;
};

QString Describe(int langId, const QString& window, const std::pair<Kind, int>& key)
{
    static const char* const kKindNames[] = {"common string", "common message", "caption",
                                             "combo item",    "list column",    "message",
                                             "string"};
    return QStringLiteral("%1 %2 %3 %4")
        .arg(langId, 4, 16, QLatin1Char('0'))
        .arg(window, QLatin1String(kKindNames[static_cast<int>(key.first)]))
        .arg(key.second);
}

TEST(ShippedLanguageFiles, EnglishJapaneseAndGermanAreShipped)
{
    std::set<int> ids;
    for (const ShippedFile& file : ShippedFiles()) {
        ids.insert(file.langId);
    }
    EXPECT_EQ(ids, (std::set<int>{kGerman, kEnglish, kJapanese}));
}

TEST(ShippedLanguageFiles, EveryLineIsRead)
{
    for (const ShippedFile& file : ShippedFiles()) {
        const QStringList problems = LintLanguageFile(file.path);
        EXPECT_TRUE(problems.isEmpty()) << file.path.toStdString() << ":\n"
                                        << problems.join(u'\n').toStdString();
    }
}

TEST(ShippedLanguageFiles, EveryLanguageDefinesWhatEnglishDefinesWithTheSamePlaceholders)
{
    for (const ShippedFile& file : ShippedFiles()) {
        for (const QString& window : kWindowNames) {
            const LoadedWindow english(kEnglish, window);
            const LoadedWindow other(file.langId, window);
            ASSERT_EQ(other.OpenResult(), CLangResStore::kOpenedRequested)
                << file.path.toStdString();

            const auto englishTexts = english.NumberedTexts();
            const auto otherTexts = other.NumberedTexts();
            for (const auto& [key, text] : englishTexts) {
                const auto found = otherTexts.find(key);
                const std::string where = Describe(file.langId, window, key).toStdString();
                ASSERT_NE(found, otherTexts.end()) << where << " is missing";
                EXPECT_FALSE(found->second.isEmpty()) << where << " is empty";
                EXPECT_EQ(Placeholders(found->second), Placeholders(text)) << where;
            }
            for (const auto& entry : otherTexts) {
                EXPECT_TRUE(englishTexts.count(entry.first))
                    << Describe(file.langId, window, entry.first).toStdString()
                    << " is not defined in English";
            }

            std::map<int, QString> englishCaptions;
            std::map<int, QString> otherCaptions;
            for (const auto& caption : english.Store().Captions()) {
                englishCaptions[caption->Number()] = caption->Text();
            }
            for (const auto& caption : other.Store().Captions()) {
                otherCaptions[caption->Number()] = caption->Text();
            }
            ASSERT_EQ(otherCaptions.size(), englishCaptions.size()) << window.toStdString();
            for (const auto& [control, text] : englishCaptions) {
                ASSERT_TRUE(otherCaptions.count(control)) << window.toStdString() << " " << control;
                EXPECT_EQ(Placeholders(otherCaptions[control]), Placeholders(text));
            }

            // Combo items: same controls, same item data in the same order.
            ASSERT_EQ(other.Store().ComboItems().size(), english.Store().ComboItems().size());
            for (size_t i = 0; i < english.Store().ComboItems().size(); ++i) {
                const auto& mine = *other.Store().ComboItems()[i];
                const auto& base = *english.Store().ComboItems()[i];
                EXPECT_EQ(mine.Number(), base.Number()) << window.toStdString() << " item " << i;
                EXPECT_EQ(mine.ItemData(), base.ItemData())
                    << window.toStdString() << " item " << i;
                EXPECT_EQ(Placeholders(mine.Text()), Placeholders(base.Text()));
            }

            // List columns: same columns, widths and alignments.
            ASSERT_EQ(other.Store().ListColumns().size(), english.Store().ListColumns().size());
            for (size_t i = 0; i < english.Store().ListColumns().size(); ++i) {
                const auto& mine = *other.Store().ListColumns()[i];
                const auto& base = *english.Store().ListColumns()[i];
                EXPECT_EQ(mine.Number(), base.Number());
                EXPECT_EQ(mine.ColumnIndex(), base.ColumnIndex());
                EXPECT_EQ(mine.Width(), base.Width());
                EXPECT_EQ(mine.Alignment(), base.Alignment());
                EXPECT_FALSE(mine.Text().isEmpty());
            }
        }
    }
}

struct ProductText
{
    const char* window;
    Kind kind;
    int number;
    const char* english;
};

// The utility's own English texts, which its windows also carry compiled in.
const ProductText kProductTexts[] = {
    {"QP_UTILITY_APP", Kind::Message, 0,
     "You must have Administrator rights to run this software."},
    {"QP_UTILITY_APP", Kind::Message, 4,
     "Cannot launch the printer because it is in use by another application."},
    {"QP_UTILITY_APP", Kind::Message, 7, "Saving to the file failed."},
    {"MAIN_WINDOW", Kind::String, 0, "Communicating with the printer"},
    {"PRT_SELECT_DLG", Kind::Message, 0, "Please select the printer you want to setup."},
    {"PRT_SELECT_DLG", Kind::Message, 1, "Do you really want to delete the selected port?"},
    {"PRT_SELECT_DLG", Kind::Message, 2, "The connected printer is not %s."},
    {"PRT_SELECT_DLG", Kind::Message, 3, "Cannot communicate with the printer."},
    {"PRT_SELECT_DLG", Kind::Message, 4,
     "Cannot launch the printer because it is in use by another application."},
    {"PRT_SELECT_DLG", Kind::String, 1, "Serial"},
    {"PRT_SELECT_DLG", Kind::String, 2, "Parallel"},
    {"PRT_SELECT_DLG", Kind::String, 3, "USB"},
    {"PRT_SELECT_DLG", Kind::String, 4, "NET"},
    {"PRT_SELECT_DLG", Kind::String, 5, "Select"},
    {"PRT_SELECT_DLG", Kind::String, 6, "Bluetooth"},
    {"PRT_SELECT_DLG", Kind::Caption, 1003, "Add Port"},
    {"PRT_SELECT_DLG", Kind::Caption, 1004, "Delete Port"},
    {"PRT_SELECT_DLG", Kind::Caption, 1026, "Select Language"},
    {"PRT_SELECT_DLG", Kind::Caption, 1018, "Select Printer and Press [OK] Button."},
    {"PRT_SELECT_DLG", Kind::Caption, 1019,
     "If the port to which the printer is connected is not listed, \r\nadd it by clicking the "
     "Add Port button."},
    {"PORT_ADD_DLG", Kind::String, 0, "Add Port"},
    {"PORT_ADD_DLG", Kind::String, 13, "Select the communication interface to %s."},
    {"PORT_ADD_DLG", Kind::String, 5018, "Paring"},
    {"PORT_ADD_DLG", Kind::String, 5019, "Run VorkaNet Config"},
    {"PORT_ADD_DLG", Kind::String, 5020, "VorkaNet Config Running..."},
    {"PORT_ADD_DLG", Kind::Message, 0, "A communication error occurred."},
    {"PORT_ADD_DLG", Kind::Message, 1, "Communication test completed successfully."},
    {"PORT_ADD_DLG", Kind::Message, 2, "The device ID does not match the connected printer."},
    {"PORT_ADD_DLG", Kind::Message, 3, "Cannot find the printer."},
    {"PORT_ADD_DLG", Kind::Caption, 2000, "Serial"},
    {"PORT_ADD_DLG", Kind::Caption, 2001, "Parallel"},
    {"PORT_ADD_DLG", Kind::Caption, 2002, "USB"},
    {"PORT_ADD_DLG", Kind::Caption, 2003, "Ethernet"},
    {"PORT_ADD_DLG", Kind::Caption, 2004, "Bluetooth"},
    {"PORT_ADD_DLG", Kind::Caption, 1026, "Communication test"},
    {"SELECT_LANG_DLG", Kind::String, 0, "Select Language"},
    {"PRINTER_SETTING_VIEW", Kind::Message, 0,
     "The device ID does not match the connected printer."},
    {"PRINTER_SETTING_VIEW", Kind::Message, 1, "A communication error occurred."},
    {"PRINTER_SETTING_VIEW", Kind::Message, 2, "Could not get some settings from the printer."},
    {"PRT_STATUS", Kind::String, 0, "Online"},
    {"PRT_STATUS", Kind::String, 1, "Offline"},
    {"PRT_STATUS", Kind::String, 2, "Cannot Get Status"},
    {"PRT_STATUS", Kind::String, 3, "Fatal Error"},
    {"PRT_STATUS", Kind::String, 4, "Recoverable error"},
    {"PRT_STATUS", Kind::String, 5, "Auto recoverable error"},
    {"PRT_STATUS", Kind::String, 6, "Cover is open"},
    {"PRT_STATUS", Kind::String, 7, "Out of paper"},
    {"PRT_STATUS", Kind::String, 8, "Out of journal"},
    {"PRT_STATUS", Kind::String, 9, "Auto cutter error"},
    {"PRT_STATUS", Kind::String, 10, "No Ink Cartridge 1"},
    {"PRT_STATUS", Kind::String, 11, "No Ink Cartridge 2"},
    {"PRT_STATUS", Kind::String, 12, "Out of ink 1"},
    {"PRT_STATUS", Kind::String, 13, "Out of ink 2"},
    {"PRT_STATUS", Kind::String, 14, "Feeding paper"},
    {"PRT_STATUS", Kind::String, 15, "Offline"},
    {"PRT_STATUS", Kind::String, 16, "Awaiting paper removal"},
    {"PRT_STATUS", Kind::String, 17, "Paper near-end"},
    {"PRT_STATUS", Kind::String, 18, "Journal near-end"},
    {"PRT_STATUS", Kind::String, 19, "Ink 1 near-end"},
    {"PRT_STATUS", Kind::String, 20, "Ink 2 near-end"},
    {"PRT_STATUS", Kind::String, 21, "Unknown"},
    {"PRT_STATUS", Kind::String, 22, "Port:"},
    {"PRT_STATUS", Kind::String, 23, "Serial No:"},
    {"PRT_STATUS", Kind::String, 24, "Status:"},
    {"PRT_STATUS", Kind::String, 27, "Cleaning"},
    {"PRT_STATUS", Kind::String, 28, "Unknown"},
    {"PRT_STATUS", Kind::String, 29, "Paper layout error"},
};

TEST(ShippedLanguageFiles, EnglishSaysWhatTheUtilitySays)
{
    for (const ProductText& expected : kProductTexts) {
        const QString window = QLatin1String(expected.window);
        const LoadedWindow english(kEnglish, window);
        QString text;
        if (expected.kind == Kind::Caption) {
            for (const auto& caption : english.Store().Captions()) {
                if (caption->Number() == expected.number) {
                    text = caption->Text();
                }
            }
        } else if (expected.kind == Kind::String) {
            english.Store().GetString(expected.number, text);
        } else {
            english.Store().GetMessage(expected.number, text);
        }
        EXPECT_EQ(text.toStdString(), expected.english)
            << expected.window << " " << expected.number;
    }
}

TEST(ShippedLanguageFiles, TheConfirmSaveQuestionHasACaptionAndAQuestion)
{
    for (const ShippedFile& file : ShippedFiles()) {
        const LoadedWindow texts(file.langId, QStringLiteral("MSG_CONFIRM_SAVE_FILE"));
        QString caption;
        QString question;
        EXPECT_EQ(texts.Store().GetMessage(0, caption), CLangResStore::kOk);
        EXPECT_EQ(texts.Store().GetMessage(1, question), CLangResStore::kOk);
        EXPECT_FALSE(caption.isEmpty());
        EXPECT_FALSE(question.isEmpty());
    }
}

TEST(ShippedLanguageFiles, EveryFileOffersEveryShippedLanguageOnceUnderItsOwnName)
{
    const std::vector<ShippedFile> files = ShippedFiles();
    for (const ShippedFile& file : files) {
        const LoadedWindow dialog(file.langId, QStringLiteral("SELECT_LANG_DLG"));
        std::multiset<int> offered;
        for (const int id : dialog.ItemData(CLangResStore::kLanguageListControlId)) {
            offered.insert(id);
        }
        std::multiset<int> shipped;
        for (const ShippedFile& each : files) {
            shipped.insert(each.langId);
        }
        EXPECT_EQ(offered, shipped) << file.path.toStdString();
        EXPECT_EQ(dialog.Store().GetComboTextByData(kEnglish), QStringLiteral("English"));
        EXPECT_EQ(dialog.Store().GetComboTextByData(kJapanese), QStringLiteral("日本語"));
        EXPECT_EQ(dialog.Store().GetComboTextByData(kGerman), QStringLiteral("Deutsch"));
    }
}

TEST(ShippedLanguageFiles, SerialListsHoldWhatTheAddPortDialogSelectsAndTheLibraryTakes)
{
    enum Control
    {
        kBitLength = 1017,
        kBaudRate = 1019,
        kParity = 1020,
        kFlowControl = 1021,
    };
    const std::set<int> baudRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (const ShippedFile& file : ShippedFiles()) {
        SCOPED_TRACE(file.path.toStdString());
        const LoadedWindow dialog(file.langId, QStringLiteral("PORT_ADD_DLG"));

        // The dialog preselects entry 2 of the bit length, entry 0 of the baud rate and of
        // the flow control, and entry 1 of the parity after removing entry 0.
        const std::vector<int> bits = dialog.ItemData(kBitLength);
        ASSERT_GE(bits.size(), 3u);
        EXPECT_EQ(bits[2], 8);
        for (const int value : bits) {
            EXPECT_TRUE(value >= 5 && value <= 8) << value;
        }
        const std::vector<int> rates = dialog.ItemData(kBaudRate);
        ASSERT_FALSE(rates.empty());
        EXPECT_EQ(rates[0], 9600);
        for (const int value : rates) {
            EXPECT_TRUE(baudRates.count(value)) << value;
        }
        const std::vector<int> parity = dialog.ItemData(kParity);
        ASSERT_EQ(parity.size(), 4u);
        EXPECT_EQ(std::vector<int>(parity.begin() + 1, parity.end()), (std::vector<int>{0, 1, 2}));
        EXPECT_EQ(dialog.ItemData(kFlowControl), (std::vector<int>{0, 1, 2}));
    }
}

TEST(ShippedLanguageFiles, InterfaceFallbackListNamesButtonsAndADefaultAmongThem)
{
    for (const ShippedFile& file : ShippedFiles()) {
        const LoadedWindow dialog(file.langId, QStringLiteral("PORT_ADD_DLG"));
        QString list;
        QString defaultInterface;
        ASSERT_EQ(dialog.Store().GetMessage(100, list), CLangResStore::kOk);
        ASSERT_EQ(dialog.Store().GetMessage(101, defaultInterface), CLangResStore::kOk);
        const QStringList pieces = list.split(u',');
        ASSERT_LE(pieces.size(), 5);
        QSet<int> interfaces;
        for (const QString& piece : pieces) {
            bool ok = false;
            const int value = piece.toInt(&ok);
            EXPECT_TRUE(ok && value >= 0 && value <= 4) << piece.toStdString();
            interfaces.insert(value);
        }
        EXPECT_TRUE(interfaces.contains(defaultInterface.toInt()));
    }
}

TEST(ShippedLanguageFiles, JapaneseIsUtf16WithByteOrderMarkAndMatchesItsSource)
{
    QFile shipped(kLangDir + QStringLiteral("/0411.DAT"));
    QFile source(QStringLiteral(QPU_SOURCE_DIR "/data/lang-src/0411.utf8.DAT"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = shipped.readAll();
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    const std::optional<QString> shippedText = DecodeStrictly(bytes);
    const std::optional<QString> sourceText = DecodeStrictly(source.readAll());
    ASSERT_TRUE(shippedText && sourceText);
    EXPECT_TRUE(*shippedText == *sourceText)
        << "data/program/LANG/0411.DAT is out of date: run scripts/make-lang-utf16.sh";
}

TEST(ShippedLanguageFiles, EightBitFilesAreUtf8)
{
    for (const ShippedFile& file : ShippedFiles()) {
        QFile data(file.path);
        ASSERT_TRUE(data.open(QIODevice::ReadOnly));
        EXPECT_TRUE(DecodeStrictly(data.readAll()).has_value()) << file.path.toStdString();
    }
}

TEST(LanguageFileLint, ReportsEveryLineThatTheStoreWouldDropOrOverride)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("0409.DAT"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("STRAY=before any section\n"
               "[CMN_STR]\n"
               "C_1=Common\n"
               "C_2=]CMN_STR_1\n" // common texts resolve no references
               "[PRT_STATUS_STR]\n"
               "S_0=Online\n"
               "no equals sign\n"
               "S_1=\n" // empty text
               "S_NAME=no number\n"
               "S_2=one||two\n"     // three fields
               "S_0=again\n"        // number repeated
               "S_3=]CMN_STR_7\n"   // no common string 7
               "S_4=]CMN_STR_1_X\n" // malformed reference
               "[PORT_ADD_DLG_CMB]\n"
               "B_1017=8 bits\n"        // no item data
               "B_1017=8 bits||eight\n" // item data not a number
               "[PRT_SELECT_DLG_LSTCTRL]\n"
               "L_1020=Port||0||120\n" // four fields
               "L_1020=Port||0||120||0\n"
               "L_1020=Port again||0||80||0\n" // column repeated
               "[PRT_SELECT_DLG_CPA]\n"        // misspelt section
               "X_1=OK\n"
               "[prt_status_str]\n" // repeated section
               "S_9=ignored\n");
    file.close();

    const QStringList problems = LintLanguageFile(path);
    EXPECT_EQ(problems.size(), 15) << problems.join(u'\n').toStdString();

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[CMN_STR]\nC_1=Common\n[PRT_STATUS_STR]\nS_0=]CMN_STR_1\nS_0x1F=%s and %d\n");
    file.close();
    EXPECT_TRUE(LintLanguageFile(path).isEmpty());

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[CMN_STR]\nC_1=Gr\xFC\xDF"
               "e\n"); // Latin-1, not UTF-8
    file.close();
    EXPECT_EQ(LintLanguageFile(path).size(), 1);
}

TEST(Placeholders, AreFoundInOrderWithoutLiteralPercentSigns)
{
    EXPECT_EQ(Placeholders(QStringLiteral("%s: %d%% of %5.2f %-3s")),
              (QStringList{"%s", "%d", "%5.2f", "%-3s"}));
    EXPECT_TRUE(Placeholders(QStringLiteral("100%% done")).isEmpty());
    EXPECT_NE(Placeholders(QStringLiteral("%s %d")), Placeholders(QStringLiteral("%d %s")));
}

} // namespace
