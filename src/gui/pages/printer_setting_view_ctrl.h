#pragma once

#include "mainwnd/menu_item.h"
#include "pages/form_view_ctrl.h"
#include "pages/printer_info_block.h"

class CPrinterSettingView;

// The controller of the built-in printer setting page; the status view owns it. Its block
// is 0x10001 (version 0x10000, 992 bytes), the printer information.
//
// What the status view does with it:
//   Initialize(appState, mainWindow, statusView)  creates the hidden page (0 on success)
//   InitSettingData(0x10001)                      writes the default block after AddBlock
//   DependencyBlocks()                            further blocks to register (none)
//   ReadAllSettings(entries)                      the read of every setting, behind the
//                                                 progress dialog; 1, -64, -67, ...
//   ReadPrinterInfo(&block)                       block 0x10001 from the data manager
class CPrinterSettingViewCtrl : public CFormViewCtrl
{
public:
    static constexpr int kNoPage = -25; // the page does not exist (not initialised)

    CPrinterSettingViewCtrl();
    ~CPrinterSettingViewCtrl() override;

    // Only for 0x10001: replaces the block's data by the default block with this
    // controller's header. 0; -1 for any other identifier or when the block is missing.
    int InitSettingData(quint32 blockId) override;
    // The initialise flag 1.
    void OnInit() override;
    // One CPrinterSettingView.
    void CreatePages() override;

    // The page, or null before Initialize.
    CPrinterSettingView* Page() const;
    // Hands the page the menu entries whose plug-ins the next read asks.
    void SetEntryList(const MenuItemList* entries);
    // Runs the page's read of all settings through the job runner and answers its result;
    // -25 without a page.
    int StartReadAllSettings();
    // SetEntryList, then StartReadAllSettings.
    int ReadAllSettings(const MenuItemList* entries);
    // Block 0x10001 as the data manager holds it; false when it is missing.
    bool ReadPrinterInfo(PrinterInfoBlock* block) const;
};
