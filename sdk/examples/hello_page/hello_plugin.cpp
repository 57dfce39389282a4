// hello_plugin.cpp -> libHelloPage.so
#include <qpu/plugin_sdk/plugin_base.h>

#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr uint32_t kBlockId = 0x20001; // pick your own identifier
struct HelloBlock
{
    DataBlockHeader header;
    int32_t greetings;
};

class HelloPage final : public qpu::sdk::PageBase
{
public:
    explicit HelloPage(const qpu::sdk::PluginContext& context) : PageBase(context, "HELLO_PAGE")
    {
        SetTitle(Str(0, "Hello"), Str(1, "A page that counts its visits."));
        m_label = new QLabel(this);
        Body()->addWidget(m_label);
    }
    void Reload() override
    {
        HelloBlock block{};
        if (Context().Blocks().Read(kBlockId, &block) == 0) {
            ++block.greetings;
            Context().Blocks().Write(kBlockId, &block);
        }
        m_label->setText(QString::number(block.greetings));
    }

private:
    QLabel* m_label = nullptr;
};

class HelloPlugin final : public qpu::sdk::SettingPagePlugin
{
public:
    PluginInfo Info() const override { return {kBlockId, 0x10000, sizeof(HelloBlock)}; }
    int32_t WriteDefaults(uint32_t blockId) override
    {
        HelloBlock block{};
        qpu::sdk::MakeBlockHeader(&block.header, blockId, 0x10000, sizeof block);
        return Context().Blocks().Write(blockId, &block);
    }
    std::unique_ptr<qpu::sdk::PageBase> CreatePage() override
    {
        return std::make_unique<HelloPage>(Context());
    }
};

} // namespace

QPU_DEFINE_SETTING_PAGE_PLUGIN(HelloPlugin)
