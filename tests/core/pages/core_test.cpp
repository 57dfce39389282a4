// Window-free parts of the page base: block headers and setting data, the communication
// timing, the worker thread, the printer check and the read of all settings.
#include "pages/comm_timing.h"
#include "pages/job_thread.h"
#include "pages/plugin_data_mgr.h"
#include "pages/printer_check.h"
#include "pages/printer_info_library.h"
#include "pages/read_all_settings.h"
#include "pages/setting_data.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstring>
#include <deque>

namespace {

// --- Block header and setting data -------------------------------------------------------

TEST(SettingData, BlockHeaderBytes)
{
    DataBlockHeader header;
    std::memset(&header, 0xAB, sizeof(header));
    MakeBlockHeader(&header, 0x10001, 0x10000, 992);
    const unsigned char expected[32] = {'P',  'N',  'D',  0,    0x01, 0x00, 0x01, 0x00,
                                        0x00, 0x00, 0x01, 0x00, 0xE0, 0x03, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(&header, expected, sizeof(expected)), 0);
    MakeBlockHeader(nullptr, 1, 2, 3); // ignored, no crash
}

TEST(SettingData, SetWritesSizeIntoTheCallersHeaderAndMissingBlockChangesNothing)
{
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.AddBlock(0x20002, 0x10000, 40), 0);
    std::vector<unsigned char> data(48, 0x5A);
    MakeBlockHeader(reinterpret_cast<DataBlockHeader*>(data.data()), 0x20002, 0x10000, 0);
    EXPECT_EQ(SetSettingDataById(&mgr, 0x20002, data.data(), 48), 0);
    uint32_t sizeField = 0;
    std::memcpy(&sizeField, data.data() + 12, 4);
    EXPECT_EQ(sizeField, 48u);
    EXPECT_EQ(mgr.BlockSize(0x20002), 48);

    EXPECT_EQ(SetSettingDataById(&mgr, 0x30003, data.data(), 48), -1);
    EXPECT_EQ(mgr.BlockCount(), 1);
    EXPECT_EQ(SetSettingDataById(nullptr, 0x20002, data.data(), 48), -1);
}

TEST(SettingData, GetCopiesOnlyTheBuffersSize)
{
    PluginDataMgr mgr;
    ASSERT_EQ(mgr.AddBlock(0x20002, 0x10000, 40), 0);
    std::vector<unsigned char> data(40, 0x11);
    ASSERT_EQ(SetSettingDataById(&mgr, 0x20002, data.data(), 40), 0);
    std::vector<unsigned char> small(36, 0xEE);
    small.resize(38, 0xEE);
    EXPECT_EQ(GetSettingDataById(&mgr, 0x20002, small.data(), 36), 0);
    EXPECT_EQ(small[35], 0x11);
    EXPECT_EQ(small[36], 0xEE); // beyond the given size: untouched
    EXPECT_EQ(GetSettingDataById(&mgr, 0x99, small.data(), 36), -1);
}

// --- Communication timing ----------------------------------------------------------------

void SetDescription(AppState& state, const char16_t* text)
{
    char* at = reinterpret_cast<char*>(&state.portInfo) + 3160;
    std::memcpy(at, text, (std::char_traits<char16_t>::length(text) + 1) * sizeof(char16_t));
}

TEST(CommTiming, WirelessNetworkPrinterGetsTheLongTime)
{
    auto state = std::make_unique<AppState>();
    std::memset(state.get(), 0, sizeof(AppState));
    state->portType = PortTypeEthernet;
    SetDescription(*state, u"QP-R60 RW-K adapter");
    CommTiming timing = CommonCommTiming(state.get());
    EXPECT_EQ(timing.timeMs, 15000);
    EXPECT_EQ(timing.attempts, 30);
    EXPECT_EQ(timing.pauseMs, 1000);

    SetDescription(*state, u"Wi-Fi");
    EXPECT_EQ(CommonCommTiming(state.get()).timeMs, 15000);
    SetDescription(*state, u"wi-fi"); // the test is case-sensitive
    EXPECT_EQ(CommonCommTiming(state.get()).timeMs, 1000);
    SetDescription(*state, u"Wired LAN");
    EXPECT_EQ(CommonCommTiming(state.get()).timeMs, 1000);

    // The same text on a serial port does not count.
    SetDescription(*state, u"Wi-Fi");
    state->portType = PortTypeSerial;
    EXPECT_EQ(CommonCommTiming(state.get()).timeMs, 1000);
    EXPECT_EQ(CommonCommTiming(nullptr).timeMs, 1000);
}

TEST(CommTiming, DescriptionWithoutTerminatorIsReadToItsLimit)
{
    auto state = std::make_unique<AppState>();
    std::memset(state.get(), 'A', sizeof(AppState)); // 0x4141 units everywhere
    EXPECT_EQ(PortDescriptionText(state->portInfo).size(), 259);
}

// --- Worker thread -----------------------------------------------------------------------

TEST(JobThread, RunsOnlyAfterResumeAndKeepsTheExitCode)
{
    JobThread thread;
    std::atomic<bool> ran{false};
    ASSERT_TRUE(thread.Create([&] {
        ran = true;
        return 42;
    }));
    EXPECT_NE(thread.ThreadId(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(ran.load());
    int code = 0;
    EXPECT_FALSE(thread.ExitCode(&code));
    EXPECT_EQ(thread.Resume(), 1);
    EXPECT_EQ(thread.Resume(), 0); // already resumed
    ASSERT_EQ(qpu_event_wait(thread.DoneEvent(), 5000), 1);
    ASSERT_TRUE(thread.ExitCode(&code));
    EXPECT_EQ(code, 42);
    EXPECT_TRUE(ran.load());
    EXPECT_FALSE(thread.Terminate(-24)); // too late
}

TEST(JobThread, TerminatedBeforeResumeNeverRunsTheRoutine)
{
    JobThread thread;
    bool ran = false;
    ASSERT_TRUE(thread.Create([&] {
        ran = true;
        return 1;
    }));
    EXPECT_TRUE(thread.Terminate(-24));
    EXPECT_EQ(thread.Resume(), 0);
    ASSERT_EQ(qpu_event_wait(thread.DoneEvent(), 5000), 1);
    int code = 0;
    ASSERT_TRUE(thread.ExitCode(&code));
    EXPECT_EQ(code, -24);
    thread.Join();
    EXPECT_FALSE(ran);
}

TEST(JobThread, RunsBelowTheCreatorsPriority)
{
    JobThread thread;
    std::atomic<int> workerNice{-100};
    ASSERT_TRUE(thread.Create([&] {
        workerNice = ::getpriority(PRIO_PROCESS, 0);
        return 0;
    }));
    ASSERT_TRUE(thread.SetBelowNormalPriority());
    thread.Resume();
    thread.Join();
    const int creatorNice = ::getpriority(PRIO_PROCESS, 0);
    EXPECT_EQ(workerNice.load(), std::min(creatorNice + JobThread::kBelowNormalNiceStep, 19));
}

TEST(JobThread, DestroyingASuspendedThreadEndsIt)
{
    bool ran = false;
    {
        JobThread thread;
        ASSERT_TRUE(thread.Create([&] {
            ran = true;
            return 0;
        }));
    }
    EXPECT_FALSE(ran);
}

// --- Printer check -----------------------------------------------------------------------

// A printer that answers from a script, on a clock that moves only when asked.
class ScriptedPrinter : public IPrinterIdentity
{
public:
    bool connected = true;
    std::deque<int> nameAnswers; // empty: 1
    std::deque<int> idAnswers;   // empty: 1
    std::deque<int> idValues;    // written into *deviceId; empty: 96 on success, 0 otherwise
    std::string name = "QP-R60";
    qint64 now = 1000;
    int secondsPerCall = 0;
    std::vector<int> sleeps;

    bool HasConnection() const override { return connected; }
    int32_t GetPrinterName(char* buffer, int32_t size) override
    {
        now += secondsPerCall;
        const int answer = Next(nameAnswers);
        // A failing library may leave rubbish behind; it must not count as a name.
        std::strncpy(buffer, answer == 1 ? name.c_str() : "rubbish", static_cast<size_t>(size));
        return answer;
    }
    int32_t GetDeviceID(int32_t* deviceId) override
    {
        EXPECT_EQ(*deviceId, 0); // zero beforehand
        now += secondsPerCall;
        const int answer = Next(idAnswers);
        *deviceId = idValues.empty() ? (answer == 1 ? 96 : 0) : Take(idValues);
        return answer;
    }
    CheckClock Clock()
    {
        CheckClock clock;
        clock.nowSeconds = [this] { return now; };
        clock.sleep = [this](int ms) {
            sleeps.push_back(ms);
            now += ms / 1000;
        };
        return clock;
    }

private:
    static int Take(std::deque<int>& queue)
    {
        const int value = queue.front();
        queue.pop_front();
        return value;
    }
    static int Next(std::deque<int>& queue) { return queue.empty() ? 1 : Take(queue); }
};

CommTiming PageTiming()
{
    return CommTiming{100, 20, 1000};
}

TEST(PrinterCheck, AnsweringPrinterPassesAtOnce)
{
    ScriptedPrinter printer;
    const PrinterCheckResult check = RunPrinterCheck(&printer, PageTiming(), printer.Clock());
    EXPECT_EQ(check.result, 1);
    EXPECT_EQ(check.printerName, "QP-R60");
    EXPECT_EQ(check.deviceId, 96);
    EXPECT_EQ(check.nameCalls, 1);
    EXPECT_EQ(check.deviceIdCalls, 1);
    EXPECT_TRUE(printer.sleeps.empty());
}

TEST(PrinterCheck, NoConnectionFailsWithoutAsking)
{
    ScriptedPrinter printer;
    printer.connected = false;
    const PrinterCheckResult check = RunPrinterCheck(&printer, PageTiming(), printer.Clock());
    EXPECT_EQ(check.result, -24);
    EXPECT_EQ(check.nameCalls, 0);
    EXPECT_EQ(RunPrinterCheck(nullptr, PageTiming(), printer.Clock()).result, -24);
}

TEST(PrinterCheck, SilentPrinterIsAskedTwentyTimesWithPausesBetween)
{
    ScriptedPrinter printer;
    printer.nameAnswers.assign(100, 0);
    const PrinterCheckResult check = RunPrinterCheck(&printer, PageTiming(), printer.Clock());
    EXPECT_EQ(check.result, -64);
    EXPECT_EQ(check.nameCalls, 20);
    EXPECT_EQ(check.deviceIdCalls, 0);
    EXPECT_EQ(printer.sleeps, std::vector<int>(19, 1000));
    EXPECT_TRUE(check.printerName.isEmpty());
}

TEST(PrinterCheck, SlowPrinterRunsOutOfTheFortyFiveSeconds)
{
    ScriptedPrinter printer;
    printer.nameAnswers.assign(100, 0);
    printer.secondsPerCall = 4; // each failed call takes 4 s, each pause 1 s
    const PrinterCheckResult check = RunPrinterCheck(&printer, PageTiming(), printer.Clock());
    EXPECT_EQ(check.result, -64);
    // 9 calls and 8 pauses take 44 s; the 10th call ends at 49 s, more than 45.
    EXPECT_EQ(check.nameCalls, 10);
}

TEST(PrinterCheck, NameAfterSomeFailuresThenDeviceId)
{
    ScriptedPrinter printer;
    printer.nameAnswers = {0, 0, 1};
    const PrinterCheckResult check = RunPrinterCheck(&printer, PageTiming(), printer.Clock());
    EXPECT_EQ(check.result, 1);
    EXPECT_EQ(check.nameCalls, 3);
    EXPECT_EQ(printer.sleeps.size(), 2u);
}

TEST(PrinterCheck, DeviceIdFailingTwentyTimesGivesTheLastAnswer)
{
    ScriptedPrinter printer;
    printer.idAnswers.assign(19, 0);
    printer.idAnswers.push_back(7);
    const PrinterCheckResult check = RunPrinterCheck(&printer, PageTiming(), printer.Clock());
    EXPECT_EQ(check.result, 7);
    EXPECT_EQ(check.deviceIdCalls, 20);
    EXPECT_EQ(check.printerName, "QP-R60");
    EXPECT_EQ(check.deviceId, 0);
}

TEST(PrinterCheck, DeviceIdTimeCountsFromTheStartOfTheCheck)
{
    ScriptedPrinter printer;
    printer.nameAnswers.assign(15, 0); // 15 failures: 15 calls, 15 pauses = 45 s with 2 s calls
    printer.secondsPerCall = 2;
    printer.idAnswers.assign(100, 0);
    printer.idValues.assign(100, -1);
    const PrinterCheckResult check = RunPrinterCheck(&printer, PageTiming(), printer.Clock());
    EXPECT_EQ(check.result, -64);
    EXPECT_EQ(check.nameCalls, 16);
    EXPECT_EQ(check.deviceIdCalls, 1); // 47 s + 2 s: over the limit after the first call
    EXPECT_EQ(check.deviceId, -1);
}

// --- Read of all settings ----------------------------------------------------------------

struct ReadLog
{
    std::vector<int> progress;
    std::vector<int> warnings;
    std::vector<int> pluginCalls;
};

ReadAllSettingsSteps Steps(ReadLog& log, PluginDataMgr* mgr, std::vector<int> pluginAnswers,
                           PrinterCheckResult check = {1, "QP-R60", 96, 1, 1}, int printerData = 1)
{
    ReadAllSettingsSteps steps;
    steps.reportProgress = [&log](int v) { log.progress.push_back(v); };
    steps.showWarning = [&log](int m) { log.warnings.push_back(m); };
    steps.checkPrinter = [check] { return check; };
    steps.readPrinterData = [printerData] { return printerData; };
    for (size_t i = 0; i < pluginAnswers.size(); ++i) {
        const int answer = pluginAnswers[i];
        steps.pluginReads.emplace_back([&log, i, answer] {
            log.pluginCalls.push_back(static_cast<int>(i));
            return answer;
        });
    }
    steps.dataMgr = mgr;
    return steps;
}

TEST(ReadAllSettings, ThreePluginsGiveTheFiveSteps)
{
    ReadLog log;
    PluginDataMgr mgr;
    EXPECT_EQ(RunReadAllSettings(Steps(log, &mgr, {1, 1, 1})), 1);
    EXPECT_EQ(log.progress, (std::vector<int>{0, 20, 40, 60, 80, 100, 100}));
    EXPECT_TRUE(log.warnings.empty());
    EXPECT_EQ(mgr.SaveEnabled(), 1);
}

TEST(ReadAllSettings, WithoutPluginsAndWithSevenTheValuesAreIntegerDivisions)
{
    ReadLog none;
    EXPECT_EQ(RunReadAllSettings(Steps(none, nullptr, {})), 1);
    EXPECT_EQ(none.progress, (std::vector<int>{0, 50, 100, 100}));
    ReadLog seven;
    RunReadAllSettings(Steps(seven, nullptr, std::vector<int>(7, 1)));
    EXPECT_EQ(seven.progress, (std::vector<int>{0, 11, 22, 33, 44, 55, 66, 77, 88, 100, 100}));
}

TEST(ReadAllSettings, StopAnswerEndsTheLoopAndKeepsSavingDisabled)
{
    ReadLog log;
    PluginDataMgr mgr;
    EXPECT_EQ(RunReadAllSettings(Steps(log, &mgr, {1, -64, 1})), -64);
    EXPECT_EQ(log.pluginCalls, (std::vector<int>{0, 1}));
    EXPECT_EQ(log.progress, (std::vector<int>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(log.warnings, (std::vector<int>{2}));
    EXPECT_EQ(mgr.SaveEnabled(), 0);
}

TEST(ReadAllSettings, OtherFailureGoesOnButAnswersTheLastResult)
{
    ReadLog log;
    PluginDataMgr mgr;
    // A plug-in that fails does not stop the others; the answer is the last plug-in's.
    EXPECT_EQ(RunReadAllSettings(Steps(log, &mgr, {-5, 1})), 1);
    EXPECT_EQ(log.pluginCalls, (std::vector<int>{0, 1}));
    EXPECT_EQ(log.warnings, (std::vector<int>{2}));
    EXPECT_EQ(mgr.SaveEnabled(), 0);

    ReadLog infoFailed;
    EXPECT_EQ(RunReadAllSettings(Steps(infoFailed, &mgr, {}, {1, "QP-R60", 96, 1, 1}, -24)), -24);
    EXPECT_EQ(infoFailed.warnings, (std::vector<int>{2}));
    EXPECT_EQ(mgr.SaveEnabled(), 0);
}

TEST(ReadAllSettings, FailedCheckChoosesItsMessage)
{
    // Silent printer: no name.
    ReadLog silent;
    PluginDataMgr mgr;
    EXPECT_EQ(RunReadAllSettings(Steps(silent, &mgr, {1}, {-64, "", 0, 20, 0})), -67);
    EXPECT_EQ(silent.warnings, (std::vector<int>{1}));
    EXPECT_EQ(silent.progress, (std::vector<int>{0, 33, 100}));
    EXPECT_TRUE(silent.pluginCalls.empty());
    // The name was read, the device ID is missing: another model.
    ReadLog noId;
    EXPECT_EQ(RunReadAllSettings(Steps(noId, &mgr, {1}, {0, "QP-R60", 0, 1, 20})), -67);
    EXPECT_EQ(noId.warnings, (std::vector<int>{0}));
    // The name was read, the device ID query failed otherwise.
    ReadLog idFailed;
    EXPECT_EQ(RunReadAllSettings(Steps(idFailed, &mgr, {1}, {0, "QP-R60", -1, 1, 20})), -67);
    EXPECT_EQ(idFailed.warnings, (std::vector<int>{1}));
    // No library connection.
    ReadLog unbound;
    EXPECT_EQ(RunReadAllSettings(Steps(unbound, &mgr, {}, {-24, "", 0, 0, 0})), -67);
    EXPECT_EQ(unbound.warnings, (std::vector<int>{1}));
    EXPECT_EQ(mgr.SaveEnabled(), 0);
}

TEST(ReadAllSettings, AnotherModelIsRefused)
{
    ReadLog log;
    PluginDataMgr mgr;
    EXPECT_EQ(RunReadAllSettings(Steps(log, &mgr, {1}, {1, "QP-R61", 96, 1, 1})), -67);
    EXPECT_EQ(log.warnings, (std::vector<int>{0}));
    EXPECT_EQ(log.progress, (std::vector<int>{0, 33, 100}));
    EXPECT_TRUE(log.pluginCalls.empty());
}

TEST(ReadAllSettings, DriverStartModesAcceptTheSeries)
{
    EXPECT_TRUE(IsServedPrinter(QStringLiteral("QP-R60"), 0));
    EXPECT_FALSE(IsServedPrinter(QStringLiteral("QP-R60II"), 0));
    EXPECT_FALSE(IsServedPrinter(QStringLiteral("qp-r60"), 0));
    EXPECT_FALSE(IsServedPrinter(QStringLiteral("QP-R60 "), 3));
    EXPECT_TRUE(IsServedPrinter(QStringLiteral("QP-R60II"), 100));
    EXPECT_TRUE(IsServedPrinter(QStringLiteral("QP-R60 Series"), 110));
    EXPECT_FALSE(IsServedPrinter(QStringLiteral("QP-R61"), 100));

    ReadLog log;
    ReadAllSettingsSteps steps = Steps(log, nullptr, {}, {1, "QP-R60II", 96, 1, 1});
    EXPECT_EQ(RunReadAllSettings(steps), -67);
    steps.startMode = 100;
    EXPECT_EQ(RunReadAllSettings(steps), 1);
}

TEST(ReadAllSettings, PrinterNameIsDecodedFromCodePage437)
{
    // 0x8E is 'Ä' in code page 437: the name is compared as text, not as bytes.
    ReadLog log;
    EXPECT_EQ(RunReadAllSettings(Steps(log, nullptr, {}, {1, "QP-R60\x8E", 96, 1, 1})), -67);
    EXPECT_EQ(log.warnings, (std::vector<int>{0}));
}

} // namespace
