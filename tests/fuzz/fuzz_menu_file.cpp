// Menu definition files: title, layout and entries with their levels.
#include "fuzz_util.h"
#include "lang/lang_res_store.h"
#include "mainwnd/menu_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = fuzz::WriteInput(QStringLiteral("MENUITEM.DAT"), data, size);
    MenuFile::ReadTitle(path);
    MenuLayout layout = MenuFile::ReadLayout(path);
    layout.MeasureRow(static_cast<int32_t>(size % 300), static_cast<int32_t>(size % 41));
    for (int32_t level = -2; level < 7; ++level)
        layout.IndentForLevel(level);

    // No plug-in can be loaded from the work folder: entries that name one are left out.
    const CLangResStore texts;
    PluginBindContext bind;
    bind.programFolder = fuzz::WorkFolder() + QStringLiteral("/noplugins");
    MenuItemList entries = MenuFile::ReadEntries(path, texts, bind, layout.defaultTextColor);
    MenuFile::ComputeLevels(entries);
    return 0;
}
