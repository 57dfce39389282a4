// One suite for every shipped plug-in: the exports, the description of its block, the
// registration of its defaults, and repeated Initialize/Finalize cycles.
#include "plugin_harness.h"

#include <qpu/data_block.h>

#include <gtest/gtest.h>

#include <QPointer>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

using namespace plugintest;

class ShippedPlugin : public ::testing::TestWithParam<const char*>
{
protected:
    PluginLibrary plugin{GetParam()};
    Host host;
};

TEST_P(ShippedPlugin, ExportsExactlyTheEntryPointsOfTheInterface)
{
    ASSERT_TRUE(plugin.RequiredExportsPresent()) << ::dlerror();
    EXPECT_NE(plugin.getMenuName, nullptr);
    // Nothing else of the plug-in's own code is visible: the SDK and its page classes stay
    // hidden, so two plug-ins never bind each other's symbols.
    const std::string command = std::string("nm -D --defined-only ") + QPU_APP_DIR "/" + GetParam();
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[512];
    int exports = 0;
    while (std::fgets(line, sizeof line, pipe)) {
        const std::string text(line);
        std::string name = text.substr(text.rfind(' ') + 1);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        if (name.empty() || name[0] == '_') // symbols of the linker: _edata, _end, ...
            continue;
        if (name.rfind("FORMVIEWDLL_", 0) == 0)
            ++exports;
        else if (text.find(" T ") != std::string::npos || text.find(" D ") != std::string::npos)
            ADD_FAILURE() << "unexpected export " << name;
    }
    ::pclose(pipe);
    int listed = 0;
#define QPU_COUNT_EXPORT(name, required) ++listed;
    QPU_PLUGIN_EXPORTS(QPU_COUNT_EXPORT)
#undef QPU_COUNT_EXPORT
    EXPECT_EQ(exports, listed);
    // The interface version the plug-in was built against.
    const auto version = reinterpret_cast<FORMVIEWDLL_GetInterfaceVersion_t>(
        ::dlsym(plugin.module, "FORMVIEWDLL_GetInterfaceVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version(), QPU_PLUGIN_INTERFACE_VERSION);
}

TEST_P(ShippedPlugin, CallsBeforeInitializeAreRefused)
{
    ASSERT_TRUE(plugin.RequiredExportsPresent());
    EXPECT_EQ(plugin.changeMenuState(QPU_MENU_STATE_ENTER), -2);
    EXPECT_EQ(plugin.readPrinterSettings(), -2);
    EXPECT_EQ(plugin.setDefaults(0x10005), -2);
    EXPECT_EQ(plugin.getActiveView(), nullptr);
    EXPECT_EQ(plugin.initialize(&host.Frame(), host.Pane(), nullptr), -3);
}

TEST_P(ShippedPlugin, DescribesABlockThatRegistersWithValidDefaults)
{
    ASSERT_TRUE(plugin.RequiredExportsPresent());
    PluginInfo info{};
    ASSERT_EQ(plugin.getPluginInfo(&info), 0);
    EXPECT_NE(info.blockId, 0u);
    EXPECT_EQ(info.blockVersion, 0x10000u);
    EXPECT_GE(info.blockSize, uint32_t(QPU_BLOCK_MIN_SIZE));
    ASSERT_EQ(host.Bind(plugin), 0);
    // Every block the plug-in owns or depends on is complete: magic, id, version, and the
    // size field that a settings file needs to be read back.
    int32_t count = 0;
    ASSERT_EQ(plugin.getDependPluginData(nullptr, &count), 0);
    std::vector<PluginInfo> blocks(static_cast<size_t>(count));
    ASSERT_EQ(plugin.getDependPluginData(blocks.data(), &count), 0);
    blocks.push_back(info);
    for (const PluginInfo& b : blocks) {
        ASSERT_EQ(host.DataMgr().BlockSize(b.blockId), qint32(b.blockSize));
        DataBlockHeader header{};
        ASSERT_EQ(host.DataMgr().GetBlockData(b.blockId, &header, sizeof header), 0);
        EXPECT_EQ(std::memcmp(header.magic, "PND", 4), 0);
        EXPECT_EQ(header.id, b.blockId);
        EXPECT_EQ(header.version, b.blockVersion);
        EXPECT_EQ(header.totalSize, b.blockSize);
    }
    // A block of somebody else is not the plug-in's to fill.
    EXPECT_NE(plugin.setDefaults(0x7777), 0);
    EXPECT_EQ(plugin.finalize(), 0);
}

TEST_P(ShippedPlugin, MenuNameByKeyInTwoCalls)
{
    ASSERT_EQ(host.Bind(plugin), 0);
    const std::map<std::string, QString> keys = {{"libQpuPrintSettings.so", "PRINT_SETTINGS"},
                                                 {"libQpuMemorySwitch.so", "MEMORY_SWITCHES"},
                                                 {"libQpuPrinterInfo.so", "PRINTER_INFORMATION"}};
    const QString key = keys.at(GetParam());
    int32_t required = 0;
    ASSERT_EQ(plugin.getMenuName(reinterpret_cast<const QpuChar16*>(key.utf16()),
                                 int32_t(key.size()), nullptr, 0, &required),
              QPU_PLUGIN_BUFFER_TOO_SMALL);
    ASSERT_GT(required, 1);
    std::vector<QpuChar16> buffer(size_t(required), u'x');
    // One unit short is still too small.
    EXPECT_EQ(plugin.getMenuName(reinterpret_cast<const QpuChar16*>(key.utf16()),
                                 int32_t(key.size()), buffer.data(), required - 1, &required),
              QPU_PLUGIN_BUFFER_TOO_SMALL);
    ASSERT_EQ(plugin.getMenuName(reinterpret_cast<const QpuChar16*>(key.utf16()),
                                 int32_t(key.size()), buffer.data(), required, &required),
              0);
    const QString name = QString::fromUtf16(buffer.data());
    EXPECT_FALSE(name.isEmpty());
    EXPECT_EQ(qsizetype(required), name.size() + 1);
    // Another key, or none: no text.
    const QString other = QStringLiteral("LOGO");
    EXPECT_NE(plugin.getMenuName(reinterpret_cast<const QpuChar16*>(other.utf16()),
                                 int32_t(other.size()), nullptr, 0, &required),
              0);
    EXPECT_NE(plugin.getMenuName(nullptr, 0, nullptr, 0, &required), 0);
    // In Japanese the text comes from the language file.
    host.SetLanguage(0x0411);
    int32_t jaRequired = 0;
    plugin.getMenuName(reinterpret_cast<const QpuChar16*>(key.utf16()), int32_t(key.size()),
                       nullptr, 0, &jaRequired);
    std::vector<QpuChar16> ja(size_t(std::max(jaRequired, 1)));
    ASSERT_EQ(plugin.getMenuName(reinterpret_cast<const QpuChar16*>(key.utf16()),
                                 int32_t(key.size()), ja.data(), jaRequired, &jaRequired),
              0);
    EXPECT_NE(QString::fromUtf16(ja.data()), name);
}

TEST_P(ShippedPlugin, DependencyCountProtocol)
{
    int32_t count = -1;
    ASSERT_EQ(plugin.getDependPluginData(nullptr, &count), 0);
    EXPECT_GE(count, 0);
    // A list shorter than the count gets only as many records as it holds.
    PluginInfo one[1] = {};
    int32_t capacity = 0;
    ASSERT_EQ(plugin.getDependPluginData(one, &capacity), 0);
    EXPECT_EQ(capacity, 0);
    EXPECT_NE(plugin.getDependPluginData(nullptr, nullptr), 0);
}

TEST_P(ShippedPlugin, InitializeFinalizeCyclesLeaveNoPageBehind)
{
    ASSERT_TRUE(plugin.RequiredExportsPresent());
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_EQ(host.Bind(plugin), 0) << "cycle " << cycle;
        EXPECT_EQ(plugin.initialize(&host.Frame(), host.Pane(), &host.State()), -3);
        ASSERT_EQ(plugin.changeMenuState(QPU_MENU_STATE_ENTER), 0);
        QPointer<QWidget> page = plugin.Page();
        ASSERT_TRUE(page);
        EXPECT_EQ(page->parentWidget(), host.Pane());
        EXPECT_TRUE(page->isVisible());
        EXPECT_EQ(page->geometry(), host.Pane()->rect());
        EXPECT_EQ(plugin.changeMenuState(QPU_MENU_STATE_RESELECT), 0);
        EXPECT_EQ(plugin.changeMenuState(QPU_MENU_STATE_LEAVE), 0);
        EXPECT_FALSE(page->isVisible());
        EXPECT_EQ(plugin.finalize(), 0);
        EXPECT_TRUE(page.isNull());
        EXPECT_EQ(plugin.getActiveView(), nullptr);
    }
}

TEST_P(ShippedPlugin, PageFollowsThePaneSize)
{
    ASSERT_EQ(host.Bind(plugin), 0);
    ASSERT_EQ(plugin.changeMenuState(QPU_MENU_STATE_ENTER), 0);
    host.Frame().resize(1000, 700);
    WaitFor([&] { return plugin.Page()->size() == host.Pane()->size(); }, 2000);
    EXPECT_EQ(plugin.Page()->size(), host.Pane()->size());
    plugin.finalize();
}

TEST_P(ShippedPlugin, WithoutPrinterTheReadFailsCleanly)
{
    ASSERT_EQ(host.Bind(plugin), 0);
    PluginInfo info{};
    plugin.getPluginInfo(&info);
    QByteArray before(int(info.blockSize), 0);
    host.DataMgr().GetBlockData(info.blockId, before.data(), before.size());
    const int32_t rc = plugin.readPrinterSettings();
    QByteArray after(int(info.blockSize), 0);
    host.DataMgr().GetBlockData(info.blockId, after.data(), after.size());
    // The printer information page reads nothing of its own; the others report the missing
    // library and keep their data.
    if (info.blockId != 0x10003u) {
        EXPECT_NE(rc, 1);
    }
    EXPECT_EQ(before, after);
    plugin.finalize();
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedPlugin, ::testing::ValuesIn(kShippedPlugins),
                         [](const auto& info) {
                             std::string name = info.param;
                             name = name.substr(6, name.size() - 9); // libQpuX.so -> X
                             return name;
                         });

} // namespace
