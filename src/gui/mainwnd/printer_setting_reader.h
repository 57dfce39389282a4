#pragma once

#include "mainwnd/util_status_view.h"
#include "pages/printer_setting_view_ctrl.h"

// The status view's printer setting page: the controller of the built-in page, which the
// view owns through its reader. Header only, so that only the code that creates the status
// view links the page base.
//
//   auto* view = new CUtilStatusView(context, std::make_unique<CPrinterSettingReader>());
class CPrinterSettingReader final : public IStatusPrinterReader
{
public:
    int Initialize(AppState* state, QWidget* mainWindow, QWidget* parent) override
    {
        return m_controller.Initialize(state, mainWindow, parent);
    }
    int InitSettingData(quint32 blockId) override { return m_controller.InitSettingData(blockId); }
    std::vector<PluginInfo> DependencyBlocks() override { return m_controller.DependencyBlocks(); }
    int ReadAllSettings(const MenuItemList* entries) override
    {
        return m_controller.ReadAllSettings(entries);
    }

    CPrinterSettingViewCtrl& Controller() { return m_controller; }

private:
    CPrinterSettingViewCtrl m_controller;
};
