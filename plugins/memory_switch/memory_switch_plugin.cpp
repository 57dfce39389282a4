// The memory switch plug-in: block 0x10007 with the printer's memory switches 1 to 8.
#include "memory_switch_logic.h"
#include "memory_switch_page.h"

#include <qpu/plugin_sdk/plugin_base.h>

namespace {

using namespace qpu::sdk;

class MemorySwitchPlugin final : public SettingPagePlugin
{
public:
    PluginInfo Info() const override
    {
        return {QPU_BLOCK_MEMORY_SWITCH_ID, QPU_BLOCK_MEMORY_SWITCH_VERSION,
                QPU_BLOCK_MEMORY_SWITCH_SIZE};
    }

    int32_t WriteDefaults(uint32_t blockId) override
    {
        if (blockId != QPU_BLOCK_MEMORY_SWITCH_ID)
            return -1;
        MemorySwitchBlock block = memory_switch::DefaultBlock();
        return Context().Blocks().Write(blockId, &block);
    }

    int32_t ReadFromPrinter() override
    {
        PrinterLink link(Context().CommLib());
        memory_switch::Switches switches{};
        const int32_t rc = memory_switch::ReadFromPrinter(link, &switches);
        if (rc != kPrinterOk)
            return rc;
        return memory_switch::StoreSwitches(Context().Blocks(), switches, true) == 0 ? kPrinterOk
                                                                                     : -1;
    }

    // MENU_NAME_KEY=MEMORY_SWITCHES gives the page's title as the menu text.
    QString MenuName(const QString& key) const override
    {
        if (key != QLatin1String("MEMORY_SWITCHES"))
            return {};
        return LanguageString(QStringLiteral("MEMORY_SWITCH_PAGE"), 0,
                              QStringLiteral("Memory Switches"));
    }

    std::unique_ptr<PageBase> CreatePage() override
    {
        return std::make_unique<MemorySwitchPage>(Context());
    }
};

} // namespace

QPU_DEFINE_SETTING_PAGE_PLUGIN(MemorySwitchPlugin)
