// The print settings plug-in: block 0x10005 with the printer's print density and print
// speed (customized values 5 and 6).
#include "print_settings_logic.h"
#include "print_settings_page.h"

#include <qpu/plugin_sdk/plugin_base.h>

namespace {

using namespace qpu::sdk;

class PrintSettingsPlugin final : public SettingPagePlugin
{
public:
    PluginInfo Info() const override
    {
        return {QPU_BLOCK_PRINT_SETTINGS_ID, QPU_BLOCK_PRINT_SETTINGS_VERSION,
                QPU_BLOCK_PRINT_SETTINGS_SIZE};
    }

    int32_t WriteDefaults(uint32_t blockId) override
    {
        if (blockId != QPU_BLOCK_PRINT_SETTINGS_ID)
            return -1;
        PrintSettingsBlock block = print_settings::DefaultBlock();
        return Context().Blocks().Write(blockId, &block);
    }

    int32_t ReadFromPrinter() override
    {
        PrinterLink link(Context().CommLib());
        print_settings::Values values;
        const int32_t rc = print_settings::ReadFromPrinter(link, &values);
        if (rc != kPrinterOk)
            return rc;
        return print_settings::StoreValues(Context().Blocks(), values, true) == 0 ? kPrinterOk : -1;
    }

    // MENU_NAME_KEY=PRINT_SETTINGS gives the page's title as the menu text.
    QString MenuName(const QString& key) const override
    {
        if (key != QLatin1String("PRINT_SETTINGS"))
            return {};
        return LanguageString(QStringLiteral("PRINT_SETTINGS_PAGE"), 0,
                              QStringLiteral("Print Settings"));
    }

    std::unique_ptr<PageBase> CreatePage() override
    {
        return std::make_unique<PrintSettingsPage>(Context());
    }
};

} // namespace

QPU_DEFINE_SETTING_PAGE_PLUGIN(PrintSettingsPlugin)
