// The printer information library: through a scripted stand-in for the communication
// library table (exact requests, answers split over reads, garbage, silence), and through
// the real libQPComm.so against the emulator.
#include "emulator_process.h"

#include <qpu/prtinf.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <dlfcn.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The library's exports, bound by name as the utility binds them.
struct PrtInf
{
    void* module = nullptr;
    PrtInf_Initialize_t initialize = nullptr;
    PrtInf_Finalize_t finalize = nullptr;
    PrtInf_GetPrinterName_t printerName = nullptr;
    PrtInf_GetDeviceID_t deviceId = nullptr;
    PrtInf_GetPrinterInformation_t information = nullptr;
    PrtInf_RegisterCallback_t registerCallback = nullptr;
    PrtInf_UnregisterCallback_t unregisterCallback = nullptr;

    PrtInf()
    {
        module = ::dlopen(QPU_APP_DIR "/libPrtInfMgrDLL.so", RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            return;
        }
        initialize = reinterpret_cast<PrtInf_Initialize_t>(::dlsym(module, "Initialize"));
        finalize = reinterpret_cast<PrtInf_Finalize_t>(::dlsym(module, "Finalize"));
        printerName = reinterpret_cast<PrtInf_GetPrinterName_t>(::dlsym(module, "GetPrinterName"));
        deviceId = reinterpret_cast<PrtInf_GetDeviceID_t>(::dlsym(module, "GetDeviceID"));
        information = reinterpret_cast<PrtInf_GetPrinterInformation_t>(
            ::dlsym(module, "GetPrinterInformation"));
        registerCallback =
            reinterpret_cast<PrtInf_RegisterCallback_t>(::dlsym(module, "RegisterCallback"));
        unregisterCallback =
            reinterpret_cast<PrtInf_UnregisterCallback_t>(::dlsym(module, "UnregisterCallback"));
    }
    ~PrtInf()
    {
        if (module != nullptr) {
            ::dlclose(module);
        }
    }
    bool complete() const
    {
        return initialize && finalize && printerName && deviceId && information &&
               registerCallback && unregisterCallback;
    }
};

// A scripted printer behind the table: each request gets the answer the script gives,
// delivered in chunks of `chunk` bytes per Read.
struct Script
{
    std::mutex mutex;
    std::vector<std::vector<uint8_t>> requests;
    std::deque<uint8_t> pending;
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)> answer;
    std::size_t chunk = 1;
    int purges = 0;
    QPC_StatusProc relay = nullptr;
    void* relayContext = nullptr;
    int unregistered = 0;
};
Script* g_script = nullptr;

int32_t scriptWrite(const uint8_t* data, uint32_t length, uint32_t* written)
{
    std::lock_guard lock(g_script->mutex);
    std::vector<uint8_t> request(data, data + length);
    g_script->requests.push_back(request);
    for (const uint8_t b : g_script->answer(request)) {
        g_script->pending.push_back(b);
    }
    *written = length;
    return QPC_OK;
}

int32_t scriptRead(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t)
{
    std::lock_guard lock(g_script->mutex);
    *received = 0;
    if (g_script->pending.empty()) {
        return QPC_ERR_TIMEOUT;
    }
    while (*received < capacity && *received < g_script->chunk && !g_script->pending.empty()) {
        buffer[(*received)++] = g_script->pending.front();
        g_script->pending.pop_front();
    }
    return QPC_OK;
}

int32_t scriptPurge()
{
    std::lock_guard lock(g_script->mutex);
    ++g_script->purges;
    g_script->pending.clear();
    return QPC_OK;
}

int32_t scriptRegister(QPC_StatusProc proc, void* context)
{
    g_script->relay = proc;
    g_script->relayContext = context;
    return QPC_OK;
}

int32_t scriptUnregister()
{
    ++g_script->unregistered;
    g_script->relay = nullptr;
    return QPC_OK;
}

std::vector<uint8_t> textAnswer(const std::string& text)
{
    std::vector<uint8_t> out(text.size() + 2, 0x00);
    out[0] = 0x5F;
    std::memcpy(out.data() + 1, text.data(), text.size());
    return out;
}

std::vector<uint8_t> printerAnswers(const std::vector<uint8_t>& request)
{
    if (request.size() != 3 || request[0] != 0x1D || request[1] != 0x49) {
        return {};
    }
    switch (request[2]) {
    case 0x41:
        return textAnswer("ESC/VRK-A Ver.1.00");
    case 0x42:
        return textAnswer("VORKA");
    case 0x43:
        return textAnswer("QP-R60");
    case 0x44:
        return textAnswer("QPR6000001");
    case 0x45:
        return textAnswer("South Asia");
    case 0x01:
        return {0x60};
    default:
        return {};
    }
}

class ScriptedTable : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.complete());
        g_script = &script;
        script.answer = printerAnswers;
        table.Write = scriptWrite;
        table.Read = scriptRead;
        table.Purge = scriptPurge;
        table.RegisterDeviceStateCallback = scriptRegister;
        table.UnregisterDeviceStateCallback = scriptUnregister;
        ::setenv("PRTINF_TIMEOUT_MS", "100", 1);
    }
    void TearDown() override { g_script = nullptr; }

    PrtInf lib;
    Script script;
    CommLibTable table{};
};

TEST_F(ScriptedTable, InitializeNeedsReadAndWrite)
{
    EXPECT_EQ(lib.initialize(nullptr), nullptr);
    CommLibTable empty{};
    EXPECT_EQ(lib.initialize(&empty), nullptr);
    PrtInfHandle h = lib.initialize(&table);
    ASSERT_NE(h, nullptr);
    lib.finalize(&h);
    EXPECT_EQ(h, nullptr);
    lib.finalize(&h); // a second Finalize is harmless
    lib.finalize(nullptr);
}

TEST_F(ScriptedTable, FiveTextsFromTheirRequestsSplitIntoSingleBytes)
{
    PrtInfHandle h = lib.initialize(&table);
    PrinterInformation info{};
    info.requestMask = PRTINF_REQUEST_ALL;
    ASSERT_EQ(lib.information(h, &info, 0), PRTINF_OK);
    EXPECT_EQ(info.filledMask, 31);
    EXPECT_STREQ(info.texts[0], "QPR6000001");
    EXPECT_STREQ(info.texts[1], "QP-R60");
    EXPECT_STREQ(info.texts[2], "VORKA");
    EXPECT_STREQ(info.texts[3], "ESC/VRK-A Ver.1.00");
    EXPECT_STREQ(info.texts[4], "South Asia");
    const std::vector<std::vector<uint8_t>> expected = {{0x1D, 0x49, 0x44},
                                                        {0x1D, 0x49, 0x43},
                                                        {0x1D, 0x49, 0x42},
                                                        {0x1D, 0x49, 0x41},
                                                        {0x1D, 0x49, 0x45}};
    EXPECT_EQ(script.requests, expected);
    EXPECT_EQ(script.purges, 5); // each request starts clean
    lib.finalize(&h);
}

TEST_F(ScriptedTable, OnlyRequestedTextsAreRead)
{
    PrtInfHandle h = lib.initialize(&table);
    PrinterInformation info{};
    info.requestMask = 0x02 | 0x08;
    script.chunk = 64;
    ASSERT_EQ(lib.information(h, &info, 0), PRTINF_OK);
    EXPECT_EQ(info.filledMask, 0x0A);
    EXPECT_STREQ(info.texts[0], "");
    EXPECT_STREQ(info.texts[3], "ESC/VRK-A Ver.1.00");
    EXPECT_EQ(script.requests.size(), 2u);
    lib.finalize(&h);
}

TEST_F(ScriptedTable, ATextThatDoesNotComeIsReportedMissing)
{
    script.answer = [](const std::vector<uint8_t>& r) {
        return r[2] == 0x42 ? std::vector<uint8_t>{} : printerAnswers(r);
    };
    PrtInfHandle h = lib.initialize(&table);
    PrinterInformation info{};
    info.requestMask = PRTINF_REQUEST_ALL;
    EXPECT_EQ(lib.information(h, &info, 0), PRTINF_FAILED);
    EXPECT_EQ(info.filledMask, 31 & ~0x04);
    EXPECT_STREQ(info.texts[2], "");
    EXPECT_STREQ(info.texts[4], "South Asia");
    lib.finalize(&h);
}

TEST_F(ScriptedTable, GarbageAndUnterminatedAnswersFail)
{
    PrtInfHandle h = lib.initialize(&table);
    char name[PRTINF_PRINTER_NAME_BYTES] = "x";
    script.answer = [](const std::vector<uint8_t>&) {
        return std::vector<uint8_t>{0x80, 0x81, 0x82, 0x83};
    };
    EXPECT_EQ(lib.printerName(h, name, sizeof name), PRTINF_FAILED);
    EXPECT_STREQ(name, "");
    script.answer = [](const std::vector<uint8_t>&) {
        return std::vector<uint8_t>{0x5F, 'Q', 'P'};
    };
    EXPECT_EQ(lib.printerName(h, name, sizeof name), PRTINF_FAILED);
    script.answer = [](const std::vector<uint8_t>&) {
        std::vector<uint8_t> endless(400, 'A');
        endless[0] = 0x5F;
        return endless;
    };
    script.chunk = 64;
    EXPECT_EQ(lib.printerName(h, name, sizeof name), PRTINF_FAILED);
    lib.finalize(&h);
}

TEST_F(ScriptedTable, PrinterNameIsCutToTheBuffer)
{
    PrtInfHandle h = lib.initialize(&table);
    char name[5] = {};
    ASSERT_EQ(lib.printerName(h, name, sizeof name), PRTINF_OK);
    EXPECT_STREQ(name, "QP-R");
    EXPECT_EQ(lib.printerName(h, nullptr, 5), PRTINF_FAILED);
    EXPECT_EQ(lib.printerName(nullptr, name, 5), PRTINF_FAILED);
    lib.finalize(&h);
}

TEST_F(ScriptedTable, DeviceIdTellsAMissingIdFromAFailure)
{
    PrtInfHandle h = lib.initialize(&table);
    int32_t id = 0;
    ASSERT_EQ(lib.deviceId(h, &id), PRTINF_OK);
    EXPECT_EQ(id, 0x60);
    EXPECT_EQ(script.requests.back(), (std::vector<uint8_t>{0x1D, 0x49, 0x01}));
    script.answer = [](const std::vector<uint8_t>&) { return std::vector<uint8_t>{}; };
    id = 0;
    EXPECT_EQ(lib.deviceId(h, &id), PRTINF_FAILED);
    EXPECT_EQ(id, 0);
    table.Write = [](const uint8_t*, uint32_t, uint32_t*) -> int32_t { return QPC_ERR_IO; };
    EXPECT_EQ(lib.deviceId(h, &id), PRTINF_FAILED);
    EXPECT_EQ(id, PRTINF_DEVICE_ID_FAILED);
    lib.finalize(&h);
}

struct Calls
{
    std::atomic<int> count{0};
    std::atomic<int> last{-1};
    static int32_t proc(int32_t status, void* context)
    {
        auto* self = static_cast<Calls*>(context);
        self->last = status;
        ++self->count;
        return 1;
    }
};

TEST_F(ScriptedTable, CallbacksOfEveryHandleAreRelayedUntilUnregistered)
{
    PrtInfHandle a = lib.initialize(&table);
    PrtInfHandle b = lib.initialize(&table);
    Calls ca;
    Calls cb;
    ASSERT_EQ(lib.registerCallback(a, &Calls::proc, &ca), 1);
    ASSERT_EQ(lib.registerCallback(b, &Calls::proc, &cb), 1);
    ASSERT_NE(script.relay, nullptr);
    script.relay(6, script.relayContext);
    EXPECT_EQ(ca.last, 6);
    EXPECT_EQ(cb.last, 6);
    ASSERT_EQ(lib.unregisterCallback(a), 1);
    EXPECT_EQ(script.unregistered, 0); // b still listens
    script.relay(7, script.relayContext);
    EXPECT_EQ(ca.count, 1);
    EXPECT_EQ(cb.last, 7);
    lib.finalize(&b); // Finalize unregisters too
    EXPECT_EQ(script.unregistered, 1);
    lib.finalize(&a);
}

// The real communication library underneath, against the emulator.
class OverCommLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.complete());
        std::string pattern = (std::filesystem::temp_directory_path() / "prtinf-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        tmp = pattern;
        ::setenv("QP60UTIL_COMMON_APPDATA", tmp.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", tmp.c_str(), 1);
        ::setenv("QPCOMM_TIMEOUT_MS", "300", 1);
        ::setenv("PRTINF_TIMEOUT_MS", "300", 1);
        ASSERT_TRUE(printer.start({"--tcp", "127.0.0.80:0"})) << printer.error();
        comm = ::dlopen(QPU_APP_DIR "/libQPComm.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(comm, nullptr);
        table.module = comm;
#define QPU_BIND(name) table.name = reinterpret_cast<QPC_##name##_t>(::dlsym(comm, "QPC_" #name));
        QPU_COMM_ENTRY_POINTS(QPU_BIND)
#undef QPU_BIND
        PortInfo port{};
        const std::string name = "127.0.0.80:" + std::to_string(printer.tcpPort());
        const char16_t net[] = u"NET";
        std::memcpy(port.interfaceKeyword, net, sizeof net);
        for (std::size_t i = 0; i < name.size(); ++i) {
            port.portName[i] = static_cast<char16_t>(name[i]);
        }
        ASSERT_EQ(table.SetPort(&port), QPC_OK);
        ASSERT_EQ(table.Open(1), QPC_OK);
    }
    void TearDown() override
    {
        if (comm != nullptr) {
            table.Terminate();
            ::dlclose(comm);
        }
        printer.stop();
        std::error_code ignored;
        std::filesystem::remove_all(tmp, ignored);
    }

    PrtInf lib;
    qpr60test::EmulatorProcess printer;
    std::string tmp;
    void* comm = nullptr;
    CommLibTable table{};
};

TEST_F(OverCommLibrary, FiveTextsAndTheDeviceIdFromThePrinter)
{
    printer.control("serial SN-42");
    printer.control("modelid 97");
    PrtInfHandle h = lib.initialize(&table);
    ASSERT_NE(h, nullptr);
    PrinterInformation info{};
    info.requestMask = PRTINF_REQUEST_ALL;
    ASSERT_EQ(lib.information(h, &info, 0), PRTINF_OK);
    EXPECT_STREQ(info.texts[0], "SN-42");
    EXPECT_STREQ(info.texts[1], "QP-R60");
    EXPECT_STREQ(info.texts[2], "VORKA");
    EXPECT_STREQ(info.texts[3], "ESC/VRK-A Ver.1.00");
    EXPECT_STREQ(info.texts[4], "South Asia");
    int32_t id = 0;
    ASSERT_EQ(lib.deviceId(h, &id), PRTINF_OK);
    EXPECT_EQ(id, 97);
    char name[PRTINF_PRINTER_NAME_BYTES] = {};
    ASSERT_EQ(lib.printerName(h, name, sizeof name), PRTINF_OK);
    EXPECT_STREQ(name, "QP-R60");
    lib.finalize(&h);
}

TEST_F(OverCommLibrary, StatusChangesAmongTheAnswersAndASilentPrinter)
{
    PrtInfHandle h = lib.initialize(&table);
    Calls calls;
    ASSERT_EQ(lib.registerCallback(h, &Calls::proc, &calls), 1);
    printer.control("split on");
    printer.control("cover open");
    PrinterInformation info{};
    info.requestMask = PRTINF_REQUEST_ALL;
    ASSERT_EQ(lib.information(h, &info, 0), PRTINF_OK);
    EXPECT_STREQ(info.texts[1], "QP-R60");
    const auto start = std::chrono::steady_clock::now();
    while (calls.last != 6 && qpr60test::millisecondsSince(start) < 3000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(calls.last, 6);
    printer.control("silent on");
    int32_t id = 0;
    EXPECT_EQ(lib.deviceId(h, &id), PRTINF_FAILED);
    EXPECT_EQ(id, 0);
    char name[PRTINF_PRINTER_NAME_BYTES] = {};
    EXPECT_EQ(lib.printerName(h, name, sizeof name), PRTINF_FAILED);
    EXPECT_EQ(lib.unregisterCallback(h), 1);
    lib.finalize(&h);
}

} // namespace
