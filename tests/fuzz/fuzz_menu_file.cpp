// Menu definition files: title, layout and entries with their levels.
#include "fuzz_util.h"
#include "lang/lang_res_store.h"
#include "mainwnd/menu_file.h"

namespace {
// Texts of the file are read into buffers of 260 characters.
constexpr qsizetype kMaxTextChars = 259;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::WriteInput(QStringLiteral("MENUITEM.DAT"), data, size);
    if (const auto title = MenuFile::ReadTitle(path);
        title && (title->isEmpty() || title->size() > kMaxTextChars + 9))
        __builtin_trap();
    MenuLayout layout = MenuFile::ReadLayout(path);
    layout.MeasureRow(static_cast<int32_t>(size % 300), static_cast<int32_t>(size % 41));
    for (int32_t level = -2; level < 7; ++level)
        layout.IndentForLevel(level);

    // No plug-in can be loaded from the work folder: entries that name one are left out.
    const CLangResStore texts;
    PluginBindContext bind;
    bind.programFolder = fuzz::WorkFolder() + QStringLiteral("/noplugins");
    MenuItemList entries = MenuFile::ReadEntries(path, texts, bind, layout.defaultTextColor);
    if (static_cast<qsizetype>(entries.size()) > MenuFile::ItemSectionNames(path).size())
        __builtin_trap();
    MenuFile::ComputeLevels(entries);

    // Levels are computed in one walk: an entry is at most one level below the deepest
    // entry up to itself (an entry may name itself as its parent), so no level exceeds the
    // entry's position plus one.
    for (size_t i = 0; i < entries.size(); ++i) {
        const MenuItem& entry = *entries[i];
        if (entry.level < 0 || static_cast<size_t>(entry.level) > i + 1 ||
            entry.text.size() > kMaxTextChars)
            __builtin_trap();
        layout.IndentForLevel(entry.level);
    }
    return 0;
}
