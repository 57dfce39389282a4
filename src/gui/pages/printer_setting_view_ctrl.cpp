#include "pages/printer_setting_view_ctrl.h"

#include "pages/plugin_data_mgr.h"
#include "pages/printer_setting_view.h"

CPrinterSettingViewCtrl::CPrinterSettingViewCtrl()
{
    SetBlockDescription(QPU_BLOCK_PRINTER_INFO_ID, QPU_BLOCK_PRINTER_INFO_VERSION,
                        QPU_BLOCK_PRINTER_INFO_SIZE);
}

CPrinterSettingViewCtrl::~CPrinterSettingViewCtrl() = default;

int CPrinterSettingViewCtrl::InitSettingData(quint32 blockId)
{
    if (blockId != QPU_BLOCK_PRINTER_INFO_ID)
        return PluginDataMgr::kNotFound;
    const AppState* state = AppStateBlock();
    auto* dataMgr = state != nullptr ? static_cast<PluginDataMgr*>(state->dataMgr) : nullptr;
    if (dataMgr == nullptr)
        return PluginDataMgr::kNotFound;
    PrinterInfoBlock block = DefaultPrinterInfoBlock();
    GetBlockHeader(&block.header);
    return dataMgr->SetBlockData(blockId, sizeof(block), &block);
}

void CPrinterSettingViewCtrl::OnInit()
{
    SetInitFlag(1);
}

void CPrinterSettingViewCtrl::CreatePages()
{
    AddPage(std::make_unique<CPrinterSettingView>());
}

CPrinterSettingView* CPrinterSettingViewCtrl::Page() const
{
    return qobject_cast<CPrinterSettingView*>(CurrentPage());
}

void CPrinterSettingViewCtrl::SetEntryList(const MenuItemList* entries)
{
    if (CPrinterSettingView* page = Page())
        page->SetEntryList(entries);
}

int CPrinterSettingViewCtrl::StartReadAllSettings()
{
    CPrinterSettingView* page = Page();
    return page != nullptr ? page->RunReadAllSettings() : kNoPage;
}

int CPrinterSettingViewCtrl::ReadAllSettings(const MenuItemList* entries)
{
    SetEntryList(entries);
    return StartReadAllSettings();
}

bool CPrinterSettingViewCtrl::ReadPrinterInfo(PrinterInfoBlock* block) const
{
    const AppState* state = AppStateBlock();
    const auto* dataMgr = state != nullptr ? static_cast<PluginDataMgr*>(state->dataMgr) : nullptr;
    return dataMgr != nullptr && ReadPrinterInfoBlock(*dataMgr, block);
}
