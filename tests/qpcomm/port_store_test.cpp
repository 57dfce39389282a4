// The registered-port file and the device enumeration, on temporary folders.
#include "comm_library.h"
#include "device_enumerator.h"
#include "port_store.h"
#include "qpcomm_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <set>
#include <thread>
#include <unistd.h>

using namespace qpcomm;
using namespace qpcomm_test;

namespace {

std::vector<uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PortStore, DefaultPathFollowsTheCommonApplicationDataFolder)
{
    TempDir dir;
    EnvSetting common("QP60UTIL_COMMON_APPDATA", dir.path());
    EXPECT_EQ(PortStore::defaultPath(), dir.path() + "/VORKA/QPComm/ports.dat");
}

TEST(PortStore, AddedPortsSurviveAndKeepEveryByte)
{
    TempDir dir;
    const std::string path = dir.path() + "/a/b/ports.dat";
    PortInfo serial = makePort("COM", "ttyUSB0");
    serial.serialParamsPresent = 1;
    serial.baudRateCode = 38400;
    serial.dataBitsCode = 8;
    serial.parityCode = 2;
    copyToField("QP-R60", serial.deviceName);
    serial.unused2[100] = 0xAB;
    serial.origin = 3;
    PortInfo net = makePort("NET", "192.168.0.5");
    {
        PortStore store(path);
        ASSERT_EQ(store.add(serial), QPC_OK);
        ASSERT_EQ(store.add(net), QPC_OK);
    }
    const auto bytes = fileBytes(path);
    ASSERT_EQ(bytes.size(), 16 + 2 * sizeof(PortInfo));
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "QPCPORTS");
    EXPECT_EQ(bytes[12], 2);

    PortStore reopened(path);
    std::vector<PortInfo> ports;
    ASSERT_EQ(reopened.load(&ports), QPC_OK);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(std::memcmp(&ports[0], &serial, sizeof serial), 0);
    EXPECT_EQ(std::memcmp(&ports[1], &net, sizeof net), 0);
}

TEST(PortStore, AddingTheSamePortReplacesItsRecord)
{
    TempDir dir;
    PortStore store(dir.path() + "/ports.dat");
    PortInfo port = makePort("USB", "001");
    ASSERT_EQ(store.add(port), QPC_OK);
    copyToField("QP-R60", port.deviceName);
    // Bytes after the terminating zero do not make another port.
    port.portName[10] = u'x';
    ASSERT_EQ(store.add(port), QPC_OK);
    std::vector<PortInfo> ports;
    ASSERT_EQ(store.load(&ports), QPC_OK);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(toUtf8(ports[0].deviceName), "QP-R60");
}

TEST(PortStore, RemoveForgetsOnlyThatPort)
{
    TempDir dir;
    PortStore store(dir.path() + "/ports.dat");
    ASSERT_EQ(store.add(makePort("COM", "ttyS0")), QPC_OK);
    ASSERT_EQ(store.add(makePort("LPT", "ttyS0")), QPC_OK);
    EXPECT_EQ(store.remove(makePort("COM", "ttyS1")), QPC_ERR_NOT_FOUND);
    ASSERT_EQ(store.remove(makePort("COM", "ttyS0")), QPC_OK);
    std::vector<PortInfo> ports;
    ASSERT_EQ(store.load(&ports), QPC_OK);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(toUtf8(ports[0].interfaceKeyword), "LPT");
    EXPECT_EQ(store.update(makePort("NET", "1.2.3.4")), QPC_ERR_NOT_FOUND);
}

TEST(PortStore, CorruptFileIsMovedAsideNotLost)
{
    TempDir dir;
    const std::string path = dir.path() + "/ports.dat";
    {
        std::ofstream out(path, std::ios::binary);
        out << "QPCPORTS\x01\0\0\0\x05\0\0\0 too short";
    }
    const auto original = fileBytes(path);
    PortStore store(path);
    std::vector<PortInfo> ports;
    EXPECT_EQ(store.load(&ports), QPC_OK);
    EXPECT_TRUE(ports.empty());
    EXPECT_EQ(fileBytes(path + ".bad"), original);
    ASSERT_EQ(store.add(makePort("NET", "10.0.0.1")), QPC_OK);
    ASSERT_EQ(store.load(&ports), QPC_OK);
    EXPECT_EQ(ports.size(), 1u);
}

TEST(PortStore, UnwritableFolderGivesAFileError)
{
    PortStore store("/proc/qpcomm-none/ports.dat");
    EXPECT_EQ(store.add(makePort("NET", "10.0.0.1")), QPC_ERR_FILE);
}

TEST(PortStore, WritesLeaveNoTemporaryFiles)
{
    TempDir dir;
    PortStore store(dir.path() + "/ports.dat");
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(store.add(makePort("COM", "ttyUSB" + std::to_string(i))), QPC_OK);
    }
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        files.insert(entry.path().filename().string());
    }
    EXPECT_EQ(files, (std::set<std::string>{"ports.dat", "ports.dat.lock"}));
}

TEST(PortStore, ConcurrentWritersLoseNoPort)
{
    TempDir dir;
    const std::string path = dir.path() + "/ports.dat";
    std::vector<std::thread> writers;
    for (int w = 0; w < 3; ++w) {
        writers.emplace_back([&, w] {
            PortStore own(path); // as another process would: its own store object
            for (int i = 0; i < 15; ++i) {
                own.add(makePort("NET", "10.0." + std::to_string(w) + "." + std::to_string(i)));
            }
        });
    }
    for (std::thread& t : writers) {
        t.join();
    }
    std::vector<PortInfo> ports;
    ASSERT_EQ(PortStore(path).load(&ports), QPC_OK);
    EXPECT_EQ(ports.size(), 45u);
}

TEST(EnumPortEntry, CountFirstThenTheRecords)
{
    TempDir dir;
    EnvSetting common("QP60UTIL_COMMON_APPDATA", dir.path());
    CommLibrary lib;
    uint32_t count = 99;
    ASSERT_EQ(lib.enumPort(nullptr, 0, &count), QPC_OK);
    EXPECT_EQ(count, 0u);
    PortInfo a = makePort("COM", "ttyUSB0");
    PortInfo b = makePort("NET", "127.0.0.1");
    ASSERT_EQ(lib.addPort(&a), QPC_OK);
    ASSERT_EQ(lib.addPort(&b), QPC_OK);
    PortInfo bad = makePort("COMX", "x");
    EXPECT_EQ(lib.addPort(&bad), QPC_ERR_INVALID_ARGUMENT);
    ASSERT_EQ(lib.enumPort(nullptr, 0, &count), QPC_OK);
    ASSERT_EQ(count, 2u);
    std::vector<PortInfo> records(count);
    std::vector<PortInfo*> list = {&records[0], &records[1]};
    ASSERT_EQ(lib.enumPort(list.data(), 1, &count), QPC_OK);
    EXPECT_EQ(count, 1u); // only as many as the list holds
    ASSERT_EQ(lib.enumPort(list.data(), 2, &count), QPC_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(toUtf8(records[1].portName), "127.0.0.1");
    EXPECT_EQ(lib.enumPort(list.data(), 2, nullptr), QPC_ERR_INVALID_ARGUMENT);
}

// A fake device folder: pseudo-terminals stand in for character devices.
class DeviceFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dev = tmp.sub("dev");
        sys = tmp.sub("sys");
        tmp.sub("dev/usb");
    }
    void TearDown() override
    {
        for (const int fd : fds) {
            ::close(fd);
        }
    }
    // Links dev/<name> to the slave of a fresh pseudo-terminal.
    void addDevice(const std::string& name)
    {
        int master = -1;
        int slave = -1;
        char slaveName[128] = {};
        ASSERT_EQ(::openpty(&master, &slave, slaveName, nullptr, nullptr), 0);
        fds.push_back(master);
        fds.push_back(slave);
        std::filesystem::create_symlink(slaveName, dev + "/" + name);
    }
    void addUsbIdentity(int number, const std::string& serial, const std::string& ieee1284)
    {
        const std::string folder =
            tmp.sub("sys/class/usbmisc/lp" + std::to_string(number) + "/device");
        if (!serial.empty()) {
            std::ofstream(folder + "/../serial") << serial << "\n";
        }
        std::ofstream(folder + "/ieee1284_id") << ieee1284;
    }
    std::vector<std::string> names(const std::string& keyword)
    {
        EnvSetting d("QPCOMM_DEV_DIR", dev);
        EnvSetting s("QPCOMM_SYS_DIR", sys);
        std::vector<PortInfo> ports;
        EXPECT_TRUE(DeviceEnumerator().enumerate(keyword, &ports));
        std::vector<std::string> out;
        for (const PortInfo& p : ports) {
            out.push_back(toUtf8(p.interfaceKeyword) + ":" + toUtf8(p.portName));
        }
        return out;
    }

    TempDir tmp;
    std::string dev;
    std::string sys;
    std::vector<int> fds;
};

TEST_F(DeviceFolder, EachKeywordListsItsDevicesInNaturalOrder)
{
    addDevice("ttyUSB10");
    addDevice("ttyUSB2");
    addDevice("ttyACM0");
    addDevice("rfcomm0");
    addDevice("lp0");
    addDevice("usb/lp1");
    addDevice("ttyUSBx"); // not a device name
    std::ofstream(dev + "/ttyUSB3") << "a plain file is no device";
    EXPECT_EQ(names("COM"),
              (std::vector<std::string>{"COM:ttyACM0", "COM:ttyUSB2", "COM:ttyUSB10"}));
    EXPECT_EQ(names("SERIAL"), (std::vector<std::string>{"COM:ttyACM0", "COM:ttyUSB2",
                                                         "COM:ttyUSB10", "BT:rfcomm0"}));
    EXPECT_EQ(names("BT"), (std::vector<std::string>{"BT:rfcomm0"}));
    EXPECT_EQ(names("LPT"), (std::vector<std::string>{"LPT:lp0"}));
    EXPECT_EQ(names("USB"), (std::vector<std::string>{"USB:002"}));
    std::vector<PortInfo> ports;
    EXPECT_FALSE(DeviceEnumerator().enumerate("com", &ports));
}

TEST_F(DeviceFolder, UsbRecordsCarryTheIdentificationAndModel)
{
    addDevice("usb/lp0");
    addUsbIdentity(0, "", "MFG:VORKA;MDL:QP-R60;CMD:ESC/VRK;");
    addDevice("usb/lp1");
    addUsbIdentity(1, "X123", "MFG:VORKA;MDL:QP-R60;");
    EnvSetting d("QPCOMM_DEV_DIR", dev);
    EnvSetting s("QPCOMM_SYS_DIR", sys);
    std::vector<PortInfo> ports;
    ASSERT_TRUE(DeviceEnumerator().enumerate("USB", &ports));
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_STREQ(reinterpret_cast<const char*>(ports[0].usbDeviceId),
                 "MFG:VORKA;MDL:QP-R60;CMD:ESC/VRK;");
    EXPECT_STREQ(reinterpret_cast<const char*>(ports[1].usbDeviceId), "SN:X123;");
    EXPECT_EQ(toUtf8(ports[1].deviceName), "QP-R60");
}

TEST_F(DeviceFolder, UsbPrinterIsFoundAgainUnderAnotherNumber)
{
    addDevice("usb/lp0");
    addUsbIdentity(0, "AAA", "MDL:QP-R60;");
    EnvSetting d("QPCOMM_DEV_DIR", dev);
    EnvSetting s("QPCOMM_SYS_DIR", sys);
    const uint8_t id[] = "SN:AAA;";
    DeviceEnumerator devices;
    EXPECT_EQ(devices.devicePath("USB", "001", id), dev + "/usb/lp0");
    // Unplugged and back as lp2, while another printer took lp0.
    std::filesystem::rename(dev + "/usb/lp0", dev + "/usb/lp2");
    std::filesystem::rename(sys + "/class/usbmisc/lp0", sys + "/class/usbmisc/lp2");
    addDevice("usb/lp0");
    addUsbIdentity(0, "BBB", "MDL:QP-R60;");
    EXPECT_EQ(devices.devicePath("USB", "001", id), dev + "/usb/lp2");
    const uint8_t gone[] = "SN:CCC;";
    EXPECT_EQ(devices.devicePath("USB", "001", gone), "");
    // Without an identification the name alone decides.
    EXPECT_EQ(devices.devicePath("USB", "001", nullptr), dev + "/usb/lp0");
}

TEST(Capabilities, TheFeatureFlagsTheUtilityAsksFor)
{
    TempDir dir;
    EnvSetting common("QP60UTIL_COMMON_APPDATA", dir.path());
    CommLibrary lib;
    EXPECT_EQ(lib.setCaller(4), QPC_OK);
    EXPECT_EQ(lib.setCaller(5), QPC_ERR_INVALID_ARGUMENT);
    int32_t caller = -1;
    EXPECT_EQ(lib.getCaller(&caller), QPC_OK);
    EXPECT_EQ(caller, 4);
    EXPECT_EQ(lib.setModelType(0), QPC_OK);
    EXPECT_EQ(lib.setModelType(1), QPC_ERR_NOT_SUPPORTED);
}

} // namespace
