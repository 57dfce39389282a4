#pragma once

#include "mainwnd/menu_dll_proc.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// A colour as the menu files give it: red in the low byte, then green, then blue.
using ColorRef = uint32_t;

// One entry of the menu, built from one "MENUITEM_" section of the menu definition file.
// The menu view owns the ordered list; the status view and the printer setting page walk
// it to reach the loaded plug-ins through each entry's binding.
struct MenuItem
{
    int32_t itemId = 0;         // "ITEMID"
    QString text;               // display text
    int32_t selecting = 0;      // "SELECTING": 0 caption; 1 chosen when the menu opens
    int32_t parentId = 0;       // "PARENTITEMID": 0 top level
    QString libraryName;        // "USE_DLL_NAME": empty when the entry has no page
    int32_t bold = 0;           // "FONT_BOLD": exactly 1 draws bold
    int32_t fontSizePoints = 0; // "FONT_SIZE": 0 the menu's own font size
    int32_t level = 0;          // 0 top level; computed after all entries are read
    ColorRef textColor = 0;
    CMenuDLLProc plugin; // the binding of the entry's setting-page plug-in

    // Whether the mouse can choose the entry.
    bool IsSelectable() const { return selecting != 0; }
    bool IsBold() const { return bold == 1; }
};

// The menu in file order. Entries are held by pointer so that a binding never moves.
using MenuItemList = std::vector<std::unique_ptr<MenuItem>>;
