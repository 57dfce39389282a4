// The library against the emulator outside the transport suite: discovery on loopback, a
// USB printer that comes back under another number, failures of opening, and the exported
// C entry points.
#include "comm_library.h"
#include "discovery.h"
#include "emulator_process.h"
#include "qpcomm_test_support.h"
#include "tcp_transport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fstream>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>

using namespace qpcomm;
using namespace qpcomm_test;

std::string runProbe(const PortInfo& port); // conformance_test.cpp

namespace {

class LibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dev = tmp.sub("dev");
        tmp.sub("dev/usb");
        env.emplace_back(
            std::make_unique<EnvSetting>("QP60UTIL_COMMON_APPDATA", tmp.sub("common")));
        env.emplace_back(std::make_unique<EnvSetting>("QPCOMM_DEV_DIR", dev));
        env.emplace_back(std::make_unique<EnvSetting>("QPCOMM_SYS_DIR", tmp.path() + "/sys"));
        env.emplace_back(std::make_unique<EnvSetting>("XDG_RUNTIME_DIR", tmp.sub("run")));
        env.emplace_back(std::make_unique<EnvSetting>("QPCOMM_TIMEOUT_MS", "400"));
        env.emplace_back(std::make_unique<EnvSetting>("QPCOMM_DISCOVERY_MS", "400"));
    }

    void writeUsbIdentity(int number, const std::string& serial)
    {
        const std::string folder =
            tmp.sub("sys/class/usbmisc/lp" + std::to_string(number) + "/device");
        std::ofstream(folder + "/ieee1284_id") << "MFG:VORKA;MDL:QP-R60;";
        std::ofstream(folder + "/../serial") << serial << "\n";
    }

    TempDir tmp;
    std::string dev;
    std::vector<std::unique_ptr<EnvSetting>> env;
};

TEST_F(LibraryTest, DiscoveryFindsThePrintersOnLoopbackAddresses)
{
    qpr60test::EmulatorProcess first;
    qpr60test::EmulatorProcess second;
    ASSERT_TRUE(first.start({"--tcp", "127.0.0.60:0", "--discovery", "127.0.0.60:0"}));
    ASSERT_TRUE(second.start({"--tcp", "127.0.0.61:0", "--discovery", "127.0.0.61:0"}));
    second.control("model QP-R60II");
    EnvSetting targets("QPCOMM_DISCOVERY_ADDR",
                       "127.0.0.60:" + std::to_string(first.discoveryPort()) +
                           ", 127.0.0.61:" + std::to_string(second.discoveryPort()));
    CommLibrary lib;
    uint32_t count = 0;
    std::vector<PortInfo> records(4);
    std::vector<PortInfo*> list = {&records[0], &records[1], &records[2], &records[3]};
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(lib.enumDevPort(u"NET", list.data(), 4, &count), QPC_OK);
    // Every target answered: the search does not wait out its window.
    EXPECT_LT(qpr60test::millisecondsSince(start), 390);
    ASSERT_EQ(count, 2u);
    std::set<std::string> found;
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(toUtf8(records[i].interfaceKeyword), "NET");
        found.insert(toUtf8(records[i].portName) + "=" + toUtf8(records[i].deviceName));
    }
    EXPECT_EQ(found, (std::set<std::string>{
                         "127.0.0.60:" + std::to_string(first.tcpPort()) + "=QP-R60",
                         "127.0.0.61:" + std::to_string(second.tcpPort()) + "=QP-R60II"}));
    // The record found is a port the library can test right away.
    PortInfo tested = records[0];
    EXPECT_EQ(lib.communicationTest(&tested), QPC_OK);

    second.control("discovery off");
    ASSERT_EQ(lib.enumDevPort(u"NET", list.data(), 1, &count), QPC_OK);
    EXPECT_EQ(count, 1u);
}

TEST_F(LibraryTest, CountBeyondTheCapacityTellsTheCallerToGrowTheList)
{
    qpr60test::EmulatorProcess a;
    qpr60test::EmulatorProcess b;
    ASSERT_TRUE(a.start({"--tcp", "127.0.0.62:0", "--discovery", "127.0.0.62:0"}));
    ASSERT_TRUE(b.start({"--tcp", "127.0.0.63:0", "--discovery", "127.0.0.63:0"}));
    EnvSetting targets("QPCOMM_DISCOVERY_ADDR",
                       "127.0.0.62:" + std::to_string(a.discoveryPort()) +
                           ";127.0.0.63:" + std::to_string(b.discoveryPort()));
    CommLibrary lib;
    PortInfo only{};
    PortInfo* list[1] = {&only};
    uint32_t count = 0;
    ASSERT_EQ(lib.enumDevPort(u"NET", list, 1, &count), QPC_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(toUtf8(only.interfaceKeyword), "NET");
    EXPECT_EQ(lib.enumDevPort(u"FOO", list, 1, &count), QPC_ERR_INVALID_ARGUMENT);
}

TEST(DiscoveryAnswer, OnlyAnswersWithTheHeaderCount)
{
    DiscoveredPrinter p;
    EXPECT_FALSE(Discovery::parseAnswer("HELLO\nmodel=QP-R60\n", "127.0.0.1", &p));
    ASSERT_TRUE(Discovery::parseAnswer("VRKPRINTER\nmodel=QP-R60\nport=abc\naddress=300.1.1.1\n",
                                       "127.0.0.9", &p));
    EXPECT_EQ(p.address, "127.0.0.9");
    EXPECT_EQ(p.tcpPort, 9100);
    EXPECT_EQ(toUtf8(Discovery::toPortInfo(p).portName), "127.0.0.9");
    EXPECT_EQ(Discovery::toPortInfo(p).usbDeviceId[0], 0); // no serial in the answer
    ASSERT_TRUE(
        Discovery::parseAnswer("VRKPRINTER\nmodel=QP-R60\nserial=QPR6000042\n", "127.0.0.9", &p));
    EXPECT_STREQ(reinterpret_cast<const char*>(Discovery::toPortInfo(p).usbDeviceId),
                 "SN:QPR6000042;");
    EnvSetting targets("QPCOMM_DISCOVERY_ADDR", "127.0.0.1:77, bogus 127.0.0.2 127.0.0.3:0");
    const auto list = Discovery::targetsFromEnvironment();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].port, 77);
    EXPECT_EQ(list[1].address, "127.0.0.2");
    EXPECT_EQ(list[1].port, 9100);
}

TEST_F(LibraryTest, UsbPrinterBackUnderAnotherNumberIsReopenedByItsIdentification)
{
    writeUsbIdentity(0, "USB777");
    qpr60test::EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--pty", dev + "/usb/lp0"}));
    CommLibrary lib;
    PortInfo port = makePort("USB", "001");
    std::memcpy(port.usbDeviceId, "SN:USB777;", 10);
    ASSERT_EQ(lib.setPort(&port), QPC_OK);
    ASSERT_EQ(lib.open(1), QPC_OK);
    QpuChar16 name[32] = {};
    ASSERT_EQ(lib.queryText(0x43, name, 32), QPC_OK);

    // Unplugged and plugged in again: now usb/lp3.
    std::filesystem::rename(dev + "/usb/lp0", dev + "/usb/lp3");
    std::filesystem::rename(tmp.path() + "/sys/class/usbmisc/lp0",
                            tmp.path() + "/sys/class/usbmisc/lp3");
    ASSERT_EQ(lib.reopen(), QPC_OK);
    name[0] = 0;
    ASSERT_EQ(lib.queryText(0x43, name, 32), QPC_OK);
    EXPECT_EQ(toUtf8(name), "QP-R60");

    PortInfo found = port;
    ASSERT_EQ(lib.findPort(&found), QPC_OK);
    EXPECT_EQ(toUtf8(found.portName), "004");
    lib.close();
    // A fresh open finds it the same way.
    ASSERT_EQ(lib.open(1), QPC_OK);
    ASSERT_EQ(lib.queryText(0x44, name, 32), QPC_OK);
    lib.close();
    std::filesystem::remove(dev + "/usb/lp3");
    EXPECT_EQ(lib.open(1), QPC_ERR_NOT_FOUND);
    EXPECT_EQ(lib.findPort(&found), QPC_ERR_NOT_FOUND);
}

TEST_F(LibraryTest, OpeningFailuresHaveTheirOwnCodes)
{
    CommLibrary lib;
    {
        // A terminal the user may not open.
        int master = -1;
        int slave = -1;
        char slaveName[128] = {};
        ASSERT_EQ(::openpty(&master, &slave, slaveName, nullptr, nullptr), 0);
        PortInfo denied = makePort("COM", slaveName);
        if (::geteuid() == 0) {
            ::chown(slaveName, 0, 0);
            ::chmod(slaveName, 0600);
            EnvSetting nobody("QPCOMM_PROBE_UID", "65534");
            EXPECT_EQ(runProbe(denied), "8000000C");
        } else {
            ::chmod(slaveName, 0);
            EXPECT_EQ(lib.setPort(&denied), QPC_OK);
            EXPECT_EQ(lib.open(1), QPC_ERR_ACCESS_DENIED);
        }
        ::close(slave);
        ::close(master);
    }
    PortInfo missing = makePort("COM", "ttyUSB9");
    EXPECT_EQ(lib.communicationTest(&missing), QPC_ERR_NOT_FOUND);
    PortInfo notTty = makePort("COM", "/dev/null");
    EXPECT_EQ(lib.communicationTest(&notTty), QPC_ERR_INVALID_ARGUMENT);
    PortInfo badCodes = makePort("COM", "ttyUSB0");
    badCodes.serialParamsPresent = 1;
    badCodes.baudRateCode = 12345;
    badCodes.dataBitsCode = 8;
    EXPECT_EQ(lib.communicationTest(&badCodes), QPC_ERR_INVALID_ARGUMENT);
    PortInfo refused = makePort("NET", "127.0.0.70:1");
    EXPECT_EQ(lib.communicationTest(&refused), QPC_ERR_NOT_FOUND);
    PortInfo notAddress = makePort("NET", "printer.local");
    EXPECT_EQ(lib.communicationTest(&notAddress), QPC_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lib.communicationTest(nullptr), QPC_ERR_INVALID_ARGUMENT);
}

TEST_F(LibraryTest, CallsThatNeedAnOpenPort)
{
    CommLibrary lib;
    int32_t status = -1;
    EXPECT_EQ(lib.getStatus(&status), QPC_ERR_NOT_OPEN);
    EXPECT_EQ(status, QPC_STATUS_NO_STATUS);
    EXPECT_EQ(lib.open(1), QPC_ERR_NOT_OPEN); // nothing selected
    EXPECT_EQ(lib.initialize(), QPC_ERR_NOT_OPEN);
    EXPECT_EQ(lib.purge(), QPC_ERR_NOT_OPEN);
    EXPECT_EQ(lib.reopen(), QPC_ERR_NOT_OPEN);
    uint8_t b = 0;
    uint32_t n = 0;
    EXPECT_EQ(lib.read(&b, 1, &n, 10), QPC_ERR_NOT_OPEN);
    EXPECT_EQ(lib.write(&b, 1, &n), QPC_ERR_NOT_OPEN);
    PortInfo none{};
    EXPECT_EQ(lib.getPort(&none), QPC_ERR_NOT_OPEN);
    QpuChar16 name[8];
    EXPECT_EQ(lib.getPortName(name, 8), QPC_ERR_NOT_OPEN);
    EXPECT_EQ(lib.backup(u"/tmp/x"), QPC_ERR_NOT_OPEN);
    EXPECT_EQ(lib.close(), QPC_OK);
}

TEST_F(LibraryTest, BackupFilesAreCheckedBeforeAnythingIsSent)
{
    CommLibrary lib;
    const std::string good = tmp.path() + "/good.txt";
    std::ofstream(good) << "QPR60-BACKUP 1\nmodel=QP-R60\ncustom 5=100\nmemsw 1=00000001\n";
    EXPECT_EQ(lib.fileCheck(toUtf16(good).c_str()), QPC_OK);
    for (const char* bad : {"QPR60-BACKUP 2\ncustom 5=1\n", "QPR60-BACKUP 1\ncustom 300=1\n",
                            "QPR60-BACKUP 1\nmemsw 9=00000000\n", "QPR60-BACKUP 1\nmemsw 1=0000\n",
                            "QPR60-BACKUP 1\ncustom 5=70000\n", "QPR60-BACKUP 1\n", ""}) {
        const std::string path = tmp.path() + "/bad.txt";
        std::ofstream(path, std::ios::trunc) << bad;
        EXPECT_EQ(lib.fileCheck(toUtf16(path).c_str()), QPC_ERR_FILE) << bad;
        EXPECT_EQ(lib.restore(toUtf16(path).c_str()), QPC_ERR_FILE) << bad;
    }
    EXPECT_EQ(lib.fileCheck(u"/nonexistent/file"), QPC_ERR_FILE);
}

// The exported C functions, bound as the utility binds them.
TEST_F(LibraryTest, ExportsBindIntoTheTableAndAnswer)
{
    void* module = ::dlopen(QPU_APP_DIR "/libQPComm.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << ::dlerror();
    CommLibTable table{};
    table.module = module;
    int bound = 0;
#define QPU_BIND(name)                                                                             \
    table.name = reinterpret_cast<QPC_##name##_t>(::dlsym(module, "QPC_" #name));                  \
    bound += table.name != nullptr ? 1 : 0;
    QPU_COMM_ENTRY_POINTS(QPU_BIND)
#undef QPU_BIND
    ASSERT_EQ(bound, QPU_COMM_ENTRY_POINT_COUNT);

    int32_t out = -1;
    EXPECT_EQ(table.SetCaller(0), QPC_OK);
    EXPECT_EQ(table.SetModelType(0), QPC_OK);
    EXPECT_EQ(table.IsEnableCommand(1, 14, 48, &out), QPC_OK);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(table.IsEnableCommand(QPC_COMMAND_USER_SETTING, 6, 5, &out), QPC_OK);
    EXPECT_EQ(out, 1);
    EXPECT_EQ(table.IsEnableCommand(QPC_COMMAND_USER_SETTING, 4, 9, &out), QPC_OK);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(table.IsSupported(100, &out), QPC_OK);
    EXPECT_EQ(out, 1);
    EXPECT_EQ(table.IsSupported(99, &out), QPC_OK);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(table.IsSupported(1, nullptr), QPC_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(table.IsWatermarkSupported(&out), QPC_OK);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(table.SetDisableOffOffline(1), QPC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(table.SetResponseACK(1), QPC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(table.RecoverySending(), QPC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(table.SetPortConnector(1), QPC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(table.RegisterBatStatusProc(&StatusRecorder::proc, nullptr), QPC_ERR_NOT_SUPPORTED);
    uint32_t version = 0;
    EXPECT_EQ(table.GetAccessVersion(&version), QPC_OK);
    EXPECT_EQ(version, QPC_ACCESS_VERSION);

    // The port list through the table.
    PortInfo port = makePort("NET", "192.0.2.7");
    EXPECT_EQ(table.AddPort(&port), QPC_OK);
    uint32_t count = 0;
    EXPECT_EQ(table.EnumPort(nullptr, 0, &count), QPC_OK);
    EXPECT_EQ(count, 1u);
    PortInfo record{};
    PortInfo* list[1] = {&record};
    EXPECT_EQ(table.EnumPort(list, 1, &count), QPC_OK);
    EXPECT_EQ(toUtf8(record.portName), "192.0.2.7");
    EXPECT_EQ(table.SetPort(&record), QPC_OK);
    QpuChar16 name[QPU_TEXT_UNITS] = {};
    EXPECT_EQ(table.GetPortName(name, QPU_TEXT_UNITS), QPC_OK);
    EXPECT_EQ(toUtf8(name), "192.0.2.7");
    EXPECT_EQ(table.RemovePort(&record), QPC_OK);
    EXPECT_EQ(table.RemovePort(&record), QPC_ERR_NOT_FOUND);
    EXPECT_EQ(table.Terminate(), QPC_OK);
    ::dlclose(module);
}

} // namespace

namespace {

// A TCP peer that goes away: writing on must report the lost link, not raise SIGPIPE.
TEST(TcpTransportTest, WritingToAClosedPeerReportsTheLostLink)
{
    posix::UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ASSERT_TRUE(listener.valid());
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = 0;
    ::inet_pton(AF_INET, "127.0.0.95", &addr.sin_addr);
    ASSERT_EQ(::bind(listener.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener.get(), 1), 0);
    socklen_t len = sizeof addr;
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&addr), &len);
    TempDir run;
    EnvSetting runtime("XDG_RUNTIME_DIR", run.path());
    TcpTransport transport("127.0.0.95", ntohs(addr.sin_port));
    ASSERT_EQ(transport.open(1000), QPC_OK);
    posix::UniqueFd peer(::accept(listener.get(), nullptr, nullptr));
    ASSERT_TRUE(peer.valid());
    peer.reset();
    const uint8_t data[64] = {};
    int32_t result = QPC_OK;
    for (int i = 0; i < 50 && result == QPC_OK; ++i) {
        result = transport.write(data, sizeof data, 200);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(result, QPC_ERR_CONNECTION_LOST);
    std::size_t received = 0;
    uint8_t byte = 0;
    EXPECT_EQ(transport.read(&byte, 1, 200, &received), QPC_ERR_CONNECTION_LOST);
}

TEST(TcpTransportTest, AddressesAndPorts)
{
    std::string host;
    uint16_t port = 0;
    ASSERT_TRUE(TcpTransport::parseAddress("192.168.0.10", &host, &port));
    EXPECT_EQ(port, 9100);
    ASSERT_TRUE(TcpTransport::parseAddress("127.0.0.5:19100", &host, &port));
    EXPECT_EQ(host, "127.0.0.5");
    EXPECT_EQ(port, 19100);
    {
        EnvSetting netPort("QPCOMM_NET_PORT", "9200");
        ASSERT_TRUE(TcpTransport::parseAddress("10.1.1.1", &host, &port));
        EXPECT_EQ(port, 9200);
    }
    EXPECT_FALSE(TcpTransport::parseAddress("10.1.1", &host, &port));
    EXPECT_FALSE(TcpTransport::parseAddress("10.1.1.1:0", &host, &port));
    EXPECT_FALSE(TcpTransport::parseAddress("10.1.1.1:70000", &host, &port));
    EXPECT_FALSE(TcpTransport::parseAddress("10.1.1.1:12x", &host, &port));
}

} // namespace
