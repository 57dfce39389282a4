#include "lang/lang_res_store.h"

#include "platform/profile.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <climits>
#include <new>
#include <optional>
#include <utility>

namespace {

constexpr QStringView kFieldSeparator = u"||";
constexpr QStringView kKeySeparator = u"_";
constexpr int kTextField = 1;
constexpr int kFirstNumberField = 2;

enum class NumberSyntax
{
    Valid,
    NotANumber,
    OutOfRange, // well-formed, but beyond the 32-bit signed range
};

int DigitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (base == 16 && u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (base == 16 && u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

NumberSyntax ReadNumber(QStringView text, int& number)
{
    if (text.isEmpty()) {
        return NumberSyntax::NotANumber;
    }
    int base = 10;
    QStringView digits = text;
    if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        digits = text.mid(2);
    }
    qint64 value = 0;
    bool outOfRange = false;
    // Every character is checked even after an overflow, so that "99999999999x" counts as
    // not a number rather than as a number out of range.
    for (const QChar c : digits) {
        const int digit = DigitValue(c, base);
        if (digit < 0) {
            return NumberSyntax::NotANumber;
        }
        if (!outOfRange) {
            value = value * base + digit;
            outOfRange = value > INT_MAX;
        }
    }
    if (outOfRange) {
        return NumberSyntax::OutOfRange;
    }
    number = static_cast<int>(value);
    return NumberSyntax::Valid;
}

// Reads the number field at index into value; an absent field or one that is not a number
// keeps the default -1. Returns false for a number out of range, which rejects the line.
bool ReadNumberField(const QStringList& fields, int index, int& value)
{
    value = CLangInfoBase::kNoNumber;
    if (index >= fields.size()) {
        return true;
    }
    int number = 0;
    switch (ReadNumber(fields[index], number)) {
    case NumberSyntax::Valid:
        value = number;
        return true;
    case NumberSyntax::NotANumber:
        return true;
    case NumberSyntax::OutOfRange:
        return false;
    }
    return false;
}

// "\n" becomes carriage return + line feed and "\t" a TAB; a backslash before anything
// else stays as it is.
QString ReplaceEscapes(const QString& text)
{
    if (!text.contains(u'\\')) {
        return text;
    }
    QString result;
    result.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == u'n') {
                result += u"\r\n";
                ++i;
                continue;
            }
            if (next == u't') {
                result += u'\t';
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

} // namespace

// One line of a section, split and checked, before it becomes a record.
struct CLangResStore::Entry
{
    QString key;
    int number = CLangInfoBase::kNoNumber;
    QString text;
    // The number fields from field 2 on, -1 where absent or not a number.
    std::array<int, kMaxNumberFields> numbers{-1, -1, -1, -1};
};

// The records of one section, built apart and moved into the tables only once the whole
// section has been read, so that a failed read adds nothing.
struct CLangResStore::Staging
{
    StringTable numbered;
    CaptionTable captions;
    ComboItemTable comboItems;
    ListColumnTable listColumns;
};

bool CLangResStore::IsByNumber(SectionKind kind)
{
    return kind == SectionKind::CommonString || kind == SectionKind::CommonMessage ||
           kind == SectionKind::Message || kind == SectionKind::String;
}

// Texts looked up by number have exactly key and text, so they cannot hold "||"; the
// control kinds need the key, the text and their leading number fields.
bool CLangResStore::HasRequiredFieldCount(SectionKind kind, int fieldCount)
{
    switch (kind) {
    case SectionKind::Caption:
        return fieldCount >= 2;
    case SectionKind::ComboItem:
        return fieldCount >= 3;
    case SectionKind::ListColumn:
        return fieldCount >= 5;
    default:
        return fieldCount == 2;
    }
}

// Spare number of captions; item data and spare number of combo items; column, width,
// alignment and spare number of list columns.
int CLangResStore::NumberFieldCount(SectionKind kind)
{
    switch (kind) {
    case SectionKind::Caption:
        return 1;
    case SectionKind::ComboItem:
        return 2;
    case SectionKind::ListColumn:
        return 4;
    default:
        return 0;
    }
}

CLangResStore::CLangResStore() = default;
CLangResStore::~CLangResStore() = default;

int CLangResStore::Open(const QString& folder, int langId, int fallbackLangId)
{
    m_opened = false;
    Clear();
    m_folder.clear();
    m_fileName.clear();
    m_langId = -1;
    if (folder.isEmpty()) {
        return kNotFound;
    }

    // Language files come from systems whose file names ignore letter case; the exact
    // name is preferred, any spelling of it accepted.
    const auto findFile = [&folder](int id) -> std::optional<QString> {
        const QString name = FormatFileName(id);
        if (QFileInfo(QDir(folder).filePath(name)).isFile()) {
            return name;
        }
        const QStringList matches = QDir(folder).entryList({name}, QDir::Files);
        if (!matches.isEmpty()) {
            return matches.first();
        }
        return std::nullopt;
    };

    int result = kOpenedRequested;
    int usedLangId = langId;
    std::optional<QString> fileName = findFile(langId);
    if (!fileName) {
        result = kOpenedFallback;
        usedLangId = fallbackLangId;
        fileName = findFile(fallbackLangId);
    }
    if (!fileName) {
        return kNotFound;
    }
    m_folder = folder;
    m_fileName = *fileName;
    m_langId = usedLangId;
    m_opened = true;
    return result;
}

int CLangResStore::LoadSections(const QString& windowName)
{
    if (windowName.isEmpty()) {
        return kBadArgument;
    }
    if (!m_opened) {
        return kNotOpened;
    }
    // The common sections come first so that the window's references see them.
    ReadSection(SectionKind::CommonString, QStringLiteral("CMN_STR"));
    ReadSection(SectionKind::CommonMessage, QStringLiteral("CMN_MSG"));
    ReadSection(SectionKind::Caption, windowName + QStringLiteral("_CAP"));
    ReadSection(SectionKind::ComboItem, windowName + QStringLiteral("_CMB"));
    ReadSection(SectionKind::ListColumn, windowName + QStringLiteral("_LSTCTRL"));
    ReadSection(SectionKind::Message, windowName + QStringLiteral("_MSG"));
    ReadSection(SectionKind::String, windowName + QStringLiteral("_STR"));
    return kOk;
}

int CLangResStore::GetString(int number, QString& text) const
{
    return LookUp(m_strings, number, text);
}

int CLangResStore::GetMessage(int number, QString& text) const
{
    return LookUp(m_messages, number, text);
}

int CLangResStore::GetCommonString(int number, QString& text) const
{
    return LookUp(m_commonStrings, number, text);
}

int CLangResStore::GetCommonMessage(int number, QString& text) const
{
    return LookUp(m_commonMessages, number, text);
}

QString CLangResStore::GetComboTextByData(int value) const
{
    for (const auto& item : m_comboItems) {
        if (item->Number() == kLanguageListControlId && item->ItemData() == value) {
            return item->Text();
        }
    }
    return {};
}

void CLangResStore::Clear()
{
    m_captions.clear();
    m_comboItems.clear();
    m_listColumns.clear();
    m_strings.clear();
    m_commonStrings.clear();
    m_messages.clear();
    m_commonMessages.clear();
}

QString CLangResStore::FilePath() const
{
    if (!m_opened) {
        return {};
    }
    return QDir(m_folder).filePath(m_fileName);
}

QString CLangResStore::FormatFileName(int langId)
{
    return QString::asprintf("%04X.DAT", static_cast<unsigned>(langId));
}

int CLangResStore::SplitText(QStringView text, QStringView separator, QStringList& list)
{
    if (separator.isEmpty()) {
        list.append(text.toString());
        return static_cast<int>(list.size());
    }
    qsizetype start = 0;
    for (qsizetype found = text.indexOf(separator); found >= 0;
         found = text.indexOf(separator, start)) {
        list.append(text.mid(start, found - start).toString());
        start = found + separator.size();
    }
    list.append(text.mid(start).toString());
    return static_cast<int>(list.size());
}

bool CLangResStore::ParseNumber(QStringView text, int& number)
{
    return ReadNumber(text, number) == NumberSyntax::Valid;
}

int CLangResStore::LookUp(const StringTable& table, int number, QString& text)
{
    if (number < 0 || table.empty() || number > table.rbegin()->first) {
        return kBadArgument;
    }
    const auto it = table.find(number);
    if (it == table.end()) {
        return kNotFound;
    }
    text = it->second->Text();
    return kOk;
}

int CLangResStore::ReadSection(SectionKind kind, const QString& section)
{
    const QString path = FilePath();
    if (section.isEmpty() || path.isEmpty()) {
        return kBadArgument;
    }
    try {
        const QStringList lines = platform::GetPrivateProfileSection(section, path);
        if (lines.isEmpty()) {
            return kNotFound;
        }
        Staging staging;
        for (const QString& line : lines) {
            // Only the first kMaxLineLength characters of a line are an entry; the rest of
            // an overlong line is dropped rather than read as entries of its own.
            if (auto entry = ParseEntry(kind, QStringView(line).left(kMaxLineLength))) {
                StageRecord(kind, std::move(*entry), staging);
            }
        }
        Commit(kind, staging);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

std::optional<CLangResStore::Entry> CLangResStore::ParseEntry(SectionKind kind,
                                                              QStringView line) const
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals <= 0 || equals + 1 >= line.size()) {
        return std::nullopt; // no "=", empty key or empty value
    }
    Entry entry;
    entry.key = line.left(equals).toString();
    QStringList fields{entry.key};
    SplitText(line.mid(equals + 1), kFieldSeparator, fields);
    if (!HasRequiredFieldCount(kind, static_cast<int>(fields.size()))) {
        return std::nullopt;
    }

    QStringList keyPieces;
    SplitText(entry.key, kKeySeparator, keyPieces);
    if (keyPieces.isEmpty() || !ParseNumber(keyPieces.last(), entry.number)) {
        return std::nullopt;
    }

    entry.text = fields[kTextField];
    // Common texts are the targets of references and never refer themselves.
    if (kind != SectionKind::CommonString && kind != SectionKind::CommonMessage) {
        entry.text = ResolveReference(entry.text);
    }
    entry.text = ReplaceEscapes(entry.text);

    for (int i = 0; i < NumberFieldCount(kind); ++i) {
        if (!ReadNumberField(fields, kFirstNumberField + i, entry.numbers[i])) {
            return std::nullopt;
        }
    }
    return entry;
}

void CLangResStore::StageRecord(SectionKind kind, Entry&& entry, Staging& staging)
{
    const auto& n = entry.numbers;
    switch (kind) {
    case SectionKind::Caption:
        staging.captions.push_back(std::make_unique<CCaptionResInfo>(
            std::move(entry.key), entry.number, std::move(entry.text), n[0]));
        return;
    case SectionKind::ComboItem:
        staging.comboItems.push_back(std::make_unique<CComboBoxResInfo>(
            std::move(entry.key), entry.number, std::move(entry.text), n[0], n[1]));
        return;
    case SectionKind::ListColumn:
        staging.listColumns.push_back(std::make_unique<CListCtrlResInfo>(
            std::move(entry.key), entry.number, std::move(entry.text), n[0], n[1], n[2], n[3]));
        return;
    case SectionKind::CommonString:
    case SectionKind::CommonMessage:
    case SectionKind::Message:
    case SectionKind::String:
        staging.numbered.insert_or_assign(
            entry.number, std::make_unique<CStringResInfo>(std::move(entry.key), entry.number,
                                                           std::move(entry.text)));
        return;
    }
}

// A text "]CMN_STR_<n>" or "]CMN_MSG_<n>" stands for common string or message n. Texts
// that do not have exactly that shape stay as they are; a well-shaped reference to a
// missing common text or with a piece that is not a number gives the empty text.
QString CLangResStore::ResolveReference(const QString& text) const
{
    if (!text.startsWith(u']')) {
        return text;
    }
    const QStringView rest = QStringView(text).mid(1);
    if (rest.isEmpty()) {
        return text;
    }
    const StringTable* table = nullptr;
    if (rest.contains(u"CMN_STR")) {
        table = &m_commonStrings;
    } else if (rest.contains(u"CMN_MSG")) {
        table = &m_commonMessages;
    } else {
        return text;
    }
    QStringList pieces;
    if (SplitText(rest, kKeySeparator, pieces) != 3) {
        return text;
    }
    int number = 0;
    if (!ParseNumber(pieces[2], number)) {
        return {};
    }
    const auto it = table->find(number);
    return it == table->end() ? QString() : it->second->Text();
}

void CLangResStore::Commit(SectionKind kind, Staging& staging)
{
    // Reserving first and moving map nodes keeps the commit free of allocations, so it
    // cannot fail half-way.
    const auto append = [](auto& table, auto& staged) {
        table.reserve(table.size() + staged.size());
        for (auto& record : staged) {
            table.push_back(std::move(record));
        }
    };
    if (IsByNumber(kind)) {
        StringTable& table = NumberedTable(kind);
        while (!staging.numbered.empty()) {
            auto node = staging.numbered.extract(staging.numbered.begin());
            table.erase(node.key());
            table.insert(std::move(node));
        }
        return;
    }
    append(m_captions, staging.captions);
    append(m_comboItems, staging.comboItems);
    append(m_listColumns, staging.listColumns);
}

CLangResStore::StringTable& CLangResStore::NumberedTable(SectionKind kind)
{
    switch (kind) {
    case SectionKind::CommonString:
        return m_commonStrings;
    case SectionKind::CommonMessage:
        return m_commonMessages;
    case SectionKind::Message:
        return m_messages;
    default:
        return m_strings;
    }
}
