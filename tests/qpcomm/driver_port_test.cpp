// Records that name their port only by a driver port path (driver-port flag 1, no
// interface keyword): how the library finds the port, against the emulator on loopback
// and on pseudo-terminals, and how it refuses what it cannot or must not open.
#include "comm_library.h"
#include "driver_port.h"
#include "emulator_process.h"
#include "port_store.h"
#include "qpcomm_test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <termios.h>

using namespace qpcomm;
using namespace qpcomm_test;

namespace {

PortInfo driverRecord(const std::string& path)
{
    PortInfo port{};
    port.reserved1 = -1;
    port.reserved2 = -1;
    port.driverPortFlag = 1;
    copyToField(path, port.driverPortPath);
    return port;
}

PortInfo withDriverPath(PortInfo port, const std::string& path)
{
    copyToField(path, port.driverPortPath);
    return port;
}

std::string netName(const qpr60test::EmulatorProcess& printer)
{
    return printer.tcpHost() + ":" + std::to_string(printer.tcpPort());
}

// The line speed of a terminal as the library left it, read through a descriptor of our
// own on the same terminal. (Pseudo-terminals keep 8 bits without parity whatever is set,
// so the speed is what shows which line settings were applied.)
speed_t speedOf(const std::string& device)
{
    qpr60test::ByteStream tty(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios tio{};
    return tty.valid() && ::tcgetattr(tty.fd(), &tio) == 0 ? ::cfgetospeed(&tio) : B0;
}

void setSpeed(const std::string& device, speed_t speed)
{
    qpr60test::ByteStream tty(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios tio{};
    ASSERT_TRUE(tty.valid());
    ASSERT_EQ(::tcgetattr(tty.fd(), &tio), 0);
    ::cfsetospeed(&tio, speed);
    ::cfsetispeed(&tio, speed);
    ASSERT_EQ(::tcsetattr(tty.fd(), TCSANOW, &tio), 0);
}

// A loopback TCP port on which nobody listens.
uint16_t closedTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    ::close(fd);
    return ntohs(addr.sin_port);
}

class DriverPortTest : public ::testing::Test
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
    }

    void registerPort(const PortInfo& port)
    {
        ASSERT_EQ(PortStore(PortStore::defaultPath()).add(port), QPC_OK);
    }

    // The model name that the printer behind `path` reports, or the failure code.
    std::string modelBehind(CommLibrary& lib, const std::string& path)
    {
        PortInfo port = driverRecord(path);
        const int32_t r = lib.communicationTest(&port);
        return r == QPC_OK ? toUtf8(port.deviceName) : "error " + std::to_string(r);
    }

    TempDir tmp;
    std::string dev;
    std::vector<std::unique_ptr<EnvSetting>> env;
};

} // namespace

TEST_F(DriverPortTest, RegisteredPortIsFoundByTheWholePathBeforeTheLastComponent)
{
    qpr60test::EmulatorProcess first;
    qpr60test::EmulatorProcess second;
    ASSERT_TRUE(first.start({"--tcp", "127.0.0.1:0"})) << first.error();
    ASSERT_TRUE(second.start({"--tcp", "127.0.0.1:0"})) << second.error();
    second.control("model QP-R60II");
    registerPort(withDriverPath(makePort("NET", netName(first)), "//srv1/printers/VSDPRT2"));
    registerPort(withDriverPath(makePort("NET", netName(second)), "//srv2/printers/VSDPRT2"));
    registerPort(makePort("NET", "127.0.0.1:1")); // no driver path: never matched

    CommLibrary lib;
    EXPECT_EQ(modelBehind(lib, "//srv2/printers/VSDPRT2"), "QP-R60II");
    EXPECT_EQ(modelBehind(lib, "//srv1/printers/VSDPRT2"), "QP-R60");
    // Otherwise the first port whose driver path ends in the same component.
    EXPECT_EQ(modelBehind(lib, "//elsewhere/VSDPRT2"), "QP-R60");
    EXPECT_EQ(modelBehind(lib, "VSDPRT2"), "QP-R60");
    // A component is compared whole and exactly.
    EXPECT_EQ(modelBehind(lib, "//srv1/printers/VSDPRT"),
              "error " + std::to_string(QPC_ERR_NOT_FOUND));
    EXPECT_EQ(modelBehind(lib, "//srv1/printers/vsdprt2"),
              "error " + std::to_string(QPC_ERR_NOT_FOUND));
    EXPECT_EQ(modelBehind(lib, "//srv1/printers/"), "error " + std::to_string(QPC_ERR_NOT_FOUND));

    // The test fills in the device name and leaves the rest of the record as it was.
    PortInfo port = driverRecord("//srv2/printers/VSDPRT2");
    const PortInfo before = port;
    ASSERT_EQ(lib.communicationTest(&port), QPC_OK);
    std::memcpy(port.deviceName, before.deviceName, sizeof port.deviceName);
    EXPECT_EQ(std::memcmp(&port, &before, sizeof port), 0);
}

TEST_F(DriverPortTest, RegisteredSerialPortKeepsItsLineSettings)
{
    qpr60test::EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--pty", dev + "/ttyUSB0"})) << printer.error();
    PortInfo registered = withDriverPath(makePort("COM", "ttyUSB0"), "//host/VSDPRT3");
    registered.serialParamsPresent = 1;
    registered.baudRateCode = 19200;
    registered.dataBitsCode = 8;
    registered.parityCode = QPC_PARITY_NONE;
    registerPort(registered);

    CommLibrary lib;
    // Found by the driver path, and by naming the registered port's device.
    for (const std::string& path : {std::string("//other/VSDPRT3"), dev + "/ttyUSB0",
                                    std::string("ttyUSB0"), printer.ptyDevice()}) {
        SCOPED_TRACE(path);
        PortInfo port = driverRecord(path);
        ASSERT_EQ(lib.setPort(&port), QPC_OK);
        ASSERT_EQ(lib.open(1), QPC_OK);
        EXPECT_EQ(speedOf(printer.ptyDevice()), B19200);
        QpuChar16 name[32] = {};
        EXPECT_EQ(lib.queryText(0x43, name, 32), QPC_OK);
        EXPECT_EQ(toUtf8(name), "QP-R60");
        lib.close();
    }

    // Without the registration the terminal runs at the default 9600 baud, 8 bits, no parity.
    ASSERT_EQ(PortStore(PortStore::defaultPath()).remove(registered), QPC_OK);
    PortInfo port = driverRecord(dev + "/ttyUSB0");
    ASSERT_EQ(lib.setPort(&port), QPC_OK);
    ASSERT_EQ(lib.open(1), QPC_OK);
    EXPECT_EQ(speedOf(printer.ptyDevice()), B9600);
    lib.close();
}

TEST_F(DriverPortTest, DevicePathOpensTerminalsAndPrinterNodes)
{
    qpr60test::EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--pty", dev + "/lp0", "--pty", dev + "/usb/lp1", "--pty",
                               tmp.sub("elsewhere") + "/receipt"}))
        << printer.error();
    CommLibrary lib;
    EXPECT_EQ(modelBehind(lib, "lp0"), "QP-R60"); // relative to the device folder
    EXPECT_EQ(modelBehind(lib, "usb/lp1"), "QP-R60");
    EXPECT_EQ(modelBehind(lib, dev + "/usb/lp1"), "QP-R60");
    EXPECT_EQ(modelBehind(lib, tmp.path() + "/elsewhere/receipt"), "QP-R60");

    // A printer node is used as it is; any other terminal becomes a serial line.
    setSpeed(printer.ptyDevice(0), B4800);
    setSpeed(printer.ptyDevice(2), B4800);
    for (const std::string& path : {dev + "/lp0", tmp.path() + "/elsewhere/receipt"}) {
        PortInfo port = driverRecord(path);
        ASSERT_EQ(lib.setPort(&port), QPC_OK);
        ASSERT_EQ(lib.open(1), QPC_OK);
        EXPECT_EQ(lib.initialize(), QPC_OK);
        lib.close();
    }
    EXPECT_EQ(speedOf(printer.ptyDevice(0)), B4800);
    EXPECT_EQ(speedOf(printer.ptyDevice(2)), B9600);
}

TEST_F(DriverPortTest, NetworkPathOpensTheHostsAddress)
{
    qpr60test::EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0"})) << printer.error();
    CommLibrary lib;
    const std::string withPort = "//" + netName(printer) + "/queues/receipt";
    EXPECT_EQ(modelBehind(lib, withPort), "QP-R60");
    EXPECT_EQ(modelBehind(lib, "//" + netName(printer)), "QP-R60");
    {
        EnvSetting netPort("QPCOMM_NET_PORT", std::to_string(printer.tcpPort()));
        EXPECT_EQ(modelBehind(lib, "//127.0.0.1/receipt"), "QP-R60");
    }

    PortInfo port = driverRecord(withPort);
    ASSERT_EQ(lib.setPort(&port), QPC_OK);
    ASSERT_EQ(lib.open(1), QPC_OK);
    QpuChar16 serial[32] = {};
    EXPECT_EQ(lib.queryText(0x44, serial, 32), QPC_OK);
    EXPECT_FALSE(toUtf8(serial).empty());
    lib.close();
}

TEST_F(DriverPortTest, WhatCannotBeOpenedGetsAClearCode)
{
    const std::string notFound = "error " + std::to_string(QPC_ERR_NOT_FOUND);
    const std::string notSupported = "error " + std::to_string(QPC_ERR_NOT_SUPPORTED);
    std::ofstream(tmp.path() + "/plain.txt") << "text";
    CommLibrary lib;
    EXPECT_EQ(modelBehind(lib, ""), "error " + std::to_string(QPC_ERR_INVALID_ARGUMENT));
    EXPECT_EQ(modelBehind(lib, "/no/such/device"), notFound);
    EXPECT_EQ(modelBehind(lib, "VSDPRT1"), notFound);
    // Files and devices that are neither a serial line nor a printer are never opened.
    EXPECT_EQ(modelBehind(lib, tmp.path() + "/plain.txt"), notSupported);
    EXPECT_EQ(modelBehind(lib, tmp.path()), notSupported);
    EXPECT_EQ(modelBehind(lib, "/dev/null"), notSupported);
    EXPECT_EQ(modelBehind(lib, "/dev/tty"), notSupported);
    // Network paths: an IPv4 address only, and one that answers.
    EXPECT_EQ(modelBehind(lib, "//printserver/receipt"), notFound);
    EXPECT_EQ(modelBehind(lib, "//300.1.2.3/receipt"), notFound);
    EXPECT_EQ(modelBehind(lib, "//127.0.0.1:0/receipt"), notFound);
    EXPECT_EQ(modelBehind(lib, "//"), notFound);
    EXPECT_EQ(modelBehind(lib, "//127.0.0.1:" + std::to_string(closedTcpPort()) + "/receipt"),
              notFound);

    // The selection refuses an empty path, and a record without the flag keeps needing its
    // keyword and port name.
    PortInfo empty = driverRecord("");
    EXPECT_EQ(lib.setPort(&empty), QPC_ERR_INVALID_ARGUMENT);
    PortInfo unflagged = driverRecord("//127.0.0.1/receipt");
    unflagged.driverPortFlag = 0;
    EXPECT_EQ(lib.setPort(&unflagged), QPC_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(lib.communicationTest(&unflagged), QPC_ERR_INVALID_ARGUMENT);
    PortInfo missing = driverRecord("/no/such/device");
    ASSERT_EQ(lib.setPort(&missing), QPC_OK);
    EXPECT_EQ(lib.open(1), QPC_ERR_NOT_FOUND);
    EXPECT_EQ(lib.findPort(&missing), QPC_ERR_NOT_FOUND);
}

TEST_F(DriverPortTest, SilentPrinterTimesOut)
{
    qpr60test::EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0"})) << printer.error();
    printer.control("silent on");
    CommLibrary lib;
    EXPECT_EQ(modelBehind(lib, "//" + netName(printer) + "/receipt"),
              "error " + std::to_string(QPC_ERR_TIMEOUT));
}

TEST_F(DriverPortTest, OpenPortIsHeldAgainstOtherPathsAndOtherProcesses)
{
    qpr60test::EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0"})) << printer.error();
    const std::string path = "//" + netName(printer) + "/receipt";
    CommLibrary lib;
    PortInfo port = driverRecord(path);
    ASSERT_EQ(lib.setPort(&port), QPC_OK);
    PortInfo selected{};
    ASSERT_EQ(lib.getPort(&selected), QPC_OK);
    EXPECT_EQ(std::memcmp(&selected, &port, sizeof port), 0); // handed back as given
    ASSERT_EQ(lib.open(1), QPC_OK);
    EXPECT_EQ(lib.open(1), QPC_OK);
    EXPECT_EQ(modelBehind(lib, path), "QP-R60"); // on the open port

    // Another driver path is another port, even though neither has a keyword or name.
    PortInfo other = driverRecord("//" + netName(printer) + "/other");
    ASSERT_EQ(lib.setPort(&other), QPC_OK);
    EXPECT_EQ(lib.open(1), QPC_ERR_ALREADY_OPEN);
    ASSERT_EQ(lib.setPort(&port), QPC_OK);
    EXPECT_EQ(lib.open(1), QPC_OK);

    // A second user of the same printer is told that the port is in use.
    CommLibrary second;
    PortInfo same = driverRecord(path);
    ASSERT_EQ(second.setPort(&same), QPC_OK);
    EXPECT_EQ(second.open(1), QPC_ERR_PORT_IN_USE);
    EXPECT_EQ(second.communicationTest(&same), QPC_ERR_PORT_IN_USE);
    lib.close();
    EXPECT_EQ(second.open(1), QPC_OK);
    EXPECT_EQ(second.findPort(&same), QPC_ERR_PORT_IN_USE);
    second.close();
    EXPECT_EQ(second.findPort(&same), QPC_OK);
}

TEST_F(DriverPortTest, ExportsOpenADriverPathAsTheUtilityDoes)
{
    qpr60test::EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0"})) << printer.error();
    void* module = ::dlopen(QPU_APP_DIR "/libQPComm.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << ::dlerror();
    const auto bind = [module](const char* name) { return ::dlsym(module, name); };
    const auto setPort = reinterpret_cast<QPC_SetPort_t>(bind("QPC_SetPort"));
    const auto getPort = reinterpret_cast<QPC_GetPort_t>(bind("QPC_GetPort"));
    const auto open = reinterpret_cast<QPC_Open_t>(bind("QPC_Open"));
    const auto initialize = reinterpret_cast<QPC_Initialize_t>(bind("QPC_Initialize"));
    const auto test = reinterpret_cast<QPC_CommunicationTest_t>(bind("QPC_CommunicationTest"));
    const auto terminate = reinterpret_cast<QPC_Terminate_t>(bind("QPC_Terminate"));
    ASSERT_TRUE(setPort && getPort && open && initialize && test && terminate);

    // Communication check, then SetPort, GetPort, Open(1) and Initialize on the same record.
    PortInfo port = driverRecord("//" + netName(printer) + "/receipt");
    EXPECT_EQ(test(&port), QPC_OK);
    EXPECT_EQ(toUtf8(port.deviceName), "QP-R60");
    EXPECT_EQ(setPort(&port), QPC_OK);
    EXPECT_EQ(getPort(&port), QPC_OK);
    EXPECT_EQ(port.driverPortFlag, 1u);
    EXPECT_EQ(open(1), QPC_OK);
    EXPECT_EQ(initialize(), QPC_OK);
    EXPECT_EQ(terminate(), QPC_OK);
    ::dlclose(module);
}

TEST(DriverPortRules, TerminalKindsComeFromTheDriverTable)
{
    TempDir tmp;
    const std::string file = tmp.path() + "/drivers";
    std::ofstream(file) << "/dev/tty             /dev/tty        5       0 system:/dev/tty\n"
                           "/dev/ptmx            /dev/ptmx       5       2 system\n"
                           "usbserial            /dev/ttyUSB   188 0-511 serial\n"
                           "serial               /dev/ttyS       4      64 serial\n"
                           "pty_slave            /dev/pts      136 0-1048575 pty:slave\n"
                           "pty_master           /dev/ptm      128 0-1048575 pty:master\n"
                           "unknown              /dev/tty        4 1-63 console\n"
                           "broken line\n"
                           "odd                  /dev/odd      x7 1-2 serial\n";
    const TtyDriverTable table(file);
    EXPECT_TRUE(table.isSerialLine(makedev(188, 0)));
    EXPECT_TRUE(table.isSerialLine(makedev(188, 511)));
    EXPECT_FALSE(table.isSerialLine(makedev(188, 512)));
    EXPECT_TRUE(table.isSerialLine(makedev(4, 64)));
    EXPECT_FALSE(table.isSerialLine(makedev(4, 65))); // a single minor
    EXPECT_FALSE(table.isSerialLine(makedev(4, 1)));  // a console
    EXPECT_TRUE(table.isSerialLine(makedev(136, 7)));
    EXPECT_FALSE(table.isSerialLine(makedev(128, 7)));
    EXPECT_FALSE(table.isSerialLine(makedev(5, 0)));
    EXPECT_FALSE(table.isSerialLine(makedev(5, 2)));
    EXPECT_FALSE(TtyDriverTable(tmp.path() + "/missing").isSerialLine(makedev(4, 64)));
}

TEST(DriverPortRules, RecordsAreTheSamePortByPathOrByKeywordAndName)
{
    EXPECT_EQ(lastPathComponent("//host/queues/receipt"), "receipt");
    EXPECT_EQ(lastPathComponent("receipt"), "receipt");
    EXPECT_EQ(lastPathComponent("//host/"), "");

    const PortInfo a = driverRecord("//host/a");
    EXPECT_TRUE(isDriverPathRecord(a));
    EXPECT_TRUE(sameTarget(a, driverRecord("//host/a")));
    EXPECT_FALSE(sameTarget(a, driverRecord("//host/b")));
    // A flagged record that carries a keyword is an ordinary port record.
    PortInfo flaggedNet = withDriverPath(makePort("NET", "127.0.0.1"), "//host/a");
    flaggedNet.driverPortFlag = 1;
    EXPECT_FALSE(isDriverPathRecord(flaggedNet));
    EXPECT_FALSE(sameTarget(a, flaggedNet));
    EXPECT_TRUE(sameTarget(flaggedNet, makePort("NET", "127.0.0.1")));
    EXPECT_FALSE(sameTarget(makePort("NET", "127.0.0.1"), makePort("COM", "127.0.0.1")));
}
