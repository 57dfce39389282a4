// The printer information plug-in: the identity of block 0x10001, the live status and a
// test print. Its own block 0x10003 keeps the test-print option.
#include "printer_info_logic.h"
#include "printer_info_page.h"

#include <qpu/plugin_sdk/plugin_base.h>

namespace {

using namespace qpu::sdk;

class PrinterInfoPlugin final : public SettingPagePlugin
{
public:
    PluginInfo Info() const override
    {
        return {QPU_BLOCK_PRINTER_INFO_PAGE_ID, QPU_BLOCK_PRINTER_INFO_PAGE_VERSION,
                QPU_BLOCK_PRINTER_INFO_PAGE_SIZE};
    }

    // The identity comes from the printer setting page's block.
    std::vector<PluginInfo> Dependencies() const override
    {
        return {{QPU_BLOCK_PRINTER_INFO_ID, QPU_BLOCK_PRINTER_INFO_VERSION,
                 QPU_BLOCK_PRINTER_INFO_SIZE}};
    }

    int32_t WriteDefaults(uint32_t blockId) override
    {
        if (blockId == QPU_BLOCK_PRINTER_INFO_PAGE_ID) {
            PrinterInfoPageBlock block = printer_info::DefaultPageBlock();
            return Context().Blocks().Write(blockId, &block);
        }
        if (blockId == QPU_BLOCK_PRINTER_INFO_ID)
            return printer_info::WritePrinterInfoDefaults(Context().Blocks());
        return -1;
    }

    // Nothing of its own to read: the printer setting page reads the identity.
    int32_t ReadFromPrinter() override { return kPrinterOk; }

    // MENU_NAME_KEY=PRINTER_INFORMATION gives the page's title as the menu text.
    QString MenuName(const QString& key) const override
    {
        if (key != QLatin1String("PRINTER_INFORMATION"))
            return {};
        return LanguageString(QStringLiteral("PRINTER_INFO_PAGE"), 0,
                              QStringLiteral("Printer Information"));
    }

    std::unique_ptr<PageBase> CreatePage() override
    {
        return std::make_unique<PrinterInfoPage>(Context());
    }
};

} // namespace

QPU_DEFINE_SETTING_PAGE_PLUGIN(PrinterInfoPlugin)
