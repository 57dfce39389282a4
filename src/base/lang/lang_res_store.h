#pragma once

#include "lang/lang_records.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <map>
#include <memory>
#include <optional>
#include <vector>

// The language texts of one window, read from the language file "%04X.DAT" of the chosen
// language in the language folder, with English (0409) as the fallback file.
//
// For a window name such as "PRT_SELECT_DLG" the store reads the common sections
// "CMN_STR" and "CMN_MSG" and the window's sections name + "_CAP", "_CMB", "_LSTCTRL",
// "_MSG" and "_STR". Strings and messages are looked up by number; captions, combo items
// and list columns are kept in file order for applying them to the window's controls.
//
// Use: Open(), LoadSections(), then GetString()/GetMessage() over a compiled-in English
// default, keeping the default whatever the result. Used on one thread only.
class CLangResStore
{
public:
    // Results.
    static constexpr int kOk = 0;
    static constexpr int kOpenedRequested = 2; // Open: the requested language's file
    static constexpr int kOpenedFallback = 1;  // Open: only the fallback language's file
    static constexpr int kNotFound = -1;
    static constexpr int kNotOpened = -2;
    static constexpr int kBadArgument = -3;
    static constexpr int kOutOfMemory = -10;

    // The English file, which every window passes as the fallback.
    static constexpr int kFallbackLangId = 0x0409;
    // The combo box of the language choice dialog whose items name the languages.
    static constexpr int kLanguageListControlId = 1000;
    // Longest line of a section that is handled; the rest of a longer line is dropped.
    static constexpr int kMaxLineLength = 2048;

    using CaptionTable = std::vector<std::unique_ptr<CCaptionResInfo>>;
    using ComboItemTable = std::vector<std::unique_ptr<CComboBoxResInfo>>;
    using ListColumnTable = std::vector<std::unique_ptr<CListCtrlResInfo>>;

    CLangResStore();
    ~CLangResStore();
    CLangResStore(const CLangResStore&) = delete;
    CLangResStore& operator=(const CLangResStore&) = delete;

    // Clears the store, then looks for folder/"%04X.DAT" of langId, else of fallbackLangId
    // (an existence test; a name differing only in letter case is accepted). Returns
    // kOpenedRequested, kOpenedFallback, or kNotFound when folder is empty or neither file
    // exists (the store is then closed).
    int Open(const QString& folder, int langId, int fallbackLangId);

    // Reads "CMN_STR", "CMN_MSG", then windowName + "_CAP", "_CMB", "_LSTCTRL", "_MSG" and
    // "_STR" of the opened file, adding to what the store holds: list records are
    // appended, by-number records replace those of equal numbers. Missing sections add
    // nothing. Returns kOk, kBadArgument for an empty name, kNotOpened before Open.
    int LoadSections(const QString& windowName);

    // Replaces text by the window string (message) of that number and returns kOk;
    // kNotFound when the number has no text, kBadArgument when it is negative or beyond the
    // highest number held. On failure text is unchanged.
    int GetString(int number, QString& text) const;
    int GetMessage(int number, QString& text) const;
    // The same on the common strings and common messages.
    int GetCommonString(int number, QString& text) const;
    int GetCommonMessage(int number, QString& text) const;

    // The text of the first combo item of control 1000 whose item data equals value; empty
    // when there is none.
    QString GetComboTextByData(int value) const;

    // Deletes every record; the open state and the file stay as they are.
    void Clear();

    bool IsOpened() const { return m_opened; }
    // The language of the opened file, -1 when closed.
    int LanguageId() const { return m_langId; }
    // The folder given to a successful Open, empty when closed.
    const QString& Folder() const { return m_folder; }
    // The file name alone ("0409.DAT"), empty when closed.
    const QString& FileName() const { return m_fileName; }
    // Folder and file name joined, empty when closed.
    QString FilePath() const;

    // The list tables, in file order, duplicates included.
    const CaptionTable& Captions() const { return m_captions; }
    const ComboItemTable& ComboItems() const { return m_comboItems; }
    const ListColumnTable& ListColumns() const { return m_listColumns; }

    // "%04X.DAT": 0x0409 gives "0409.DAT"; -1 gives "FFFFFFFF.DAT".
    static QString FormatFileName(int langId);

    // Appends to list the pieces of text between occurrences of separator, empty pieces
    // included ("a||" gives "a" and ""), and returns the list's size afterwards. An empty
    // separator appends text whole.
    static int SplitText(QStringView text, QStringView separator, QStringList& list);

    // Reads "0x"/"0X" followed by hexadecimal digits ("0x" alone is 0), or decimal digits
    // only. Fails, leaving number untouched, for an empty text, any other character
    // (signs and spaces included) and values beyond the 32-bit signed range.
    static bool ParseNumber(QStringView text, int& number);

private:
    enum class SectionKind
    {
        CommonString,
        CommonMessage,
        Caption,
        ComboItem,
        ListColumn,
        Message,
        String,
    };
    using StringTable = std::map<int, std::unique_ptr<CStringResInfo>>;
    static constexpr int kMaxNumberFields = 4;
    struct Entry;
    struct Staging;

    static bool IsByNumber(SectionKind kind);
    static bool HasRequiredFieldCount(SectionKind kind, int fieldCount);
    static int NumberFieldCount(SectionKind kind);

    int ReadSection(SectionKind kind, const QString& section);
    std::optional<Entry> ParseEntry(SectionKind kind, QStringView line) const;
    static void StageRecord(SectionKind kind, Entry&& entry, Staging& staging);
    QString ResolveReference(const QString& text) const;
    void Commit(SectionKind kind, Staging& staging);
    StringTable& NumberedTable(SectionKind kind);
    static int LookUp(const StringTable& table, int number, QString& text);

    CaptionTable m_captions;
    ComboItemTable m_comboItems;
    ListColumnTable m_listColumns;
    StringTable m_strings;
    StringTable m_commonStrings;
    StringTable m_messages;
    StringTable m_commonMessages;

    QString m_folder;
    QString m_fileName;
    int m_langId = -1;
    bool m_opened = false;
};
