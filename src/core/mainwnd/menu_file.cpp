#include "mainwnd/menu_file.h"

#include "lang/lang_res_store.h"
#include "platform/profile.h"

#include <qpu/version.h>

#include <algorithm>
#include <limits>

namespace {

constexpr char16_t kVersionText[] = u"Ver." QPU_VERSION_TEXT;
constexpr char16_t kItemPrefix[] = u"MENUITEM_";
// String keys are read into buffers of 260 characters.
constexpr qsizetype kMaxStringChars = 259;

struct StartModeFile
{
    int32_t startMode;
    const char16_t* fileName;
};

constexpr StartModeFile kStartModeFiles[] = {
    {1, u"MENUITEM_LOGO.DAT"},         {2, u"MENUITEM_PRNCTRL.DAT"}, {3, u"MENUITEM_REMOTE.DAT"},
    {4, u"MENUITEM_SAVEFILE.DAT"},     {5, u"MENUITEM_COUPON.DAT"},  {100, u"MENUITEM_ZRD_5.DAT"},
    {110, u"MENUITEM_ZRD_5_LOGO.DAT"},
};
constexpr char16_t kDefaultFileName[] = u"MENUITEM.DAT";

int32_t ReadInt(const QString& section, const char* key, int32_t def, const QString& path)
{
    return platform::GetPrivateProfileInt(section, QLatin1String(key), def, path);
}

QString ReadString(const QString& section, const char* key, const QString& path)
{
    return platform::GetPrivateProfileString(section, QLatin1String(key), QString(), path)
        .left(kMaxStringChars);
}

ColorRef ReadColor(const QString& section, const char* red, const char* green, const char* blue,
                   ColorRef fallback, const QString& path)
{
    return MenuFile::MakeColorRef(ReadInt(section, red, -1, path),
                                  ReadInt(section, green, -1, path),
                                  ReadInt(section, blue, -1, path), fallback);
}

// The display text: "STRING" as written, replaced by the language string of its number;
// or, when "STRING" is empty, the plug-in's text under "MENU_NAME_KEY".
QString ResolveDisplayText(const QString& section, const QString& path, const CLangResStore& texts,
                           MenuItem& entry)
{
    QString text = ReadString(section, "STRING", path);
    if (!text.isEmpty()) {
        if (const auto number = MenuFile::StringNumber(text))
            texts.GetString(*number, text);
        return text;
    }
    const QString key = ReadString(section, "MENU_NAME_KEY", path);
    QString fromPlugin;
    entry.plugin.MenuNameFromPlugin(key, fromPlugin);
    return fromPlugin;
}

// Loads and initialises the entry's plug-in; true when the binding is available.
bool BindPlugin(MenuItem& entry, const PluginBindContext& bind)
{
    if (entry.libraryName.isEmpty())
        return true;
    if (entry.plugin.LoadPlugin(entry.libraryName, bind.programFolder) != 0)
        return false;
    return entry.plugin.InitializePlugin(bind.mainFrame, bind.pagePane, bind.appState) == 0;
}

bool IsValid(const MenuItem& entry)
{
    if (!entry.libraryName.isEmpty())
        return entry.plugin.IsLoaded();
    return entry.itemId != 0 || entry.parentId != 0;
}

} // namespace

int32_t MenuLayout::IndentForLevel(int32_t level) const
{
    return indents[static_cast<size_t>(std::clamp(level, 0, kLevelCount - 1))];
}

std::pair<int32_t, int32_t> MenuLayout::MeasureRow(int32_t selectedPictureWidth,
                                                   int32_t selectedPictureHeight)
{
    const int32_t height = rowHeight != kUnresolved ? rowHeight : selectedPictureHeight;
    const int32_t width = rowWidth != kUnresolved ? rowWidth : selectedPictureWidth;
    if (height != 0)
        rowHeight = height;
    if (width != 0)
        rowWidth = width;
    return {width, height};
}

namespace MenuFile {

QString FileNameForStartMode(int32_t startMode)
{
    for (const auto& entry : kStartModeFiles) {
        if (entry.startMode == startMode)
            return QString::fromUtf16(entry.fileName);
    }
    return QString::fromUtf16(kDefaultFileName);
}

QString PathForStartMode(const QString& programFolder, int32_t startMode)
{
    return programFolder + FileNameForStartMode(startMode);
}

std::optional<QString> ReadTitle(const QString& path)
{
    const QString section = QStringLiteral("APP_SETTING");
    QString title = ReadString(section, "TITLE", path);
    if (title.isEmpty())
        return std::nullopt;
    if (ReadInt(section, "TITLE_ADD_VERSION", 0, path) == 1)
        title += u' ' + QString::fromUtf16(kVersionText);
    return title;
}

MenuLayout ReadLayout(const QString& path)
{
    const QString section = QStringLiteral("SETTINGS");
    MenuLayout layout;
    const char* indentKeys[MenuLayout::kLevelCount] = {
        "LEVEL1_INDENT", "LEVEL2_INDENT", "LEVEL3_INDENT", "LEVEL4_INDENT", "LEVEL5_INDENT"};
    for (int level = 0; level < MenuLayout::kLevelCount; ++level) {
        auto& indent = layout.indents[static_cast<size_t>(level)];
        indent = ReadInt(section, indentKeys[level], indent, path);
    }
    layout.rowHeight = ReadInt(section, "MENU_ITEM_HEIGHT", MenuLayout::kUnresolved, path);
    layout.rowWidth = ReadInt(section, "MENU_ITEM_WIDTH", MenuLayout::kUnresolved, path);
    layout.backgroundPicture = ReadString(section, "BACKGROUND_BITMAP", path);
    layout.onMousePicture = ReadString(section, "ITEM_ON_MOUSE_BITMAP", path);
    layout.selectedPicture = ReadString(section, "ITEM_SELECTED_BITMAP", path);
    layout.selectingPicture = ReadString(section, "ITEM_SELECTING_BITMAP", path);
    layout.stretch = ReadInt(section, "ITEM_BITMAP_STRETCH", 0, path);
    layout.transparent = ReadInt(section, "ITEM_BITMAP_BK_TRANSPARENT", 0, path);
    layout.defaultFontSize = ReadInt(section, "DEFALT_FONT_SIZE", -1, path);
    layout.defaultTextColor = ReadColor(section, "DEFALT_FONT_COLOR_R", "DEFALT_FONT_COLOR_G",
                                        "DEFALT_FONT_COLOR_B", 0, path);
    return layout;
}

QStringList ItemSectionNames(const QString& path)
{
    // Every name is read, however many the file has: a menu with many entries must not
    // come out empty because the names outgrow a fixed buffer.
    QStringList names = platform::GetPrivateProfileSectionNames(path);
    names.removeIf([](const QString& name) {
        return !name.startsWith(QStringView(kItemPrefix), Qt::CaseSensitive);
    });
    return names;
}

MenuItemList ReadEntries(const QString& path, const CLangResStore& texts,
                         const PluginBindContext& bind, ColorRef defaultTextColor)
{
    MenuItemList entries;
    for (const QString& section : ItemSectionNames(path)) {
        auto entry = std::make_unique<MenuItem>();
        entry->itemId = ReadInt(section, "ITEMID", 0, path);
        entry->selecting = ReadInt(section, "SELECTING", 0, path);
        entry->parentId = ReadInt(section, "PARENTITEMID", 0, path);
        entry->libraryName = ReadString(section, "USE_DLL_NAME", path);
        entry->bold = ReadInt(section, "FONT_BOLD", 0, path);
        entry->fontSizePoints = ReadInt(section, "FONT_SIZE", 0, path);
        entry->textColor = ReadColor(section, "FONT_COLOR_R", "FONT_COLOR_G", "FONT_COLOR_B",
                                     defaultTextColor, path);

        const bool available = BindPlugin(*entry, bind);
        // An entry that is left out never asks its plug-in for a text: a plug-in whose
        // initialisation failed is not called again.
        if (!available || !IsValid(*entry))
            continue;
        entry->text = ResolveDisplayText(section, path, texts, *entry);
        entries.push_back(std::move(entry));
    }
    return entries;
}

void ComputeLevels(MenuItemList& entries)
{
    for (auto& entry : entries) {
        if (entry->parentId == 0)
            continue;
        const auto parent = std::find_if(entries.begin(), entries.end(), [&](const auto& other) {
            return other->itemId == entry->parentId;
        });
        if (parent != entries.end())
            entry->level = (*parent)->level + 1;
    }
}

ColorRef MakeColorRef(int32_t red, int32_t green, int32_t blue, ColorRef fallback)
{
    if (red < 0 || green < 0 || blue < 0)
        return fallback;
    const auto low8 = [](int32_t part) { return static_cast<ColorRef>(part) & 0xFFu; };
    return low8(red) | (low8(green) << 8) | (low8(blue) << 16);
}

std::optional<int32_t> StringNumber(const QString& value)
{
    const qsizetype underscore = value.lastIndexOf(u'_');
    if (underscore < 0)
        return std::nullopt;
    int64_t number = 0;
    for (qsizetype i = underscore + 1; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c < u'0' || c > u'9')
            break;
        number = std::min<int64_t>(number * 10 + (c.unicode() - u'0'),
                                   std::numeric_limits<int32_t>::max());
    }
    return static_cast<int32_t>(number);
}

} // namespace MenuFile
