// Latency figures of the communication library against the emulator, over TCP and over a
// pseudo-terminal: communication test, one printer-information read (five texts and the
// device ID through the printer information library) and one status change to callback.
// Not a test: it prints figures. Loopback and pseudo-terminals only.
#include "emulator_process.h"

#include <qpu/comm_lib.h>
#include <qpu/prtinf.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <dlfcn.h>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures
{
    std::vector<double> ms;
    void add(Clock::time_point start)
    {
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    void print(const char* what, const char* link)
    {
        if (ms.empty()) {
            std::printf("%-28s %-4s  no samples\n", what, link);
            return;
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-28s %-4s  n=%3zu  median %7.3f ms  p95 %7.3f ms  max %7.3f ms\n", what, link,
                    ms.size(), ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
    }
};

struct StatusWait
{
    std::mutex mutex;
    std::condition_variable cv;
    int32_t last = -1;
    static int32_t proc(int32_t status, void* context)
    {
        auto* self = static_cast<StatusWait*>(context);
        {
            std::lock_guard lock(self->mutex);
            self->last = status;
        }
        self->cv.notify_all();
        return 1;
    }
    bool waitFor(int32_t code)
    {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(3), [&] { return last == code; });
    }
};

PortInfo portFor(const char* keyword, const std::string& name)
{
    PortInfo port{};
    for (std::size_t i = 0; keyword[i] != '\0'; ++i) {
        port.interfaceKeyword[i] = static_cast<char16_t>(keyword[i]);
    }
    for (std::size_t i = 0; i < name.size() && i < QPU_TEXT_MAX_CHARS; ++i) {
        port.portName[i] = static_cast<char16_t>(name[i]);
    }
    port.reserved1 = -1;
    port.reserved2 = -1;
    return port;
}

void run(const CommLibTable& t, void* prtinf, qpr60test::EmulatorProcess& printer, PortInfo port,
         const char* link, int rounds)
{
    Figures test;
    for (int i = 0; i < rounds; ++i) {
        PortInfo record = port;
        const auto start = Clock::now();
        if (t.CommunicationTest(&record) != QPC_OK) {
            std::printf("communication test failed over %s\n", link);
            return;
        }
        test.add(start);
    }
    test.print("communication test", link);

    t.SetPort(&port);
    if (t.Open(1) != QPC_OK) {
        std::printf("open failed over %s\n", link);
        return;
    }
    auto init = reinterpret_cast<PrtInf_Initialize_t>(::dlsym(prtinf, "Initialize"));
    auto fini = reinterpret_cast<PrtInf_Finalize_t>(::dlsym(prtinf, "Finalize"));
    auto info =
        reinterpret_cast<PrtInf_GetPrinterInformation_t>(::dlsym(prtinf, "GetPrinterInformation"));
    auto deviceId = reinterpret_cast<PrtInf_GetDeviceID_t>(::dlsym(prtinf, "GetDeviceID"));
    PrtInfHandle h = init(&t);
    Figures read;
    for (int i = 0; i < rounds; ++i) {
        PrinterInformation record{};
        record.requestMask = PRTINF_REQUEST_ALL;
        int32_t id = 0;
        const auto start = Clock::now();
        if (info(h, &record, 0) != PRTINF_OK || deviceId(h, &id) != PRTINF_OK) {
            std::printf("printer information read failed over %s\n", link);
            break;
        }
        read.add(start);
    }
    read.print("printer information read", link);
    fini(&h);

    StatusWait wait;
    t.RegisterStatusProc(&StatusWait::proc, &wait);
    wait.waitFor(0);
    Figures status;
    for (int i = 0; i < rounds; ++i) {
        const bool open = i % 2 == 0;
        const auto start = Clock::now();
        // The control channel's own round trip is included in the figure.
        printer.control(open ? "cover open" : "cover close");
        if (!wait.waitFor(open ? 6 : 0)) {
            std::printf("status change not reported over %s\n", link);
            break;
        }
        status.add(start);
    }
    status.print("status change to callback", link);
    t.UnregisterStatusProc();
    t.Close();
}

// The library's own cost per query: the same bytes through QPC_Write/QPC_Read and
// QPC_GetSerialNumber against a plain socket write and read of the same bytes, over TCP.
void runQueryCost(const CommLibTable& t, qpr60test::EmulatorProcess& printer, PortInfo port,
                  int rounds)
{
    auto raw = qpr60test::ByteStream::connectTcp(printer.tcpHost(), printer.tcpPort());
    const qpr60test::Bytes status = {0x10, 0x04, 0x01};
    const qpr60test::Bytes serial = {0x1D, 0x49, 0x44};
    Figures rawStatus;
    Figures rawSerial;
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        raw.write(status);
        if (raw.read(1, 1000).size() != 1)
            break;
        rawStatus.add(start);
        start = Clock::now();
        raw.write(serial);
        if (raw.read(12, 1000).size() != 12) // 5F, "QPR6000001", 00
            break;
        rawSerial.add(start);
    }
    raw.close();

    t.SetPort(&port);
    if (t.Open(1) != QPC_OK) {
        std::printf("open failed for the query cost\n");
        return;
    }
    Figures libStatus;
    Figures libSerial;
    for (int i = 0; i < rounds; ++i) {
        uint8_t answer[8];
        uint32_t written = 0;
        uint32_t received = 0;
        auto start = Clock::now();
        if (t.Write(status.data(), 3, &written) != QPC_OK ||
            t.Read(answer, sizeof answer, &received, 1000) != QPC_OK || received != 1)
            break;
        libStatus.add(start);
        QpuChar16 text[QPU_TEXT_UNITS];
        start = Clock::now();
        if (t.GetSerialNumber(text, QPU_TEXT_UNITS) != QPC_OK)
            break;
        libSerial.add(start);
    }
    t.Close();
    rawStatus.print("status query, raw socket", "tcp");
    libStatus.print("status query, Write+Read", "tcp");
    rawSerial.print("serial number, raw socket", "tcp");
    libSerial.print("serial number, library", "tcp");
    if (!rawStatus.ms.empty() && !libStatus.ms.empty() && !rawSerial.ms.empty() &&
        !libSerial.ms.empty())
        std::printf("library / raw (medians): status %.2fx, serial number %.2fx\n",
                    libStatus.ms[libStatus.ms.size() / 2] / rawStatus.ms[rawStatus.ms.size() / 2],
                    libSerial.ms[libSerial.ms.size() / 2] / rawSerial.ms[rawSerial.ms.size() / 2]);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    qpr60test::EmulatorProcess printer;
    const std::string link = printer.tempPath("tty");
    if (!printer.start({"--tcp", "127.0.0.90:0", "--pty", link})) {
        std::fprintf(stderr, "emulator: %s\n", printer.error().c_str());
        return 1;
    }
    ::setenv("QP60UTIL_COMMON_APPDATA", printer.tempDir().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", printer.tempDir().c_str(), 1);
    ::setenv("QPCOMM_DISCOVERY_ADDR", "127.0.0.1", 1);
    void* comm = ::dlopen(QPU_APP_DIR "/libQPComm.so", RTLD_NOW | RTLD_LOCAL);
    void* prtinf = ::dlopen(QPU_APP_DIR "/libPrtInfMgrDLL.so", RTLD_NOW | RTLD_LOCAL);
    if (comm == nullptr || prtinf == nullptr) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 1;
    }
    CommLibTable t{};
    t.module = comm;
#define QPU_BIND(name) t.name = reinterpret_cast<QPC_##name##_t>(::dlsym(comm, "QPC_" #name));
    QPU_COMM_ENTRY_POINTS(QPU_BIND)
#undef QPU_BIND
    std::printf("qpcomm latency, %d rounds each (loopback emulator)\n", rounds);
    run(t, prtinf, printer, portFor("NET", "127.0.0.90:" + std::to_string(printer.tcpPort())),
        "tcp", rounds);
    run(t, prtinf, printer, portFor("COM", link), "pty", rounds);
    runQueryCost(t, printer, portFor("NET", "127.0.0.90:" + std::to_string(printer.tcpPort())),
                 rounds * 5);
    t.Terminate();
    ::dlclose(prtinf);
    ::dlclose(comm);
    return 0;
}
