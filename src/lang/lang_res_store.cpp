#include "lang/lang_res_store.h"

#include "platform/profile.h"

#include <QDir>
#include <QFileInfo>

#include <climits>
#include <new>
#include <optional>
#include <utility>

namespace {

constexpr QStringView kFieldSeparator = u"||";
constexpr QStringView kKeySeparator = u"_";
constexpr int kTextField = 1;

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
    QStringList fields;
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
            AddEntry(kind, QStringView(line).left(kMaxLineLength), staging);
        }
        Commit(kind, staging);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return kOk;
}

void CLangResStore::AddEntry(SectionKind kind, QStringView line, Staging& staging) const
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals <= 0 || equals + 1 >= line.size()) {
        return; // no "=", empty key or empty value
    }
    Entry entry;
    entry.key = line.left(equals).toString();
    entry.fields.append(entry.key);
    SplitText(line.mid(equals + 1), kFieldSeparator, entry.fields);

    const bool byNumber = kind == SectionKind::CommonString || kind == SectionKind::CommonMessage ||
                          kind == SectionKind::Message || kind == SectionKind::String;
    const qsizetype fieldCount = entry.fields.size();
    if (byNumber && fieldCount != 2) {
        return;
    }
    if ((kind == SectionKind::Caption && fieldCount < 2) ||
        (kind == SectionKind::ComboItem && fieldCount < 3) ||
        (kind == SectionKind::ListColumn && fieldCount < 5)) {
        return;
    }

    QStringList keyPieces;
    SplitText(entry.key, kKeySeparator, keyPieces);
    if (keyPieces.isEmpty() || !ParseNumber(keyPieces.last(), entry.number)) {
        return;
    }

    entry.text = entry.fields[kTextField];
    if (kind != SectionKind::CommonString && kind != SectionKind::CommonMessage) {
        entry.text = ResolveReference(entry.text);
    }
    entry.text = ReplaceEscapes(entry.text);

    switch (kind) {
    case SectionKind::CommonString:
    case SectionKind::CommonMessage:
    case SectionKind::Message:
    case SectionKind::String:
        staging.numbered.insert_or_assign(
            entry.number, std::make_unique<CStringResInfo>(entry.key, entry.number, entry.text));
        return;
    case SectionKind::Caption: {
        int spare = 0;
        if (!ReadNumberField(entry.fields, 2, spare)) {
            return;
        }
        staging.captions.push_back(
            std::make_unique<CCaptionResInfo>(entry.key, entry.number, entry.text, spare));
        return;
    }
    case SectionKind::ComboItem: {
        int itemData = 0;
        int spare = 0;
        if (!ReadNumberField(entry.fields, 2, itemData) ||
            !ReadNumberField(entry.fields, 3, spare)) {
            return;
        }
        staging.comboItems.push_back(std::make_unique<CComboBoxResInfo>(
            entry.key, entry.number, entry.text, itemData, spare));
        return;
    }
    case SectionKind::ListColumn: {
        int column = 0;
        int width = 0;
        int alignment = 0;
        int spare = 0;
        if (!ReadNumberField(entry.fields, 2, column) || !ReadNumberField(entry.fields, 3, width) ||
            !ReadNumberField(entry.fields, 4, alignment) ||
            !ReadNumberField(entry.fields, 5, spare)) {
            return;
        }
        staging.listColumns.push_back(std::make_unique<CListCtrlResInfo>(
            entry.key, entry.number, entry.text, column, width, alignment, spare));
        return;
    }
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
    switch (kind) {
    case SectionKind::Caption:
        append(m_captions, staging.captions);
        return;
    case SectionKind::ComboItem:
        append(m_comboItems, staging.comboItems);
        return;
    case SectionKind::ListColumn:
        append(m_listColumns, staging.listColumns);
        return;
    case SectionKind::CommonString:
    case SectionKind::CommonMessage:
    case SectionKind::Message:
    case SectionKind::String: {
        StringTable& table = NumberedTable(kind);
        while (!staging.numbered.empty()) {
            auto node = staging.numbered.extract(staging.numbered.begin());
            table.erase(node.key());
            table.insert(std::move(node));
        }
        return;
    }
    }
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
