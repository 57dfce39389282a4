// The plug-in SDK: printer command bytes and answer parsing, language texts, the data
// manager table, and the job runner of the page base.
#include "plugin_harness.h"

#include "pages/plugin_data_mgr_api.h"

#include <qpu/plugin_sdk/data_blocks.h>
#include <qpu/plugin_sdk/lang_texts.h>
#include <qpu/plugin_sdk/page_base.h>
#include <qpu/plugin_sdk/printer_link.h>
#include <qpu/shipped_blocks.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

namespace {

using namespace qpu::sdk;
using qpr60test::hexBytes;

TEST(PrinterCommands, UserSettingFrames)
{
    EXPECT_EQ(commands::EnterUserSettingMode(), hexBytes("1D 28 45 03 00 01 49 4E"));
    EXPECT_EQ(commands::LeaveUserSettingMode(), hexBytes("1D 28 45 04 00 02 4F 55 54"));
    EXPECT_EQ(commands::SetCustomValue(5, 0x1234), hexBytes("1D 28 45 04 00 05 05 34 12"));
    EXPECT_EQ(commands::SetCustomValue(6, 3), hexBytes("1D 28 45 04 00 05 06 03 00"));
    EXPECT_EQ(commands::TransmitCustomValue(5), hexBytes("1D 28 45 02 00 06 05"));
    EXPECT_EQ(commands::TransmitMemorySwitch(8), hexBytes("1D 28 45 02 00 04 08"));
    // Bit 1 first; kept bits go out as '2'.
    EXPECT_EQ(commands::SetMemorySwitch(1, 0x81),
              hexBytes("1D 28 45 0A 00 03 01 31 30 30 30 30 30 30 31"));
    EXPECT_EQ(commands::SetMemorySwitch(2, 0x01, 0xF0),
              hexBytes("1D 28 45 0A 00 03 02 31 30 30 30 32 32 32 32"));
}

TEST(PrinterCommands, CustomValueAnswers)
{
    int32_t value = -1;
    EXPECT_TRUE(ParseCustomValueAnswer(hexBytes("37 27 35 1F 31 30 30 00"), 5, &value));
    EXPECT_EQ(value, 100);
    EXPECT_TRUE(ParseCustomValueAnswer(hexBytes("37 27 36 1F 30 00"), 6, &value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(ParseCustomValueAnswer(hexBytes("37 27 36 1F 36 35 35 33 35 00"), 6, &value));
    EXPECT_EQ(value, 65535);
    value = 7;
    // The answer to another number, a value beyond 16 bits, no digits, no separator, no
    // terminator, a wrong header, and letters: all refused, the value untouched.
    for (const char* bad : {"37 27 36 1F 31 00", "37 27 35 1F 36 35 35 33 36 00", "37 27 35 1F 00",
                            "37 27 35 31 30 30 00", "37 27 35 1F 31 30 30", "37 21 35 1F 31 00",
                            "37 27 35 1F 31 41 00", "37 27 1F 31 00", ""}) {
        EXPECT_FALSE(ParseCustomValueAnswer(hexBytes(bad), 5, &value)) << bad;
    }
    EXPECT_EQ(value, 7);
}

TEST(PrinterCommands, MemorySwitchAnswers)
{
    uint8_t bits = 0;
    EXPECT_TRUE(ParseMemorySwitchAnswer(hexBytes("37 21 31 30 30 30 30 30 30 31 00"), &bits));
    EXPECT_EQ(bits, 0x81);
    for (const char* bad :
         {"37 21 31 30 30 30 30 30 30 00", "37 21 31 30 30 30 30 30 30 32 00",
          "37 21 31 30 30 30 30 30 30 31 31", "37 27 31 30 30 30 30 30 30 31 00"}) {
        EXPECT_FALSE(ParseMemorySwitchAnswer(hexBytes(bad), &bits)) << bad;
    }
}

TEST(PrinterCommands, UnboundLibraryAnswersMinus24)
{
    PrinterLink none(nullptr);
    int32_t value = 0;
    EXPECT_FALSE(none.Bound());
    EXPECT_EQ(none.ReadCustomValue(5, &value), kPrinterNotBound);
    EXPECT_EQ(none.Send({1, 2}), kPrinterNotBound);
    CommLibTable empty{};
    EXPECT_EQ(PrinterLink(&empty).EnterUserSettingMode(), kPrinterNotBound);
    uint8_t bits = 0;
    EXPECT_EQ(PrinterLink(&empty).ReadMemorySwitch(9, &bits), kPrinterBadArgument);
}

// A stand-in library whose Read hands out scripted bytes, a few at a time.
struct ScriptedReads
{
    static inline qpu::sdk::Bytes pending;
    static inline qpu::sdk::Bytes written;
    static int32_t Write(const uint8_t* data, uint32_t length, uint32_t* done)
    {
        written.insert(written.end(), data, data + length);
        *done = length;
        return QPC_OK;
    }
    static int32_t Read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t)
    {
        if (pending.empty())
            return QPC_ERR_TIMEOUT;
        const uint32_t n = std::min<uint32_t>({capacity, 3u, uint32_t(pending.size())});
        std::copy_n(pending.begin(), n, buffer);
        pending.erase(pending.begin(), pending.begin() + n);
        *received = n;
        return QPC_OK;
    }
    static int32_t Purge() { return QPC_OK; }
    static CommLibTable Table()
    {
        CommLibTable table{};
        table.module = &pending;
        table.Write = Write;
        table.Read = Read;
        table.Purge = Purge;
        return table;
    }
};

TEST(PrinterCommands, StaleBytesBeforeTheAnswerAreSkippedButABrokenAnswerIsNot)
{
    CommLibTable table = ScriptedReads::Table();
    PrinterLink link(&table, 200);
    int32_t value = 0;
    ScriptedReads::pending = hexBytes("FF 00 31 00 37 27 35 1F 31 32 30 00");
    EXPECT_EQ(link.ReadCustomValue(5, &value), kPrinterOk);
    EXPECT_EQ(value, 120);
    EXPECT_EQ(ScriptedReads::written, hexBytes("1D 28 45 02 00 06 05"));
    ScriptedReads::pending = hexBytes("37 27 35 1F 37 27 35 1F 39 00");
    EXPECT_EQ(link.ReadCustomValue(5, &value), kPrinterOk) << "half answer glued in front";
    EXPECT_EQ(value, 9);
    ScriptedReads::pending = hexBytes("37 28 35 1F 31 00");
    EXPECT_EQ(link.ReadCustomValue(5, &value), kPrinterNoAnswer);
    ScriptedReads::pending = hexBytes("37 27 35 1F 31 32");
    EXPECT_EQ(link.ReadCustomValue(5, &value), kPrinterNoAnswer) << "no terminator";
    ScriptedReads::pending = qpu::sdk::Bytes(300, 0x80);
    EXPECT_EQ(link.ReadCustomValue(5, &value), kPrinterNoAnswer) << "endless garbage";
    ScriptedReads::pending = hexBytes("37 20 00");
    EXPECT_EQ(link.EnterUserSettingMode(), kPrinterOk);
    ScriptedReads::pending = hexBytes("37 20 01 00");
    EXPECT_EQ(link.EnterUserSettingMode(), kPrinterNoAnswer);
    EXPECT_EQ(value, 9);
}

class PrinterLinkOverEmulator : public ::testing::Test
{
protected:
    void Start(std::vector<std::string> args)
    {
        ASSERT_TRUE(printer.start(args)) << printer.error();
        ASSERT_TRUE(host.ConnectPrinter(printer));
    }
    qpr60test::EmulatorProcess printer;
    plugintest::Host host;
};

TEST_F(PrinterLinkOverEmulator, ReadsAndWritesValues)
{
    Start({"--tcp", "127.0.0.1:0", "--restart-ms", "100"});
    PrinterLink link(host.State().commLib, 800);
    int32_t value = 0;
    ASSERT_EQ(link.ReadCustomValue(5, &value), kPrinterOk);
    EXPECT_EQ(value, 100);
    printer.control("memsw 3 10100000");
    uint8_t bits = 0;
    ASSERT_EQ(link.ReadMemorySwitch(3, &bits), kPrinterOk);
    EXPECT_EQ(bits, 0x05);
    ASSERT_EQ(link.InUserSettingMode([&] { return link.WriteCustomValue(7, 513); }, 5000),
              kPrinterOk);
    EXPECT_EQ(printer.control("custom 7"), "OK 513");
}

TEST_F(PrinterLinkOverEmulator, StrictPrinterIsReadInsideTheUserSettingMode)
{
    Start({"--tcp", "127.0.0.1:0", "--strict-user-mode", "--restart-ms", "100"});
    printer.control("custom 6 9");
    PrinterLink link(host.State().commLib, 500);
    int32_t value = 0;
    ASSERT_EQ(
        link.ReadAllowingUserSettingMode([&] { return link.ReadCustomValue(6, &value); }, 5000),
        kPrinterOk);
    EXPECT_EQ(value, 9);
    // The mode was entered and left again (the printer restarted, so it prints again).
    const std::string log = qpr60test::hexText(printer.receivedBytes());
    EXPECT_NE(log.find("1D 28 45 03 00 01 49 4E"), std::string::npos);
    EXPECT_NE(log.find("1D 28 45 04 00 02 4F 55 54"), std::string::npos);
}

TEST_F(PrinterLinkOverEmulator, ALostEnterAnswerStillLeavesTheUserSettingMode)
{
    Start({"--tcp", "127.0.0.1:0", "--strict-user-mode", "--restart-ms", "100"});
    PrinterLink link(host.State().commLib, 400);
    printer.control("truncate on");
    bool worked = false;
    EXPECT_EQ(link.InUserSettingMode(
                  [&] {
                      worked = true;
                      return kPrinterOk;
                  },
                  5000),
              kPrinterNoAnswer);
    EXPECT_FALSE(worked);
    printer.control("truncate off");
    const std::string log = qpr60test::hexText(printer.receivedBytes());
    const auto enter = log.find("1D 28 45 03 00 01 49 4E");
    ASSERT_NE(enter, std::string::npos);
    EXPECT_NE(log.find("1D 28 45 04 00 02 4F 55 54", enter), std::string::npos)
        << "the printer entered the mode and nobody took it out: " << log;
    // Out of the mode again, a strict printer no longer answers setting requests.
    ASSERT_EQ(link.WaitUntilAnswering(5000), kPrinterOk);
    int32_t value = 0;
    EXPECT_EQ(link.ReadCustomValue(5, &value), kPrinterNoAnswer);
}

TEST_F(PrinterLinkOverEmulator, GarbageAndSilenceAreNoAnswer)
{
    Start({"--tcp", "127.0.0.1:0"});
    PrinterLink link(host.State().commLib, 400);
    int32_t value = 55;
    printer.control("garbage on");
    EXPECT_EQ(link.ReadCustomValue(5, &value), kPrinterNoAnswer);
    printer.control("garbage off");
    printer.control("truncate on");
    EXPECT_EQ(link.ReadCustomValue(5, &value), kPrinterNoAnswer);
    printer.control("truncate off");
    printer.control("silent on");
    EXPECT_EQ(link.EnterUserSettingMode(), kPrinterNoAnswer);
    EXPECT_EQ(value, 55);
    printer.control("silent off");
    // The library's own status requests may still wait for their time-out.
    PrinterLink patient(host.State().commLib, 3000);
    ASSERT_EQ(patient.ReadCustomValue(5, &value), kPrinterOk)
        << std::hex << patient.LastLibraryResult() << " "
        << qpr60test::hexText(patient.LastAnswer());
    EXPECT_EQ(value, 100);
}

TEST(LangTexts, ReadsUtf16AndUtf8FilesWithCommonTextsAndFallbacks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QFile en(dir.filePath("0409.DAT"));
        ASSERT_TRUE(en.open(QIODevice::WriteOnly));
        en.write("[CMN_STR]\nCMN_PORT_4=Port:\n[PAGE_STR]\nA_0=Zero\nB_1=]CMN_STR_4\n"
                 "C_2=Two\\nLines\nBAD=NoNumber\nD_3=a||b\n[page_str]\nA_0=Second section\n");
    }
    {
        QFile ja(dir.filePath("0411.DAT"));
        ASSERT_TRUE(ja.open(QIODevice::WriteOnly));
        const QString text = QStringLiteral("[PAGE_STR]\r\nA_0=\u6e96\u5099\r\n");
        ja.write("\xFF\xFE");
        ja.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    }
    LangTexts texts;
    ASSERT_EQ(texts.Load(dir.path(), 0x0409, {"PAGE"}), LangTexts::kLoadedRequested);
    EXPECT_EQ(texts.String("PAGE", 0, "x"), "Zero");
    EXPECT_EQ(texts.String("PAGE", 1, "x"), "Port:");
    EXPECT_EQ(texts.String("PAGE", 2, "x"), "Two\nLines");
    EXPECT_EQ(texts.String("PAGE", 3, "fallback"), "fallback");
    EXPECT_EQ(texts.String("PAGE", 9, "fallback"), "fallback");
    EXPECT_EQ(texts.Message("PAGE", 0, "none"), "none");

    ASSERT_EQ(texts.Load(dir.path(), 0x0411, {"PAGE"}), LangTexts::kLoadedRequested);
    EXPECT_EQ(texts.String("PAGE", 0, "x"), QStringLiteral("\u6e96\u5099"));
    EXPECT_EQ(texts.String("PAGE", 1, "English"), "English");

    ASSERT_EQ(texts.Load(dir.path(), 0x0407, {"PAGE"}), LangTexts::kLoadedFallback);
    EXPECT_EQ(texts.String("PAGE", 0, "x"), "Zero");
    EXPECT_EQ(texts.Load(dir.path() + "/missing", 0x0409, {"PAGE"}), LangTexts::kNoFile);
    EXPECT_EQ(texts.String("PAGE", 0, "compiled in"), "compiled in");
}

TEST(LangTexts, ShippedFilesHaveEveryPageTextInEveryLanguage)
{
    const QString folder = QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG");
    const auto english = ReadLangFile(folder + "/0409.DAT");
    for (const char* lang : {"0407", "0411"}) {
        const auto other = ReadLangFile(folder + "/" + lang + ".DAT");
        for (const char* section :
             {"PLUGIN_PAGE_STR", "PRINT_SETTINGS_PAGE_STR", "MEMORY_SWITCH_PAGE_STR",
              "PRINTER_INFO_PAGE_STR", "PRINTER_INFO_PAGE_MSG", "MENU_ITEM_STR"}) {
            ASSERT_TRUE(english.count(section)) << section;
            ASSERT_TRUE(other.count(section)) << lang << " " << section;
            for (const auto& [number, text] : english.at(section)) {
                ASSERT_TRUE(other.at(section).count(number))
                    << lang << " " << section << " " << number;
                // Placeholders stay, in the same number.
                EXPECT_EQ(other.at(section).at(number).count("%d"), text.count("%d"))
                    << lang << " " << section << " " << number;
            }
        }
    }
}

TEST(DataMgrApi, TablePublishedByTheHostReachesTheStore)
{
    const QpuDataMgrApi* api = FindDataMgrApi();
    ASSERT_NE(api, nullptr) << "the test program exports " QPU_DATA_MGR_API_SYMBOL;
    EXPECT_EQ(api, &PluginDataMgrApi::Table());
    EXPECT_EQ(api->structSize, sizeof(QpuDataMgrApi));
    PluginDataMgr mgr;
    AppState state{};
    state.dataMgr = &mgr;
    const DataBlocks blocks(&state);
    ASSERT_TRUE(blocks.Available());
    EXPECT_EQ(blocks.Find(0x10005), -1);
    EXPECT_EQ(blocks.Add(0x10005, 0x10000, 32), -5);
    ASSERT_EQ(blocks.Add(0x10005, 0x10000, 152), 0);
    PrintSettingsBlock block{};
    MakeBlockHeader(&block.header, 0x10005, 0x10000, 0);
    block.printDensity = 120;
    ASSERT_EQ(blocks.Write(0x10005, &block), 0);
    EXPECT_EQ(blocks.Size(0x10005), 152);
    PrintSettingsBlock back{};
    ASSERT_EQ(blocks.Read(0x10005, &back), 0);
    EXPECT_EQ(back.printDensity, 120);
    EXPECT_EQ(back.header.totalSize, 152u);
    // A stored block shorter than the layout is not taken for one.
    ASSERT_EQ(blocks.Add(0x10007, 0x10000, 40), 0);
    MemorySwitchBlock shortBlock{};
    EXPECT_EQ(blocks.Read(0x10007, &shortBlock), -1);
    // No handle, no table: every call says so.
    EXPECT_EQ(DataBlocks(nullptr).Find(1), kDataMgrUnavailable);
    EXPECT_EQ(DataBlocks(&state, nullptr).Find(1), kDataMgrUnavailable);
    EXPECT_EQ(api->FindBlock(nullptr, 1), -3);
}

class TestPage : public PageBase
{
public:
    explicit TestPage(const PluginContext& context) : PageBase(context, "TEST_PAGE") {}
};

class JobRunner : public ::testing::Test
{
protected:
    plugintest::Host host;
    PluginContext Context() { return {&host.Frame(), host.Pane(), &host.State()}; }
};

TEST_F(JobRunner, RunsOnAWorkerWithAppLockHeldAndReportsProgress)
{
    TestPage page(Context());
    const auto uiThread = std::this_thread::get_id();
    std::atomic<bool> otherThread{false};
    std::atomic<int> lockBusy{-1};
    const int32_t rc = page.RunJob([&](JobProgress& progress) {
        otherThread = std::this_thread::get_id() != uiThread;
        // AppLock is held by the page's thread for the whole job.
        std::thread probe([&] {
            const int r = pthread_mutex_trylock(host.AppLock());
            lockBusy = r;
            if (r == 0)
                pthread_mutex_unlock(host.AppLock());
        });
        probe.join();
        progress.Report(0);
        progress.Report(50);
        progress.Report(100);
        return 42;
    });
    EXPECT_EQ(rc, 42);
    EXPECT_TRUE(otherThread);
    EXPECT_EQ(lockBusy, EBUSY);
    EXPECT_EQ(host.Frame().runs, 1);
    EXPECT_EQ(host.Frame().progress, (std::vector<int>{0, 50, 100}));
    // Released afterwards.
    ASSERT_EQ(pthread_mutex_trylock(host.AppLock()), 0);
    pthread_mutex_unlock(host.AppLock());
}

TEST_F(JobRunner, RefusedByStateOrFrame)
{
    TestPage page(Context());
    bool ran = false;
    const auto job = [&](JobProgress&) {
        ran = true;
        return 1;
    };
    for (const int32_t state : {1, 16, -1}) {
        host.Frame().commState = state;
        EXPECT_EQ(page.RunJob(job), kJobPrinterBusy) << state;
    }
    host.Frame().commState = 2; // no status yet: a job may try
    host.Frame().createsProgress = false;
    EXPECT_EQ(page.RunJob(job), kJobRefused);
    EXPECT_FALSE(ran);
    ASSERT_EQ(pthread_mutex_trylock(host.AppLock()), 0);
    pthread_mutex_unlock(host.AppLock());
    TestPage orphan({nullptr, host.Pane(), &host.State()});
    EXPECT_EQ(orphan.RunJob(job), kJobRefused);
}

} // namespace
