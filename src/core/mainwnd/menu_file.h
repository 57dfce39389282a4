#pragma once

#include "mainwnd/menu_item.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

struct AppState;
class CLangResStore;

// The look of the menu as section "SETTINGS" of the menu definition file gives it. The
// pictures are kept as file names here; the menu view loads them (or its built-in ones).
struct MenuLayout
{
    static constexpr int kLevelCount = 5;
    static constexpr int kUnresolved = -1;

    std::array<int32_t, kLevelCount> indents{6, 12, 24, 24, 24}; // by level 0..4
    int32_t rowHeight = kUnresolved; // -1: the height of the selected-state picture
    int32_t rowWidth = kUnresolved;  // -1: the width of the selected-state picture
    QString backgroundPicture;
    QString onMousePicture;
    QString selectedPicture;
    QString selectingPicture;
    int32_t stretch = 0;          // exactly 1: small state pictures are enlarged
    int32_t transparent = 0;      // exactly 1: state pictures have a transparent colour
    int32_t defaultFontSize = -1; // read and kept; drawing takes the menu's own font
    ColorRef defaultTextColor = 0;

    bool Stretches() const { return stretch == 1; }
    bool IsTransparent() const { return transparent == 1; }
    // The indent of a level; levels beyond 4 take the fifth indent, negative ones the first.
    int32_t IndentForLevel(int32_t level) const;

    // Resolves the row size once the selected-state picture is known: the configured value
    // unless it is -1, else the picture's. A resulting non-zero value is remembered as the
    // row height (width) from then on. Returns the measured {width, height}.
    std::pair<int32_t, int32_t> MeasureRow(int32_t selectedPictureWidth,
                                           int32_t selectedPictureHeight);
};

// Where to bind the entries' plug-ins: the folder searched first for their libraries and
// what FORMVIEWDLL_Initialize receives (the main frame, the page area, the shared block).
struct PluginBindContext
{
    QString programFolder;
    void* mainFrame = nullptr;
    void* pagePane = nullptr;
    AppState* appState = nullptr;
};

// Reading a menu definition file: an INI file in the program folder, chosen by the start
// mode, only ever read. A missing file reads as one in which every key is absent.
namespace MenuFile {

// The file name for a start mode; "MENUITEM.DAT" for every mode not in the table.
QString FileNameForStartMode(int32_t startMode);
// The program folder (ending in '/') followed by the file name of the start mode.
QString PathForStartMode(const QString& programFolder, int32_t startMode);

// The main window's title from section "APP_SETTING", with " Ver.1.40" appended when
// "TITLE_ADD_VERSION" is exactly 1; nothing when "TITLE" is empty.
std::optional<QString> ReadTitle(const QString& path);

// Section "SETTINGS".
MenuLayout ReadLayout(const QString& path);

// The entries in the order of their "MENUITEM_" sections (prefix compared with case).
// Each entry's plug-in is loaded and initialised; entries whose plug-in is not available
// and entries without library, "ITEMID" and "PARENTITEMID" are left out. Display texts
// come from "STRING" (the window string whose number follows the last '_', when the
// store has it) or from the plug-in under "MENU_NAME_KEY". Levels are not yet computed.
// Entries without colour of their own take defaultTextColor (from ReadLayout).
MenuItemList ReadEntries(const QString& path, const CLangResStore& texts,
                         const PluginBindContext& bind, ColorRef defaultTextColor);

// Sets each entry's level in one walk: the level of the first entry whose identifier is
// the parent identifier, as computed so far, plus 1; 0 without a parent or when none.
void ComputeLevels(MenuItemList& entries);

// R + 256 G + 65536 B from the low 8 bits of each part; fallback when any part is negative.
ColorRef MakeColorRef(int32_t red, int32_t green, int32_t blue, ColorRef fallback);

// The language string number of a "STRING" value: the leading decimal digits after the
// last '_' (0 when there are none); nothing when the value holds no '_'. Numbers beyond
// the 32-bit range come back as the largest 32-bit value, which no text has.
std::optional<int32_t> StringNumber(const QString& value);

// Every section name of the file that begins with "MENUITEM_" as written, in file order.
QStringList ItemSectionNames(const QString& path);

} // namespace MenuFile
