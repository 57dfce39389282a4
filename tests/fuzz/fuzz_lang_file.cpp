// Language file entries: the input is the fallback language's file of a LANG folder. The
// windows whose sections are read are the ones the input names, so that every section kind
// (captions, combo items, list columns, strings, messages) is parsed.
#include "fuzz_util.h"
#include "lang/lang_res_store.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

namespace {

// The window names of the input's sections "[<window>_CAP]", "[<window>_STR]" and so on,
// at most a handful, plus one real window.
QStringList WindowNames(const QByteArray& input)
{
    static const QRegularExpression section(
        QStringLiteral("^\\s*\\[([^\\]\\r\\n]+)_(CAP|CMB|LSTCTRL|MSG|STR)\\s*\\]"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    QStringList names{QStringLiteral("SELECT_LANG_DLG")};
    // Language files come in UTF-8 or, with their byte order mark, in UTF-16.
    const bool utf16 = input.startsWith("\xFF\xFE");
    const QString text =
        utf16 ? QString::fromUtf16(reinterpret_cast<const char16_t*>(input.constData() + 2),
                                   (input.size() - 2) / 2)
              : QString::fromLatin1(input);
    auto it = section.globalMatch(text);
    while (it.hasNext() && names.size() < 6) {
        const QString name = it.next().captured(1);
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    return names;
}

// Everything the store holds is a line of the file, and no text is longer than a line.
void CheckTables(const CLangResStore& store, qsizetype lineCount)
{
    const qsizetype records =
        store.Captions().size() + store.ComboItems().size() + store.ListColumns().size();
    if (records > lineCount)
        __builtin_trap();
    for (const auto& caption : store.Captions())
        if (caption->Text().size() > CLangResStore::kMaxLineLength)
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = fuzz::WorkFolder() + QStringLiteral("/LANG");
    QDir().mkpath(folder);
    fuzz::WriteInput(QStringLiteral("LANG/0409.DAT"), data, size);
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype lineCount = input.count('\n') + input.count('\r') + 1;

    CLangResStore store;
    if (store.Open(folder, 0x0411, CLangResStore::kFallbackLangId) < 0)
        return 0;
    for (const QString& window : WindowNames(input)) {
        store.LoadSections(window);
        QString text;
        for (int number : {0, 1, 2, 100, 1000, -1, 65535}) {
            store.GetString(number, text);
            store.GetMessage(number, text);
            store.GetCommonString(number, text);
            store.GetCommonMessage(number, text);
            store.GetComboTextByData(number);
        }
        for (const auto& item : store.ComboItems())
            store.GetComboTextByData(item->ItemData());
    }
    // Windows are read one after another into the same store, as the program does; the
    // list tables then hold the records of every window read.
    store.Clear();
    const QStringList windows = WindowNames(input);
    store.LoadSections(windows.last());
    CheckTables(store, lineCount);
    return 0;
}
