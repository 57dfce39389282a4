// The shipped plug-ins against the emulator: reading the printer's settings into their
// blocks, Apply with the exact bytes, the question when unsaved changes are left, and the
// offline editing of start mode 4.
#include "plugin_harness.h"

#include "pages/output_file.h"
#include "platform/profile.h"

#include <qpu/shipped_blocks.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstring>
#include <ostream>

// Texts in failure messages as text, not as code units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using namespace plugintest;
using qpr60test::hexText;

constexpr char kSaveQuestion[] = "Do you want to save your changes to the settings to the printer?";

std::string Hex(const char* text)
{
    return hexText(qpr60test::hexBytes(text));
}

class PluginOverEmulator : public ::testing::Test
{
protected:
    void Load(const char* library, std::vector<std::string> emulatorArgs = {})
    {
        emulatorArgs.insert(emulatorArgs.begin(), {"--tcp", "127.0.0.1:0", "--restart-ms", "100"});
        ASSERT_TRUE(printer.start(emulatorArgs)) << printer.error();
        ASSERT_TRUE(host.ConnectPrinter(printer));
        plugin = std::make_unique<PluginLibrary>(library);
        ASSERT_TRUE(plugin->RequiredExportsPresent());
        ASSERT_EQ(host.Bind(*plugin), 0);
    }
    template <class Block> Block ReadBlock(uint32_t id)
    {
        Block block{};
        EXPECT_EQ(host.DataMgr().GetBlockData(id, &block, sizeof block), 0);
        return block;
    }
    template <class T> T* Child(const char* name)
    {
        return plugin->Page() ? plugin->Page()->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }
    static void Choose(QComboBox* combo, int value)
    {
        const int index = combo->findData(value);
        ASSERT_GE(index, 0) << value;
        combo->setCurrentIndex(index);
    }
    // What the printer received from the pages: the communication library's own status
    // requests (automatic status 1D 61 n, real-time status 10 04 n) are left out.
    std::string Log()
    {
        const qpr60test::Bytes all = printer.receivedBytes();
        qpr60test::Bytes pages;
        for (size_t i = 0; i < all.size();) {
            const bool status = i + 2 < all.size() && ((all[i] == 0x1D && all[i + 1] == 0x61) ||
                                                       (all[i] == 0x10 && all[i + 1] == 0x04));
            if (status) {
                i += 3;
                continue;
            }
            pages.push_back(all[i++]);
        }
        return hexText(pages);
    }

    qpr60test::EmulatorProcess printer;
    Host host;
    MessageBoxAnswerer boxes;
    std::unique_ptr<PluginLibrary> plugin;
};

// ---- Print settings ------------------------------------------------------------------

TEST_F(PluginOverEmulator, PrintSettingsDefaultsAreTheFactoryValues)
{
    Load("libQpuPrintSettings.so");
    const auto block = ReadBlock<PrintSettingsBlock>(0x10005);
    EXPECT_EQ(block.printDensity, 100);
    EXPECT_EQ(block.printSpeed, 3);
    EXPECT_EQ(block.readFlag, 0u);
    // Raw offsets: what the output file of start mode 4 reads.
    QByteArray raw(152, 0);
    host.DataMgr().GetBlockData(0x10005, raw.data(), raw.size());
    int32_t at40 = 0, at44 = 0;
    std::memcpy(&at40, raw.constData() + 40, 4);
    std::memcpy(&at44, raw.constData() + 44, 4);
    EXPECT_EQ(at40, 100);
    EXPECT_EQ(at44, 3);
    EXPECT_EQ(Log(), "") << "registering defaults talks to no printer";
}

TEST_F(PluginOverEmulator, PrintSettingsReadFillsTheBlockFromThePrinter)
{
    Load("libQpuPrintSettings.so");
    printer.control("custom 5 120");
    printer.control("custom 6 7");
    ASSERT_EQ(plugin->readPrinterSettings(), 1);
    const auto block = ReadBlock<PrintSettingsBlock>(0x10005);
    EXPECT_EQ(block.printDensity, 120);
    EXPECT_EQ(block.printSpeed, 7);
    EXPECT_EQ(block.readFlag, 1u);
    EXPECT_EQ(Log(), Hex("1D 28 45 02 00 06 05 1D 28 45 02 00 06 06"));
    // The page shows what was read, an unknown value as it is.
    printer.control("custom 5 111");
    ASSERT_EQ(plugin->readPrinterSettings(), 1);
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    auto* density = Child<QComboBox>("density");
    ASSERT_NE(density, nullptr);
    EXPECT_EQ(density->currentData().toInt(), 111);
    EXPECT_TRUE(density->currentText().contains("111"));
    EXPECT_EQ(Child<QComboBox>("speed")->currentData().toInt(), 7);
}

TEST_F(PluginOverEmulator, AFreshReadUpdatesTheShownPageUnlessTheUserIsEditing)
{
    Load("libQpuPrintSettings.so");
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    auto* density = Child<QComboBox>("density");
    printer.control("custom 5 120");
    ASSERT_EQ(plugin->readPrinterSettings(), 1);
    EXPECT_TRUE(WaitFor([&] { return density->currentData().toInt() == 120; }, 2000));
    // An edit in progress is not overwritten by the next read; the block still follows
    // the printer.
    Choose(Child<QComboBox>("speed"), 8);
    printer.control("custom 5 70");
    ASSERT_EQ(plugin->readPrinterSettings(), 1);
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(density->currentData().toInt(), 120);
    EXPECT_EQ(Child<QComboBox>("speed")->currentData().toInt(), 8);
    EXPECT_EQ(ReadBlock<PrintSettingsBlock>(0x10005).printDensity, 70);
}

TEST_F(PluginOverEmulator, PrintSettingsReadOfASilentPrinterKeepsTheBlock)
{
    Load("libQpuPrintSettings.so");
    printer.control("silent on");
    EXPECT_EQ(plugin->readPrinterSettings(), -64);
    const auto block = ReadBlock<PrintSettingsBlock>(0x10005);
    EXPECT_EQ(block.printDensity, 100);
    EXPECT_EQ(block.readFlag, 0u);
}

TEST_F(PluginOverEmulator, PrintSettingsApplySendsExactlyTheUserSettingSequence)
{
    Load("libQpuPrintSettings.so");
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    auto* apply = Child<QPushButton>("apply");
    ASSERT_NE(apply, nullptr);
    EXPECT_FALSE(apply->isEnabled());
    Choose(Child<QComboBox>("density"), 125);
    Choose(Child<QComboBox>("speed"), 1);
    EXPECT_TRUE(apply->isEnabled());
    printer.control("log clear");
    apply->click();
    EXPECT_EQ(boxes.Texts(), QStringList{"Settings were changed successfully."});
    const std::string log = Log();
    const std::string sequence = Hex("1D 28 45 03 00 01 49 4E"
                                     " 1D 28 45 04 00 05 05 7D 00"
                                     " 1D 28 45 04 00 05 06 01 00"
                                     " 1D 28 45 04 00 02 4F 55 54");
    EXPECT_EQ(log.rfind(sequence, 0), 0u) << log;
    // After the restart only the check that the printer is back follows.
    const std::string rest = log.substr(std::min(log.size(), sequence.size()));
    EXPECT_EQ(rest.find("1D 28 45"), std::string::npos) << rest;
    EXPECT_EQ(printer.control("custom 5"), "OK 125");
    EXPECT_EQ(printer.control("custom 6"), "OK 1");
    const auto block = ReadBlock<PrintSettingsBlock>(0x10005);
    EXPECT_EQ(block.printDensity, 125);
    EXPECT_EQ(block.printSpeed, 1);
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_EQ(host.Frame().runs, 1);
    // Nothing left unsaved: leaving asks nothing.
    boxes.Clear();
    EXPECT_EQ(plugin->changeMenuState(QPU_MENU_STATE_LEAVE), 0);
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(PluginOverEmulator, PrintSettingsApplyToASilentPrinterFailsAndKeepsTheChange)
{
    Load("libQpuPrintSettings.so");
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    Choose(Child<QComboBox>("density"), 80);
    printer.control("silent on");
    Child<QPushButton>("apply")->click();
    EXPECT_EQ(boxes.Texts(), QStringList{"Failed to change settings."});
    EXPECT_EQ(ReadBlock<PrintSettingsBlock>(0x10005).printDensity, 100);
    EXPECT_TRUE(Child<QPushButton>("apply")->isEnabled());
    // Saving from the question fails too, so the page stays.
    boxes.Clear();
    boxes.Answer(QMessageBox::Yes);
    EXPECT_EQ(plugin->changeMenuState(QPU_MENU_STATE_LEAVE), QPU_MENU_STATE_REFUSE);
    EXPECT_EQ(boxes.Texts(), (QStringList{kSaveQuestion, "Failed to change settings."}));
    printer.control("silent off");
    EXPECT_EQ(printer.control("custom 5"), "OK 100");
}

TEST_F(PluginOverEmulator, LeavingWithUnsavedChangesAsksAndCancelStays)
{
    Load("libQpuPrintSettings.so");
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    Choose(Child<QComboBox>("speed"), 5);
    printer.control("log clear");

    boxes.Answer(QMessageBox::Cancel);
    EXPECT_EQ(plugin->changeMenuState(QPU_MENU_STATE_LEAVE), QPU_MENU_STATE_REFUSE);
    EXPECT_EQ(boxes.Texts(), QStringList{kSaveQuestion});
    EXPECT_TRUE(plugin->Page()->isVisible());
    EXPECT_EQ(Child<QComboBox>("speed")->currentData().toInt(), 5);
    EXPECT_EQ(Log(), "");

    // No: the change is dropped, the page may be left, nothing is sent.
    boxes.Clear();
    boxes.Answer(QMessageBox::No);
    EXPECT_EQ(plugin->changeMenuState(QPU_MENU_STATE_LEAVE), 0);
    EXPECT_FALSE(plugin->Page()->isVisible());
    EXPECT_EQ(Child<QComboBox>("speed")->currentData().toInt(), 3);
    EXPECT_EQ(Log(), "");

    // Yes: written to the printer, then left.
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    Choose(Child<QComboBox>("speed"), 9);
    boxes.Clear();
    boxes.Answer(QMessageBox::Yes);
    EXPECT_EQ(plugin->changeMenuState(QPU_MENU_STATE_LEAVE), 0);
    EXPECT_EQ(boxes.Texts(), (QStringList{kSaveQuestion, "Settings were changed successfully."}));
    EXPECT_EQ(printer.control("custom 6"), "OK 9");
}

TEST_F(PluginOverEmulator, JapaneseQuestionComesFromTheLanguageFile)
{
    Load("libQpuPrintSettings.so");
    host.SetLanguage(0x0411);
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    Choose(Child<QComboBox>("speed"), 2);
    boxes.Answer(QMessageBox::Cancel);
    EXPECT_EQ(plugin->changeMenuState(QPU_MENU_STATE_LEAVE), QPU_MENU_STATE_REFUSE);
    ASSERT_EQ(boxes.Texts().size(), 1);
    EXPECT_EQ(boxes.Texts()[0], QStringLiteral("変更した設定をプリンターに保存しますか？"));
}

TEST_F(PluginOverEmulator, StrictPrinterIsReadAndWrittenInsideTheUserSettingMode)
{
    Load("libQpuPrintSettings.so", {"--strict-user-mode"});
    printer.control("custom 5 90");
    ASSERT_EQ(plugin->readPrinterSettings(), 1);
    EXPECT_EQ(ReadBlock<PrintSettingsBlock>(0x10005).printDensity, 90);
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    Choose(Child<QComboBox>("density"), 130);
    Child<QPushButton>("apply")->click();
    EXPECT_EQ(printer.control("custom 5"), "OK 130");
}

// ---- Start mode 4 --------------------------------------------------------------------

TEST(OfflinePlugin, StartMode4EditsGoStraightIntoTheBlockAndTheOutputFile)
{
    Host host;
    host.SetOffline();
    MessageBoxAnswerer boxes;
    PluginLibrary plugin("libQpuPrintSettings.so");
    ASSERT_EQ(host.Bind(plugin), 0);
    ASSERT_EQ(plugin.changeMenuState(QPU_MENU_STATE_ENTER), 0);
    auto* page = plugin.Page();
    auto* apply = page->findChild<QPushButton*>("apply");
    ASSERT_NE(apply, nullptr);
    EXPECT_FALSE(apply->isVisible()) << "no printer to apply to";
    auto* density = page->findChild<QComboBox*>("density");
    auto* speed = page->findChild<QComboBox*>("speed");
    density->setCurrentIndex(density->findData(75));
    speed->setCurrentIndex(speed->findData(8));
    QByteArray commands;
    ASSERT_TRUE(BuildOutputCommandPart(host.DataMgr(), &commands));
    EXPECT_EQ(hexText(qpr60test::Bytes(commands.begin(), commands.end())),
              Hex("1D 28 45 03 00 01 49 4E 1D 28 45 04 00 05 05 4B 00"
                  " 1D 28 45 04 00 05 06 08 00 1D 28 45 04 00 02 4F 55 54"));
    // Nothing unsaved: no question, no job.
    EXPECT_EQ(plugin.changeMenuState(QPU_MENU_STATE_LEAVE), 0);
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_EQ(host.Frame().runs, 0);
    // Default puts the factory values back into the block.
    ASSERT_EQ(plugin.changeMenuState(QPU_MENU_STATE_ENTER), 0);
    page->findChild<QPushButton*>("default")->click();
    PrintSettingsBlock block{};
    host.DataMgr().GetBlockData(0x10005, &block, sizeof block);
    EXPECT_EQ(block.printDensity, 100);
    EXPECT_EQ(block.printSpeed, 3);
}

// Start mode 4 ends in the output file, whose commands carry only some values; a value
// edited on a page whose block the file does not carry would be lost without a word. So
// every page of the offline menu owns a block that the output file is made of: without it
// the file cannot be built.
TEST(OfflinePlugin, OfflineMenuOffersOnlyPagesWhoseValuesReachTheOutputFile)
{
    const QString menu = QStringLiteral(QPU_SOURCE_DIR "/data/program/MENUITEM_SAVEFILE.DAT");
    Host host;
    host.SetOffline();
    std::vector<std::unique_ptr<PluginLibrary>> plugins;
    for (const QString& section : platform::GetPrivateProfileSectionNames(menu)) {
        const QString name = platform::GetPrivateProfileString(section, "USE_DLL_NAME", {}, menu);
        if (name.isEmpty())
            continue;
        plugins.push_back(std::make_unique<PluginLibrary>(name.toStdString()));
        ASSERT_EQ(host.Bind(*plugins.back()), 0) << name.toStdString();
    }
    ASSERT_FALSE(plugins.empty());
    QByteArray commands;
    ASSERT_TRUE(BuildOutputCommandPart(host.DataMgr(), &commands));
    std::vector<PluginInfo> owned(plugins.size());
    for (size_t i = 0; i < plugins.size(); ++i)
        ASSERT_EQ(plugins[i]->getPluginInfo(&owned[i]), 0);
    // The blocks of all the other pages, without this page's own.
    for (const PluginInfo& page : owned) {
        PluginDataMgr without;
        for (const PluginInfo& other : owned) {
            if (other.blockId == page.blockId)
                continue;
            QByteArray data(qint32(other.blockSize), '\0');
            host.DataMgr().GetBlockData(other.blockId, data.data(), qint32(data.size()));
            without.AddBlock(other.blockId, other.blockVersion, qint32(data.size()));
            without.SetBlockData(other.blockId, qint32(data.size()), data.data());
        }
        EXPECT_FALSE(BuildOutputCommandPart(without, &commands))
            << "the offline menu offers a page whose block 0x" << std::hex << page.blockId
            << " the output file does not carry";
    }
    for (const auto& plugin : plugins)
        plugin->finalize();
}

TEST(OfflinePlugin, StartMode4MemorySwitchesAreKeptWithoutAPrinter)
{
    Host host;
    host.SetOffline();
    PluginLibrary plugin("libQpuMemorySwitch.so");
    ASSERT_EQ(host.Bind(plugin), 0);
    ASSERT_EQ(plugin.changeMenuState(QPU_MENU_STATE_ENTER), 0);
    plugin.Page()->findChild<QCheckBox*>("msw2bit3")->setChecked(true);
    MemorySwitchBlock block{};
    host.DataMgr().GetBlockData(0x10007, &block, sizeof block);
    EXPECT_EQ(block.switches[1], 0x04u);
    EXPECT_EQ(plugin.changeMenuState(QPU_MENU_STATE_LEAVE), 0);
    EXPECT_EQ(plugin.readPrinterSettings(), -24);
}

// ---- Memory switches -----------------------------------------------------------------

TEST_F(PluginOverEmulator, MemorySwitchReadFillsTheBlock)
{
    Load("libQpuMemorySwitch.so");
    printer.control("memsw 1 10000001");
    printer.control("memsw 8 01100000");
    ASSERT_EQ(plugin->readPrinterSettings(), 1);
    const auto block = ReadBlock<MemorySwitchBlock>(0x10007);
    EXPECT_EQ(block.readFlag, 1u);
    EXPECT_EQ(block.switches[0], 0x81u);
    EXPECT_EQ(block.switches[7], 0x06u);
    for (int i = 1; i < 7; ++i)
        EXPECT_EQ(block.switches[i], 0u);
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    EXPECT_TRUE(Child<QCheckBox>("msw1bit8")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>("msw8bit2")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>("msw8bit1")->isChecked());
}

TEST_F(PluginOverEmulator, MemorySwitchApplyWritesOnlyTheChangedSwitches)
{
    Load("libQpuMemorySwitch.so");
    printer.control("memsw 4 11110000");
    ASSERT_EQ(plugin->readPrinterSettings(), 1);
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    Child<QCheckBox>("msw4bit1")->setChecked(false);
    Child<QCheckBox>("msw6bit8")->setChecked(true);
    printer.control("log clear");
    Child<QPushButton>("apply")->click();
    EXPECT_EQ(boxes.Texts(), QStringList{"Settings were changed successfully."});
    const std::string log = Log();
    const std::string sequence = Hex("1D 28 45 03 00 01 49 4E"
                                     " 1D 28 45 0A 00 03 04 30 31 31 31 30 30 30 30"
                                     " 1D 28 45 0A 00 03 06 30 30 30 30 30 30 30 31"
                                     " 1D 28 45 04 00 02 4F 55 54");
    EXPECT_EQ(log.rfind(sequence, 0), 0u) << log;
    EXPECT_EQ(printer.control("memsw 4"), "OK 01110000");
    EXPECT_EQ(printer.control("memsw 6"), "OK 00000001");
    EXPECT_EQ(ReadBlock<MemorySwitchBlock>(0x10007).switches[3], 0x0Eu);
}

TEST_F(PluginOverEmulator, MemorySwitchLeaveQuestion)
{
    Load("libQpuMemorySwitch.so");
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    Child<QCheckBox>("msw2bit2")->setChecked(true);
    boxes.Answer(QMessageBox::Cancel);
    EXPECT_EQ(plugin->changeMenuState(QPU_MENU_STATE_LEAVE), QPU_MENU_STATE_REFUSE);
    boxes.Answer(QMessageBox::No);
    EXPECT_EQ(plugin->changeMenuState(QPU_MENU_STATE_LEAVE), 0);
    EXPECT_EQ(boxes.Texts(), (QStringList{kSaveQuestion, kSaveQuestion}));
    EXPECT_EQ(ReadBlock<MemorySwitchBlock>(0x10007).switches[1], 0u);
}

TEST(MemorySwitchPage, ColumnsSayWhichBitIsWhereAndTheModelDescribesItsBits)
{
    // A language folder of the test's own: English with descriptions for the model.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile shipped(QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG/0409.DAT"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    QByteArray text = shipped.readAll();
    text += "\n[MEMORY_SWITCH_PAGE_QP-R60_STR]\nMSW3_BIT5_35=Print in reverse\n";
    QFile own(folder.filePath(QStringLiteral("0409.DAT")));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write(text);
    own.close();

    Host host;
    host.SetOffline();
    const QString path = folder.path();
    std::memset(host.State().languageFolder, 0, sizeof host.State().languageFolder);
    std::memcpy(host.State().languageFolder, path.utf16(), size_t(path.size()) * 2);
    PluginLibrary plugin("libQpuMemorySwitch.so");
    ASSERT_EQ(host.Bind(plugin), 0);
    ASSERT_EQ(plugin.changeMenuState(QPU_MENU_STATE_ENTER), 0);
    QWidget* page = plugin.Page();
    for (int bit = 1; bit <= 8; ++bit) {
        auto* header = page->findChild<QLabel*>(QStringLiteral("bit%1").arg(bit));
        ASSERT_NE(header, nullptr) << bit;
        EXPECT_EQ(header->text(), QStringLiteral("Bit %1").arg(bit));
    }
    auto* order = page->findChild<QLabel*>(QStringLiteral("valueOrder"));
    ASSERT_NE(order, nullptr);
    EXPECT_TRUE(order->text().contains(QLatin1String("bit 1"))) << order->text().toStdString();
    EXPECT_TRUE(order->text().contains(QLatin1String("left"))) << order->text().toStdString();
    EXPECT_TRUE(page->findChild<QCheckBox*>("msw3bit5")->toolTip().contains("Print in reverse"));
    EXPECT_FALSE(page->findChild<QCheckBox*>("msw3bit4")->toolTip().contains("reverse"));
    plugin.finalize();
}

TEST(PrintSettingsPage, TheSpeedListSaysWhichLevelIsFastest)
{
    Host host;
    host.SetOffline();
    PluginLibrary plugin("libQpuPrintSettings.so");
    ASSERT_EQ(host.Bind(plugin), 0);
    ASSERT_EQ(plugin.changeMenuState(QPU_MENU_STATE_ENTER), 0);
    auto* speed = plugin.Page()->findChild<QComboBox*>("speed");
    ASSERT_NE(speed, nullptr);
    const int fastest = speed->findData(9);
    ASSERT_GE(fastest, 0);
    EXPECT_TRUE(speed->itemText(fastest).contains(QLatin1String("fastest")))
        << speed->itemText(fastest).toStdString();
    for (int i = 0; i < speed->count(); ++i)
        if (i != fastest)
            EXPECT_FALSE(speed->itemText(i).contains(QLatin1String("fastest"))) << i;
    plugin.finalize();
}

// ---- Printer information -------------------------------------------------------------

void WriteIdentity(PluginDataMgr& mgr)
{
    QByteArray block(992, 0);
    mgr.GetBlockData(0x10001, block.data(), block.size());
    const auto put = [&](int offset, const QString& text) {
        std::memcpy(block.data() + offset, text.utf16(), size_t(text.size()) * 2);
    };
    put(32, "QPR6000042");
    put(212, "QP-R60");
    put(572, "ESC/VRK-A Ver.1.00");
    put(752, "South Asia");
    const uint32_t one = 1;
    std::memcpy(block.data() + 976, &one, 4);
    mgr.SetBlockData(0x10001, 992, block.data());
}

TEST_F(PluginOverEmulator, PrinterInfoShowsIdentityAndLiveStatus)
{
    Load("libQpuPrinterInfo.so");
    // The identity block was added for the plug-in with its documented defaults.
    QByteArray defaults(992, 0);
    ASSERT_EQ(host.DataMgr().GetBlockData(0x10001, defaults.data(), defaults.size()), 0);
    uint32_t v984 = 0, v988 = 0;
    std::memcpy(&v984, defaults.constData() + 984, 4);
    std::memcpy(&v988, defaults.constData() + 988, 4);
    EXPECT_EQ(v984, 80u);
    EXPECT_EQ(v988, 180u);
    WriteIdentity(host.DataMgr());
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    EXPECT_EQ(Child<QLabel>("model")->text(), "QP-R60");
    EXPECT_EQ(Child<QLabel>("serial")->text(), "QPR6000042");
    EXPECT_EQ(Child<QLabel>("firmware")->text(), "ESC/VRK-A Ver.1.00");
    EXPECT_EQ(Child<QLabel>("charset")->text(), "South Asia");
    EXPECT_TRUE(Child<QLabel>("port")->text().startsWith("NET 127.0.0.1:"));
    EXPECT_TRUE(WaitFor([&] { return Child<QLabel>("status")->text() == "Online"; }));
    printer.control("cover open");
    EXPECT_TRUE(WaitFor([&] { return Child<QLabel>("status")->text() == "Cover is open"; }, 8000))
        << Child<QLabel>("status")->text().toStdString();
}

TEST_F(PluginOverEmulator, PrinterInfoShowsNearEndInTheWarningColour)
{
    Load("libQpuPrinterInfo.so");
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    auto* status = Child<QLabel>("status");
    const auto colourOf = [&](const char* command, const char* text) {
        printer.control(command);
        EXPECT_TRUE(WaitFor([&] { return status->text() == QLatin1String(text); }, 8000))
            << status->text().toStdString();
        return status->palette().color(QPalette::WindowText);
    };
    const QColor online = colourOf("clear", "Online");
    const QColor nearEnd = colourOf("paper near", "Paper near-end");
    const QColor cover = colourOf("cover open", "Cover is open");
    EXPECT_NE(nearEnd, online);
    EXPECT_NE(nearEnd, cover);
    EXPECT_GT(online.green(), online.red());
    EXPECT_GT(cover.red(), cover.green());
}

TEST_F(PluginOverEmulator, PrinterInfoTestPrint)
{
    Load("libQpuPrinterInfo.so");
    PluginLibrary settings("libQpuPrintSettings.so");
    ASSERT_EQ(host.Bind(settings), 0);
    WriteIdentity(host.DataMgr());
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    auto* withSettings = Child<QCheckBox>("withSettings");
    EXPECT_TRUE(withSettings->isChecked());
    const long printedBefore = std::stol(printer.statusField("printed"));
    Child<QPushButton>("testPrint")->click();
    EXPECT_EQ(boxes.Texts(), QStringList{"The test page was sent to the printer."});
    const std::string log = Log();
    EXPECT_EQ(log.rfind(Hex("1B 40"), 0), 0u);
    const QByteArray text = QByteArray::fromHex(QByteArray::fromStdString(log).replace(" ", ""));
    EXPECT_TRUE(text.contains("Serial number: QPR6000042\n"));
    EXPECT_TRUE(text.contains("Print density: 100 %\n"));
    EXPECT_TRUE(text.endsWith("\n\n\n\n\x1D\x56\x42" + QByteArray(1, '\0')));
    EXPECT_GT(std::stol(printer.statusField("printed")), printedBefore);
    // The option is the page's own block; without it the settings are left out.
    withSettings->setChecked(false);
    PrinterInfoPageBlock own{};
    host.DataMgr().GetBlockData(0x10003, &own, sizeof own);
    EXPECT_EQ(own.testPrintWithSettings, 0u);
    printer.control("log clear");
    boxes.Clear();
    Child<QPushButton>("testPrint")->click();
    EXPECT_FALSE(QByteArray::fromHex(QByteArray::fromStdString(Log()).replace(" ", ""))
                     .contains("Print density"));
    // An offline printer refuses the job before anything is sent.
    host.Frame().commState = 1;
    printer.control("log clear");
    boxes.Clear();
    Child<QPushButton>("testPrint")->click();
    EXPECT_EQ(boxes.Texts(), QStringList{"The test page could not be sent to the printer."});
    EXPECT_EQ(Log(), "");
}

// A printer that is offline or in error cannot print: Test Print asks the status first,
// sends nothing and says why. A near-end still prints.
TEST_F(PluginOverEmulator, PrinterInfoTestPrintChecksTheStatusFirst)
{
    Load("libQpuPrinterInfo.so");
    WriteIdentity(host.DataMgr());
    ASSERT_EQ(plugin->changeMenuState(QPU_MENU_STATE_ENTER), 0);
    const CommLibTable* comm = host.State().commLib;
    const auto statusIs = [comm](int32_t wanted) {
        return WaitFor([&] {
            int32_t code = -1;
            return comm->GetStatus(&code) == QPC_OK && code == wanted;
        });
    };
    const struct
    {
        const char* condition;
        int32_t code;
        const char* reason;
    } refused[] = {
        {"offline on", 1, "Offline"},     {"cover open", 6, "Cover is open"},
        {"paper end", 7, "Out of paper"}, {"cutter error", 9, "Auto cutter error"},
        {"fatal on", 3, "Fatal Error"},   {"removal on", 17, "Awaiting paper removal"},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.condition);
        ASSERT_EQ(printer.control("clear"), "OK");
        ASSERT_EQ(printer.control(row.condition), "OK");
        ASSERT_TRUE(statusIs(row.code));
        printer.control("log clear");
        boxes.Clear();
        Child<QPushButton>("testPrint")->click();
        EXPECT_EQ(boxes.Texts(),
                  QStringList{QStringLiteral("The printer cannot print now: %1.\nCheck the "
                                             "printer and try again.")
                                  .arg(QLatin1String(row.reason))});
        EXPECT_EQ(Log(), "");
    }
    ASSERT_EQ(printer.control("clear"), "OK");
    ASSERT_EQ(printer.control("paper near"), "OK");
    ASSERT_TRUE(statusIs(18));
    boxes.Clear();
    Child<QPushButton>("testPrint")->click();
    EXPECT_EQ(boxes.Texts(), QStringList{"The test page was sent to the printer."});
}

} // namespace
