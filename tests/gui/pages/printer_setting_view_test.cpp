// The printer setting page against the emulator, through the real communication and
// printer information libraries, with test plug-ins in the menu.
#include "pagebase_plugin_control.h"
#include "pagebase_test_support.h"

#include "app/fixed_text.h"
#include "emulator_process.h"
#include "mainwnd/main_frame.h"
#include "mainwnd/menu_item.h"
#include "pages/output_file.h"
#include "pages/printer_setting_view.h"
#include "pages/printer_setting_view_ctrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThread>

#include <dlfcn.h>
#include <pthread.h>

#include <cstring>

using namespace pagebase_test;

namespace {

QString PluginPath(char name)
{
    return QStringLiteral(PAGEBASE_PLUGIN_DIR "/libpagebase_plugin_%1.so").arg(QChar(name));
}

// The control block of a loaded test plug-in (the host's load and this one share it).
PagebaseTestPluginControl* PluginControl(char name)
{
    void* module = ::dlopen(PluginPath(name).toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr)
        return nullptr;
    auto control = reinterpret_cast<PagebaseTestPlugin_Control_t>(
        ::dlsym(module, "PagebaseTestPlugin_Control"));
    ::dlclose(module);
    return control != nullptr ? control() : nullptr;
}

// A clock on which the printer check's pauses cost no real time.
struct VirtualClock
{
    qint64 now = 5000;
    int sleeps = 0;
    CheckClock Make()
    {
        CheckClock clock;
        clock.nowSeconds = [this] { return now; };
        clock.sleep = [this](int ms) {
            ++sleeps;
            now += ms / 1000;
        };
        return clock;
    }
};

class PrinterSettingPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pagebase-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        tmp = pattern;
        ::setenv("QP60UTIL_COMMON_APPDATA", tmp.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", tmp.c_str(), 1);
        ::setenv("QPCOMM_TIMEOUT_MS", "200", 1);
        ::setenv("PRTINF_TIMEOUT_MS", "200", 1);
        ASSERT_TRUE(printer.start({"--tcp", "127.0.0.81:0"})) << printer.error();
        comm = ::dlopen(QPU_APP_DIR "/libQPComm.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(comm, nullptr) << ::dlerror();
        table.module = comm;
#define QPU_BIND(name) table.name = reinterpret_cast<QPC_##name##_t>(::dlsym(comm, "QPC_" #name));
        QPU_COMM_ENTRY_POINTS(QPU_BIND)
#undef QPU_BIND
        PortInfo port{};
        const std::string name = "127.0.0.81:" + std::to_string(printer.tcpPort());
        const char16_t net[] = u"NET";
        std::memcpy(port.interfaceKeyword, net, sizeof net);
        for (std::size_t i = 0; i < name.size(); ++i)
            port.portName[i] = static_cast<char16_t>(name[i]);
        ASSERT_EQ(table.SetPort(&port), QPC_OK);
        ASSERT_EQ(table.Open(1), QPC_OK);

        app.WriteLanguageFile(QStringLiteral("0409.DAT"), EnglishLanguageFile());
        app.state->commLib = &table;
        LoadPlugins();
    }

    void TearDown() override
    {
        ctrl.reset(); // the page finalises its connection before the library goes
        entries.clear();
        if (comm != nullptr) {
            table.Terminate();
            ::dlclose(comm);
        }
        printer.stop();
        std::error_code ignored;
        std::filesystem::remove_all(tmp, ignored);
    }

    void LoadPlugins()
    {
        for (const char name : {'a', 'x', 'b', 'c'}) {
            auto entry = std::make_unique<MenuItem>();
            if (name != 'x') { // 'x': a caption without a plug-in
                ASSERT_EQ(entry->plugin.LoadPlugin(PluginPath(name)), 0) << name;
                PagebaseTestPluginControl* control = PluginControl(name);
                ASSERT_NE(control, nullptr);
                *control = PagebaseTestPluginControl{1, 0, 0, &sequence, 0};
            }
            entries.push_back(std::move(entry));
        }
    }

    // Creates the page and registers block 0x10001 with its defaults, as the status view
    // does.
    void CreatePage()
    {
        ctrl = std::make_unique<CPrinterSettingViewCtrl>();
        ASSERT_EQ(ctrl->Initialize(app.state.get(), &frame, &parent), 0);
        ASSERT_EQ(app.dataMgr.AddBlock(0x10001, 0x10000, 992), 0);
        ASSERT_EQ(ctrl->InitSettingData(0x10001), 0);
        ASSERT_NE(ctrl->Page(), nullptr);
        ctrl->Page()->SetCheckClock(clock.Make());
    }

    std::string tmp;
    qpr60test::EmulatorProcess printer;
    void* comm = nullptr;
    CommLibTable table{};
    AppFixture app;
    FakeFrame frame;
    QWidget parent;
    MenuItemList entries;
    int32_t sequence = 0;
    VirtualClock clock;
    std::unique_ptr<CPrinterSettingViewCtrl> ctrl;
};

TEST_F(PrinterSettingPage, FullReadFillsTheBlockAndEnablesSaving)
{
    printer.control("serial SN-42");
    CreatePage();
    EXPECT_EQ(ctrl->Page()->BindResult(), 1);
    EXPECT_EQ(ctrl->InitFlag(), 1);
    EXPECT_TRUE(ctrl->Page()->isHidden());
    MessageBoxWatcher watcher;

    EXPECT_EQ(ctrl->ReadAllSettings(&entries), 1);

    PrinterInfoBlock block;
    ASSERT_TRUE(ctrl->ReadPrinterInfo(&block));
    EXPECT_EQ(Text(block, PrinterInfoText::SerialNumber), QStringLiteral("SN-42"));
    EXPECT_EQ(Text(block, PrinterInfoText::ModelName), QStringLiteral("QP-R60"));
    EXPECT_EQ(Text(block, PrinterInfoText::FirmwareText), QStringLiteral("ESC/VRK-A Ver.1.00"));
    EXPECT_EQ(Text(block, PrinterInfoText::CharacterSet), QStringLiteral("South Asia"));
    EXPECT_EQ(block.readFlag, 1);
    EXPECT_EQ(block.presetValueA, 80);
    EXPECT_EQ(block.presetValueB, 180);
    EXPECT_EQ(block.header.totalSize, 992u);
    EXPECT_EQ(app.dataMgr.BlockSize(0x10001), 992);

    EXPECT_EQ(frame.reported, (std::vector<int>{0, 20, 40, 60, 80, 100, 100}));
    EXPECT_TRUE(watcher.boxes.empty());
    EXPECT_EQ(app.dataMgr.SaveEnabled(), 1);
    for (const char name : {'a', 'b', 'c'}) {
        const PagebaseTestPluginControl* control = PluginControl(name);
        EXPECT_EQ(control->readCalls, 1) << name;
        EXPECT_NE(control->readThread, static_cast<unsigned long>(pthread_self())) << name;
    }
    EXPECT_EQ(PluginControl('a')->readOrder, 0);
    EXPECT_EQ(PluginControl('b')->readOrder, 1);
    EXPECT_EQ(PluginControl('c')->readOrder, 2);
    // The status view hears of the new block by a posted refresh.
    QTest::qWait(20);
    EXPECT_EQ(frame.refreshPosts, 1);
}

TEST_F(PrinterSettingPage, PluginStoppingTheReadLeavesSavingDisabled)
{
    CreatePage();
    PluginControl('b')->readResult = -64;
    MessageBoxWatcher watcher;
    EXPECT_EQ(ctrl->ReadAllSettings(&entries), -64);
    EXPECT_EQ(PluginControl('a')->readCalls, 1);
    EXPECT_EQ(PluginControl('b')->readCalls, 1);
    EXPECT_EQ(PluginControl('c')->readCalls, 0);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text,
              QStringLiteral("Could not get some settings from the printer."));
    EXPECT_EQ(watcher.boxes[0].title, QStringLiteral("QP-R60 Utility"));
    EXPECT_EQ(watcher.boxes[0].owner, static_cast<QWidget*>(frame.progress.data()));
    EXPECT_EQ(app.dataMgr.SaveEnabled(), 0);
    EXPECT_EQ(frame.reported, (std::vector<int>{0, 20, 40, 60, 80, 100}));
    // The printer information itself was read.
    PrinterInfoBlock block;
    ASSERT_TRUE(ctrl->ReadPrinterInfo(&block));
    EXPECT_EQ(block.readFlag, 1);
}

TEST_F(PrinterSettingPage, SilentPrinterGivesTheCommunicationMessage)
{
    CreatePage();
    printer.control("silent on");
    MessageBoxWatcher watcher;
    EXPECT_EQ(ctrl->ReadAllSettings(&entries), -67);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    // Message 1 comes from the language file; its second line says why.
    EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("Communication text from the file.\n"
                                                    "The printer did not answer in time."));
    EXPECT_EQ(clock.sleeps, 19); // 20 attempts
    EXPECT_EQ(frame.reported, (std::vector<int>{0, 20, 100}));
    EXPECT_EQ(PluginControl('a')->readCalls, 0);
    EXPECT_EQ(app.dataMgr.SaveEnabled(), 0);
    PrinterInfoBlock block;
    ASSERT_TRUE(ctrl->ReadPrinterInfo(&block));
    EXPECT_EQ(block.readFlag, 0);
}

TEST_F(PrinterSettingPage, AnotherModelGivesTheDeviceIdMessage)
{
    printer.control("model QP-R70");
    CreatePage();
    MessageBoxWatcher watcher;
    EXPECT_EQ(ctrl->ReadAllSettings(&entries), -67);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("Device ID text from the file."));
    EXPECT_EQ(PluginControl('a')->readCalls, 0);
    EXPECT_EQ(app.dataMgr.SaveEnabled(), 0);
}

TEST_F(PrinterSettingPage, DriverStartAcceptsAPrinterOfTheSeries)
{
    printer.control("model QP-R60II");
    app.state->startMode = 100;
    CreatePage();
    MessageBoxWatcher watcher;
    EXPECT_EQ(ctrl->ReadAllSettings(&entries), 1);
    EXPECT_TRUE(watcher.boxes.empty());
    PrinterInfoBlock block;
    ASSERT_TRUE(ctrl->ReadPrinterInfo(&block));
    EXPECT_EQ(Text(block, PrinterInfoText::ModelName), QStringLiteral("QP-R60II"));
}

TEST_F(PrinterSettingPage, OfflinePrinterRefusesTheJob)
{
    CreatePage();
    frame.state = 1;
    EXPECT_EQ(ctrl->ReadAllSettings(&entries), -64);
    EXPECT_EQ(frame.startRequests, 0);
    EXPECT_EQ(PluginControl('a')->readCalls, 0);
}

TEST_F(PrinterSettingPage, DefaultBlockByteForByte)
{
    CreatePage();
    QByteArray bytes(992, '\x77');
    ASSERT_EQ(app.dataMgr.GetBlockData(0x10001, bytes.data(), 992), 0);
    const QByteArray expected = ToBytes(DefaultPrinterInfoBlock());
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.left(16),
              QByteArray("PND\0\x01\x00\x01\x00\x00\x00\x01\x00\xE0\x03\x00\x00", 16));
    EXPECT_EQ(bytes.mid(984, 8), QByteArray("\x50\0\0\0\xB4\0\0\0", 8));
    EXPECT_EQ(ctrl->InitSettingData(0x10005), -1);
    // Without the block there is nothing to write.
    app.dataMgr.RemoveAllBlocks();
    EXPECT_EQ(ctrl->InitSettingData(0x10001), -1);
}

TEST_F(PrinterSettingPage, ReadWithoutTheBlockIsNoSuccess)
{
    CreatePage();
    app.dataMgr.RemoveAllBlocks();
    MessageBoxWatcher watcher;
    EXPECT_EQ(ctrl->ReadAllSettings(&entries), 1); // the last plug-in's answer
    ASSERT_EQ(watcher.boxes.size(), 1u);           // but the read was not complete
    EXPECT_EQ(app.dataMgr.SaveEnabled(), 0);
    EXPECT_EQ(frame.refreshPosts, 0);
}

TEST_F(PrinterSettingPage, PageTimingAndControllerBeforeInitialize)
{
    CPrinterSettingViewCtrl fresh;
    EXPECT_EQ(fresh.Page(), nullptr);
    EXPECT_EQ(fresh.StartReadAllSettings(), -25);
    EXPECT_EQ(fresh.BlockSize(), 992u);
    EXPECT_TRUE(fresh.DependencyBlocks().empty());
    PrinterInfoBlock block;
    EXPECT_FALSE(fresh.ReadPrinterInfo(&block));

    CreatePage();
    CommTiming timing;
    EXPECT_EQ(ctrl->Page()->GetCommTiming(&timing), 1);
    EXPECT_EQ(timing.timeMs, 100);
    EXPECT_EQ(timing.attempts, 20);
    EXPECT_EQ(timing.pauseMs, 1000);
    EXPECT_EQ(ctrl->Page()->GetCommTiming(nullptr), 0);
}

TEST_F(PrinterSettingPage, OutputFileNeedsItsPathAndTheCommandBlock)
{
    CreatePage();
    const QString out = QString::fromStdString(tmp) + QStringLiteral("/out.bin");
    EXPECT_EQ(ctrl->Page()->WriteOutputFile({}, QStringLiteral("QP-R60"), {}, 0), -1);
    EXPECT_EQ(ctrl->Page()->WriteOutputFile({}, QStringLiteral("QP-R60"), out, 0), -4);
    EXPECT_FALSE(QFile::exists(out));
    ASSERT_EQ(app.dataMgr.AddBlock(0x10005, 0x10000, 152), 0);
    QByteArray block(152, '\0');
    app.dataMgr.GetBlockData(0x10005, block.data(), 152);
    app.dataMgr.SetBlockData(0x10005, 152, block.data());
    EXPECT_EQ(ctrl->Page()->WriteOutputFile({}, QStringLiteral("QP-R60"), out, 0), 0);
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), 256 + 35);
}

// Failing bindings of the printer information library.
class PrinterInfoBinding : public ::testing::Test
{
protected:
    int Bind(const char* variant)
    {
        SetFixedText(app.state->programFolder,
                     QStringLiteral(PAGEBASE_PRTINF_DIR "/%1/").arg(QLatin1String(variant)));
        ctrl = std::make_unique<CPrinterSettingViewCtrl>();
        EXPECT_EQ(ctrl->Initialize(app.state.get(), &frame, &parent), 0);
        EXPECT_EQ(app.dataMgr.AddBlock(0x10001, 0x10000, 992), 0);
        ctrl->InitSettingData(0x10001);
        ctrl->Page()->SetCheckClock(clock.Make());
        return ctrl->Page()->BindResult();
    }

    AppFixture app;
    FakeFrame frame;
    QWidget parent;
    VirtualClock clock;
    std::unique_ptr<CPrinterSettingViewCtrl> ctrl;
};

TEST_F(PrinterInfoBinding, MissingExportLeavesTheLibraryLoadedWithoutConnection)
{
    EXPECT_EQ(Bind("no_device_id"), -24);
    EXPECT_TRUE(ctrl->Page()->Library().IsLoaded());
    EXPECT_FALSE(ctrl->Page()->Library().HasConnection());
    EXPECT_EQ(ctrl->Page()->ReadPrinterData(), -24);
}

TEST_F(PrinterInfoBinding, NoConnectionFailsEveryCheckWithTheCommunicationMessage)
{
    EXPECT_EQ(Bind("no_connection"), -24);
    MessageBoxWatcher watcher;
    EXPECT_EQ(ctrl->ReadAllSettings(nullptr), -67);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    const QStringList lines = watcher.boxes[0].text.split(u'\n');
    ASSERT_EQ(lines.size(), 2) << watcher.boxes[0].text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("A communication error occurred."));
    EXPECT_TRUE(lines[1].contains(QLatin1String("printer information library")))
        << lines[1].toStdString();
    EXPECT_EQ(clock.sleeps, 0); // no attempts without a connection
    EXPECT_EQ(frame.reported, (std::vector<int>{0, 50, 100}));
}

TEST_F(PrinterInfoBinding, MissingLibrary)
{
    EXPECT_EQ(Bind("nowhere"), -24);
    EXPECT_FALSE(ctrl->Page()->Library().IsLoaded());
}

} // namespace

namespace {

// The read through the real main frame and its progress dialog.
TEST_F(PrinterSettingPage, ReadBehindTheRealProgressDialog)
{
    CMainFrame mainFrame(app.state.get());
    ctrl = std::make_unique<CPrinterSettingViewCtrl>();
    ASSERT_EQ(ctrl->Initialize(app.state.get(), &mainFrame, &parent), 0);
    ASSERT_EQ(app.dataMgr.AddBlock(0x10001, 0x10000, 992), 0);
    ASSERT_EQ(ctrl->InitSettingData(0x10001), 0);
    ctrl->Page()->SetCheckClock(clock.Make());
    PluginControl('c')->readResult = 0;

    MessageBoxWatcher watcher;
    EXPECT_EQ(ctrl->ReadAllSettings(&entries), 0);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text,
              QStringLiteral("Could not get some settings from the printer."));
    // The warning is owned by the frame's progress dialog.
    EXPECT_EQ(watcher.boxes[0].ownerClass, QStringLiteral("CCommStateDlg"));
    EXPECT_EQ(mainFrame.ProgressDialog(), nullptr); // gone with the job
    EXPECT_EQ(app.dataMgr.SaveEnabled(), 0);
    PrinterInfoBlock block;
    ASSERT_TRUE(ctrl->ReadPrinterInfo(&block));
    EXPECT_EQ(Text(block, PrinterInfoText::ModelName), QStringLiteral("QP-R60"));
    ctrl.reset();
}

} // namespace
