// qp60ctl and the utility's own setting pages see the same printer: what set writes, the
// pages read and show; and a port the utility holds open is reported as in use.
#include "ctl_process.h"

#include "../plugins/plugin_harness.h"

#include <qpu/plugin.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using namespace plugintest;

class CtlAndPages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0", "--restart-ms", "100"}))
            << printer.error();
        name = QStringLiteral("net:127.0.0.1:%1").arg(printer.tcpPort());
    }
    // Loads a plug-in over the printer and shows its page with what it read.
    QWidget* ShowPage(const char* library)
    {
        EXPECT_TRUE(host.ConnectPrinter(printer));
        plugin = std::make_unique<PluginLibrary>(library);
        EXPECT_EQ(host.Bind(*plugin), 0);
        EXPECT_EQ(plugin->readPrinterSettings(), 1);
        EXPECT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
        return plugin->Page();
    }

    qpr60test::EmulatorProcess printer;
    QString name;
    Host host;
    std::unique_ptr<PluginLibrary> plugin;
};

TEST_F(CtlAndPages, ThePagesShowWhatSetWrote)
{
    const ctltest::CtlRun run = ctltest::RunCtl(
        {"set", name, "density=120", "speed=7", "memsw2.bit3=1", "memsw5=10000001"});
    ASSERT_EQ(run.status, 0) << qPrintable(run.out + run.err);

    QWidget* print = ShowPage("libQpuPrintSettings.so");
    ASSERT_NE(print, nullptr);
    EXPECT_EQ(print->findChild<QComboBox*>("density")->currentData().toInt(), 120);
    EXPECT_EQ(print->findChild<QComboBox*>("speed")->currentData().toInt(), 7);
    plugin->changeMenuState(QPU_MENU_STATE_LEAVE);
    plugin.reset();

    QWidget* switches = ShowPage("libQpuMemorySwitch.so");
    ASSERT_NE(switches, nullptr);
    for (int row = 1; row <= 8; ++row)
        for (int bit = 1; bit <= 8; ++bit) {
            const bool on = (row == 2 && bit == 3) || (row == 5 && (bit == 1 || bit == 8));
            auto* box =
                switches->findChild<QCheckBox*>(QStringLiteral("msw%1bit%2").arg(row).arg(bit));
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->isChecked(), on) << row << "." << bit;
        }
}

TEST_F(CtlAndPages, APortTheUtilityHoldsIsReportedInUse)
{
    ASSERT_TRUE(host.ConnectPrinter(printer));
    const ctltest::CtlRun run = ctltest::RunCtl({"info", name, "--json"});
    EXPECT_EQ(run.status, 1);
    const QJsonObject result = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(result.value("error").toObject().value("code").toString(), "port-in-use")
        << qPrintable(run.out);
    EXPECT_TRUE(result.value("error").toObject().value("text").toString().contains("in use"));
}

} // namespace
