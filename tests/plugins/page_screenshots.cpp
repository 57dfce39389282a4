// Pictures of every shipped page in English, German and Japanese for the documentation:
//   plugin_page_screenshots <output folder>
// Runs the pages offscreen against the emulator on 127.0.0.1 and saves <page>_<lang>.png.
#include "plugin_harness.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

using namespace plugintest;

void WriteIdentity(PluginDataMgr& mgr)
{
    QByteArray block(992, 0);
    mgr.GetBlockData(0x10001, block.data(), block.size());
    const auto put = [&](int offset, const QString& text) {
        std::memcpy(block.data() + offset, text.utf16(), size_t(text.size()) * 2);
    };
    put(32, "QPR6000001");
    put(212, "QP-R60");
    put(572, "ESC/VRK-A Ver.1.00");
    put(752, "South Asia");
    const uint32_t one = 1;
    std::memcpy(block.data() + 976, &one, 4);
    mgr.SetBlockData(0x10001, 992, block.data());
}

bool Shoot(const QString& folder, const char* library, const QString& name, int languageId,
           const qpr60test::EmulatorProcess* printer,
           const std::function<void(QWidget*)>& prepare = {})
{
    Host host;
    host.SetLanguage(languageId);
    if (printer) {
        if (!host.ConnectPrinter(*printer))
            return false;
    } else {
        host.SetOffline();
    }
    // The page area of the 796 x 523 main window.
    host.Frame().resize(573, 458);
    PluginLibrary plugin(library);
    if (!plugin.RequiredExportsPresent() || host.Bind(plugin) != 0)
        return false;
    // The identity block belongs to the utility's printer setting page.
    if (host.DataMgr().FindBlock(0x10001) < 0 &&
        host.DataMgr().AddBlock(0x10001, 0x10000, 992) != 0)
        return false;
    WriteIdentity(host.DataMgr());
    if (printer)
        plugin.readPrinterSettings();
    if (plugin.changeMenuState(QPU_MENU_STATE_ENTER) != 0)
        return false;
    if (prepare)
        prepare(plugin.Page());
    WaitFor([] { return false; }, 1500); // status polled, layouts settled
    const QString lang = languageId == 0x0411   ? QStringLiteral("ja")
                         : languageId == 0x0407 ? QStringLiteral("de")
                                                : QStringLiteral("en");
    const QString path = QDir(folder).filePath(name + "_" + lang + ".png");
    const bool saved = host.Pane()->grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    plugin.finalize();
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string tempDir = PrepareEnvironment();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/pages");
    QDir().mkpath(folder);
    qpr60test::EmulatorProcess printer;
    if (!printer.start({"--tcp", "127.0.0.1:0", "--restart-ms", "100"})) {
        std::fprintf(stderr, "emulator: %s\n", printer.error().c_str());
        return 1;
    }
    printer.control("custom 5 110");
    printer.control("custom 6 4");
    printer.control("memsw 1 10000000");
    printer.control("memsw 3 01100000");
    printer.control("memsw 5 00000011");
    bool ok = true;
    for (const int lang : {0x0409, 0x0407, 0x0411}) {
        ok &= Shoot(folder, "libQpuPrinterInfo.so", "printer_information", lang, &printer);
        ok &= Shoot(folder, "libQpuPrintSettings.so", "print_settings", lang, &printer);
        ok &= Shoot(folder, "libQpuPrintSettings.so", "print_settings_changed", lang, &printer,
                    [](QWidget* page) {
                        auto* density = page->findChild<QComboBox*>("density");
                        density->setCurrentIndex(density->findData(125));
                    });
        ok &= Shoot(folder, "libQpuMemorySwitch.so", "memory_switches", lang, &printer);
        ok &= Shoot(folder, "libQpuPrintSettings.so", "print_settings_offline", lang, nullptr);
        ok &= Shoot(folder, "libQpuMemorySwitch.so", "memory_switches_offline", lang, nullptr);
    }
    printer.stop();
    std::error_code ignored;
    std::filesystem::remove_all(tempDir, ignored);
    return ok ? 0 : 1;
}
