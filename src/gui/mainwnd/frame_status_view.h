#pragma once

#include "mainwnd/menu_item.h"

#include <qpu/comm_lib.h>

#include <functional>

// What the main frame asks of the view in its status pane when monitoring starts. The
// status view implements it; a placeholder view that does not only receives the
// forwarded window messages.
class IFrameStatusView
{
public:
    virtual ~IFrameStatusView() = default;
    // The menu's entry list, owned by the menu view, which outlives the status view.
    virtual void SetEntryList(const MenuItemList* entries) = 0;
    // The printer did not answer at start-up: show the text of the current status code.
    virtual void ShowCurrentStatus() = 0;
    // The printer answered at start-up: status code 0 as shown and last ordinary code, its
    // text on screen, and the first read of the printer's settings started.
    virtual void StartWithPrinterReady() = 0;
    virtual void SetCommLib(CommLibTable* table) = 0;
    // How the view learns whether the frame runs a printer operation behind its progress
    // dialog (no read may start then); set when the frame takes the view into its pane.
    virtual void SetPrinterJobQuery(std::function<bool()> running) = 0;
};
