// The add-port decisions without a window: layout per interface, button placement, the
// enumeration keyword, found-printer addresses, the port record's bytes, the enumeration
// buffer against a scripted library, and the meaning of a communication test.
#include "printers/communication_setting_logic.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace addport;

namespace {

std::u16string U16(const char* text)
{
    std::u16string out;
    for (const char* p = text; *p; ++p)
        out.push_back(static_cast<char16_t>(*p));
    return out;
}

template <size_t N> std::string Utf8(const QpuChar16 (&field)[N])
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(field)).toStdString();
}

int32_t ReadI32(const PortInfo& port, size_t offset)
{
    int32_t value = 0;
    std::memcpy(&value, reinterpret_cast<const uint8_t*>(&port) + offset, sizeof value);
    return value;
}

std::string TextAt(const PortInfo& port, size_t offset)
{
    const auto* units =
        reinterpret_cast<const char16_t*>(reinterpret_cast<const uint8_t*>(&port) + offset);
    return QString::fromUtf16(units).toStdString();
}

// ---------------------------------------------------------------------------------------
// A scripted library: what EnumDevPort reports on each call and what CommunicationTest
// answers.
struct Script
{
    std::vector<uint32_t> reportCounts; // one per call; the last repeats
    int32_t enumResult = QPC_OK;
    int enumCalls = 0;
    std::vector<uint32_t> capacities;
    std::vector<std::string> keywords;

    int32_t testResult = QPC_OK;
    std::string reportedName = "QP-R60";
    int testCalls = 0;
    PortInfo testedRecord{};
    int closeCalls = 0;
};
Script g_script;

int32_t FakeEnumDevPort(const QpuChar16* keyword, PortInfo** list, uint32_t capacity,
                        uint32_t* count)
{
    Script& s = g_script;
    const size_t call = static_cast<size_t>(s.enumCalls++);
    s.capacities.push_back(capacity);
    s.keywords.push_back(
        QString::fromUtf16(reinterpret_cast<const char16_t*>(keyword)).toStdString());
    const uint32_t found =
        s.reportCounts.empty() ? 0 : s.reportCounts[std::min(call, s.reportCounts.size() - 1)];
    *count = found;
    for (uint32_t i = 0; i < capacity && i < found; ++i) {
        const std::u16string name = U16(("port" + std::to_string(i)).c_str());
        std::memcpy(list[i]->portName, name.c_str(), (name.size() + 1) * 2);
    }
    return s.enumResult;
}

int32_t FakeCommunicationTest(PortInfo* port)
{
    Script& s = g_script;
    ++s.testCalls;
    s.testedRecord = *port;
    if (s.testResult == QPC_OK) {
        const std::u16string name = U16(s.reportedName.c_str());
        std::memset(port->deviceName, 0, sizeof port->deviceName);
        std::memcpy(port->deviceName, name.c_str(), (name.size() + 1) * 2);
    }
    return s.testResult;
}

int32_t FakeClose()
{
    ++g_script.closeCalls;
    return QPC_OK;
}

class ScriptedLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_script = Script{};
        std::memset(&m_table, 0, sizeof m_table);
        m_table.module = &m_module;
        m_table.EnumDevPort = &FakeEnumDevPort;
        m_table.CommunicationTest = &FakeCommunicationTest;
        m_table.Close = &FakeClose;
    }

    PortSetting SerialSetting() const
    {
        PortSetting s;
        s.portType = PortTypeSerial;
        s.deviceName = QStringLiteral("QP-R60");
        s.portName = QStringLiteral("ttyUSB0");
        s.bitLength = 8;
        s.baudRate = 9600;
        s.parity = 0;
        return s;
    }

    int m_module = 0;
    CommLibTable m_table{};
};

} // namespace

// ---------------------------------------------------------------------------------------

TEST(AddPortLayout, EveryInterfaceShowsItsControlsWithTheirTexts)
{
    // Column per interface: "-" hidden, "s" shown without text, a number: shown with string.
    const std::map<int, std::vector<std::string>> expected = {
        {1008, {"1", "1", "1", "10", "1"}},   {1009, {"2", "-", "-", "-", "-"}},
        {1010, {"3", "-", "-", "-", "-"}},    {1011, {"7", "-", "-", "-", "-"}},
        {1014, {"8", "-", "-", "-", "-"}},    {1016, {"s", "s", "s", "-", "s"}},
        {1017, {"s", "-", "-", "-", "-"}},    {1019, {"s", "-", "-", "-", "-"}},
        {1020, {"s", "-", "-", "-", "-"}},    {1021, {"s", "-", "-", "-", "-"}},
        {1012, {"-", "-", "-", "s", "-"}},    {1013, {"-", "-", "-", "9", "-"}},
        {1022, {"9", "9", "9", "-", "9"}},    {1018, {"-", "-", "-", "s", "-"}},
        {1015, {"-", "-", "-", "11", "-"}},   {1023, {"12", "12", "-", "-", "-"}},
        {1034, {"-", "-", "-", "-", "1034"}},
    };
    for (int i = 0; i < kInterfaceCount; ++i) {
        const std::vector<ControlState> rows = LayoutFor(i);
        ASSERT_EQ(rows.size(), expected.size());
        for (const ControlState& row : rows) {
            const std::string cell = expected.at(row.controlId)[static_cast<size_t>(i)];
            SCOPED_TRACE("interface " + std::to_string(i) + " control " +
                         std::to_string(row.controlId));
            EXPECT_EQ(row.shown, cell != "-");
            EXPECT_EQ(row.textNumber, cell == "-" || cell == "s" ? -1 : std::stoi(cell));
        }
    }
    for (const ControlState& row : LayoutFor(5))
        EXPECT_FALSE(row.shown) << row.controlId;
    for (const ControlState& row : LayoutFor(-1))
        EXPECT_FALSE(row.shown) << row.controlId;
}

TEST(AddPortButtons, OfferedInterfacesTakeThePositionsInProfileOrder)
{
    // USB and serial, in that order: USB first, serial second, the rest hidden.
    ButtonPlan plan = PlanInterfaceButtons({kUsb, kSerial, -1, -1, -1}, kSerial);
    EXPECT_EQ(plan.shownInOrder, (std::vector<int>{kUsb, kSerial}));
    EXPECT_EQ(plan.current, kSerial);

    // A default that is not offered gives way to the first offered interface.
    plan = PlanInterfaceButtons({kEthernet, kBluetooth, -1, -1, -1}, kUsb);
    EXPECT_EQ(plan.current, kEthernet);
    plan = PlanInterfaceButtons({kEthernet, kBluetooth, -1, -1, -1}, -1);
    EXPECT_EQ(plan.current, kEthernet);

    // The first -1 ends the list even when more slots follow.
    plan = PlanInterfaceButtons({kSerial, -1, kUsb, kEthernet, kBluetooth}, kUsb);
    EXPECT_EQ(plan.shownInOrder, (std::vector<int>{kSerial}));
    EXPECT_EQ(plan.current, kSerial);

    // All five, any order.
    plan = PlanInterfaceButtons({4, 3, 2, 1, 0}, 1);
    EXPECT_EQ(plan.shownInOrder, (std::vector<int>{4, 3, 2, 1, 0}));
    EXPECT_EQ(plan.current, 1);
}

TEST(AddPortButtons, ValuesThatNameNoInterfaceAndRepeatsAreSkipped)
{
    ButtonPlan plan = PlanInterfaceButtons({7, kParallel, kParallel, -5, kUsb}, 7);
    EXPECT_EQ(plan.shownInOrder, (std::vector<int>{kParallel, kUsb}));
    EXPECT_EQ(plan.current, kParallel);

    // Nothing offered: no button, the initial interface stays.
    plan = PlanInterfaceButtons({-1, -1, -1, -1, -1}, kSerial);
    EXPECT_TRUE(plan.shownInOrder.empty());
    EXPECT_EQ(plan.current, kInitialInterface);
}

TEST(AddPortPorts, KeywordPrefixAndPortName)
{
    EXPECT_EQ(EnumKeyword(kSerial, false), QStringLiteral("COM"));
    EXPECT_EQ(EnumKeyword(kSerial, true), QStringLiteral("SERIAL"));
    EXPECT_EQ(EnumKeyword(kParallel, true), QStringLiteral("LPT"));
    EXPECT_EQ(EnumKeyword(kUsb, false), QStringLiteral("USB"));
    EXPECT_EQ(EnumKeyword(kEthernet, false), QStringLiteral("NET"));
    EXPECT_EQ(EnumKeyword(kBluetooth, true), QStringLiteral("BT"));
    EXPECT_TRUE(EnumKeyword(9, false).isEmpty());

    EXPECT_EQ(DisplayPrefix(kUsb), QStringLiteral("USB-"));
    for (int i : {kSerial, kParallel, kEthernet, kBluetooth})
        EXPECT_TRUE(DisplayPrefix(i).isEmpty()) << i;

    EXPECT_EQ(PortNameFromDisplay(kUsb, QStringLiteral("USB-001")), QStringLiteral("001"));
    // Every occurrence goes, not only the prefix.
    EXPECT_EQ(PortNameFromDisplay(kUsb, QStringLiteral("USB-0USB-1")), QStringLiteral("01"));
    EXPECT_EQ(PortNameFromDisplay(kSerial, QStringLiteral("USB-001")), QStringLiteral("USB-001"));
}

TEST(AddPortAddress, FoundPrinterTextsReadAsFourOctets)
{
    EXPECT_EQ(ParseFoundAddress(QStringLiteral("192.168.0.10")), 0xC0A8000Au);
    // Parts above 255 count as 255.
    EXPECT_EQ(ParseFoundAddress(QStringLiteral("300.1.2.3")), 0xFF010203u);
    EXPECT_EQ(ParseFoundAddress(QStringLiteral("1.2.3.99999999999")), 0x010203FFu);
    // Parts that cannot be read count as 0, and so does everything after them.
    EXPECT_EQ(ParseFoundAddress(QStringLiteral("1.2")), 0x01020000u);
    EXPECT_EQ(ParseFoundAddress(QStringLiteral("1.x.3.4")), 0x01000000u);
    EXPECT_EQ(ParseFoundAddress(QStringLiteral("printer")), 0u);
    EXPECT_EQ(ParseFoundAddress(QString()), 0u);
    // A raw port after the address is not part of it.
    EXPECT_EQ(ParseFoundAddress(QStringLiteral("127.0.0.1:9101")), 0x7F000001u);
    // Blanks before a number are skipped; a negative number wraps and counts as 255.
    EXPECT_EQ(ParseFoundAddress(QStringLiteral(" 10. 20.30.40")), 0x0A141E28u);
    EXPECT_EQ(ParseFoundAddress(QStringLiteral("-1.2.3.4")), 0xFF020304u);

    EXPECT_EQ(FormatAddress(0xC0A8C0A8u), QStringLiteral("192.168.192.168"));
    EXPECT_EQ(FormatAddress(0x0A000001u), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(FormatAddress(0xFFFFFFFFu), QStringLiteral("255.255.255.255"));
}

TEST(AddPortRecord, SerialRecordBytes)
{
    PortSetting s;
    s.portType = PortTypeSerial;
    s.deviceName = QStringLiteral("QP-R60");
    s.portName = QStringLiteral("ttyS0");
    s.bitLength = 7;
    s.baudRate = 19200;
    s.parity = 2;
    s.flowControl = 1;
    const std::optional<PortInfo> port = BuildPortInfo(s);
    ASSERT_TRUE(port);
    EXPECT_EQ(TextAt(*port, 0), "COM");
    EXPECT_EQ(TextAt(*port, 520), "ttyS0");
    EXPECT_EQ(ReadI32(*port, 1040), -1);
    EXPECT_EQ(ReadI32(*port, 1044), -1);
    EXPECT_EQ(ReadI32(*port, 1048), 0);
    EXPECT_EQ(TextAt(*port, 2092), "QP-R60");
    EXPECT_EQ(ReadI32(*port, 2612), 1);
    EXPECT_EQ(ReadI32(*port, 2616), 7);
    EXPECT_EQ(ReadI32(*port, 2620), 19200);
    EXPECT_EQ(ReadI32(*port, 2624), 2);
    EXPECT_EQ(ReadI32(*port, 5760), 0);
    // Nothing outside the fields the dialog fills.
    const auto* bytes = reinterpret_cast<const uint8_t*>(&*port);
    for (size_t i = 1052; i < 2092; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
    for (size_t i = 2628; i < sizeof(PortInfo); ++i)
        ASSERT_EQ(bytes[i], 0) << i;
}

TEST(AddPortRecord, OtherInterfaces)
{
    PortSetting usb;
    usb.portType = PortTypeUsb;
    usb.deviceName = QStringLiteral("QP-R60");
    usb.portName = QStringLiteral("001");
    for (size_t i = 0; i < usb.usbDeviceId.size(); ++i)
        usb.usbDeviceId[i] = static_cast<uint8_t>(i + 1);
    std::optional<PortInfo> port = BuildPortInfo(usb);
    ASSERT_TRUE(port);
    EXPECT_EQ(Utf8(port->interfaceKeyword), "USB");
    EXPECT_EQ(Utf8(port->portName), "001");
    EXPECT_EQ(std::memcmp(port->usbDeviceId, usb.usbDeviceId.data(), 260), 0);
    EXPECT_EQ(port->serialParamsPresent, 0);

    PortSetting net;
    net.portType = PortTypeEthernet;
    net.deviceName = QStringLiteral("QP-R60");
    net.portName = QStringLiteral("ignored");
    net.address = 0x7F000102;
    port = BuildPortInfo(net);
    ASSERT_TRUE(port);
    EXPECT_EQ(Utf8(port->interfaceKeyword), "NET");
    EXPECT_EQ(Utf8(port->portName), "127.0.1.2");

    for (const auto& [type, keyword] :
         {std::pair{PortTypeParallel, "LPT"}, std::pair{PortTypeBluetooth, "BT"}}) {
        PortSetting s;
        s.portType = type;
        s.deviceName = QStringLiteral("QP-R60");
        s.portName = QStringLiteral("dev0");
        s.bitLength = 8; // serial choices do not reach other records
        port = BuildPortInfo(s);
        ASSERT_TRUE(port);
        EXPECT_EQ(Utf8(port->interfaceKeyword), keyword);
        EXPECT_EQ(Utf8(port->portName), "dev0");
        EXPECT_EQ(port->serialParamsPresent, 0);
        EXPECT_EQ(port->dataBitsCode, 0);
        EXPECT_EQ(port->reserved1, -1);
    }
}

TEST(AddPortRecord, NoRecordForUnknownTypesOrTextsThatDoNotFit)
{
    PortSetting s;
    s.deviceName = QStringLiteral("QP-R60");
    s.portName = QStringLiteral("x");
    for (int type : {static_cast<int>(PortTypeNone), 6, -1}) {
        s.portType = type;
        EXPECT_FALSE(BuildPortInfo(s)) << type;
    }
    // A blank address is no printer (0.0.0.0 would reach this computer).
    s.portType = PortTypeEthernet;
    s.address = 0;
    EXPECT_FALSE(BuildPortInfo(s));
    s.address = 1;
    EXPECT_TRUE(BuildPortInfo(s));

    s.portType = PortTypeSerial;
    s.portName = QString(260, u'a');
    EXPECT_FALSE(BuildPortInfo(s));
    s.portName = QString(259, u'a');
    EXPECT_TRUE(BuildPortInfo(s));
}

TEST_F(ScriptedLibrary, EnumerationFillsTheRecordsTheLibraryReports)
{
    g_script.reportCounts = {3};
    DeviceBuffer buffer;
    EXPECT_EQ(buffer.Enumerate(&m_table, QStringLiteral("SERIAL")), 3);
    EXPECT_EQ(g_script.enumCalls, 1);
    EXPECT_EQ(g_script.capacities.at(0), 128u);
    EXPECT_EQ(g_script.keywords.at(0), "SERIAL");
    ASSERT_NE(buffer.Record(2), nullptr);
    EXPECT_EQ(Utf8(buffer.Record(2)->portName), "port2");
    EXPECT_EQ(buffer.Record(3), nullptr);
    EXPECT_EQ(buffer.Record(-1), nullptr);

    // Reset forgets the records.
    buffer.Reset();
    EXPECT_EQ(buffer.Count(), 0);
    EXPECT_EQ(buffer.Record(0), nullptr);
}

TEST_F(ScriptedLibrary, MoreDevicesThanRoomGrowTheBufferOnce)
{
    g_script.reportCounts = {130};
    DeviceBuffer buffer;
    EXPECT_EQ(buffer.Enumerate(&m_table, QStringLiteral("COM")), 130);
    ASSERT_EQ(g_script.enumCalls, 2);
    EXPECT_EQ(g_script.capacities.at(1), 130u);
    EXPECT_EQ(Utf8(buffer.Record(129)->portName), "port129");

    // A library that finds yet more on the repeated call is not asked a third time, and
    // only what fits is reported.
    g_script = Script{};
    g_script.reportCounts = {200, 250};
    DeviceBuffer second;
    EXPECT_EQ(second.Enumerate(&m_table, QStringLiteral("COM")), 200);
    EXPECT_EQ(g_script.enumCalls, 2);
    EXPECT_EQ(second.Capacity(), 200u);
    EXPECT_NE(second.Record(199), nullptr);
    EXPECT_EQ(second.Record(200), nullptr);
}

TEST_F(ScriptedLibrary, FailedOrUnboundEnumerationFindsNothing)
{
    g_script.reportCounts = {5};
    g_script.enumResult = QPC_ERR_INVALID_ARGUMENT;
    DeviceBuffer buffer;
    EXPECT_EQ(buffer.Enumerate(&m_table, QStringLiteral("XYZ")), 0);
    EXPECT_EQ(buffer.Record(0), nullptr);

    g_script = Script{};
    g_script.reportCounts = {5};
    CommLibTable unbound{};
    EXPECT_EQ(buffer.Enumerate(&unbound, QStringLiteral("COM")), 0);
    EXPECT_EQ(buffer.Enumerate(nullptr, QStringLiteral("COM")), 0);
    EXPECT_EQ(g_script.enumCalls, 0);
}

TEST_F(ScriptedLibrary, TestAcceptsOnlyTheServedModelOutsideDriverStarts)
{
    PortInfo tested{};
    EXPECT_EQ(RunCommunicationTest(&m_table, SerialSetting(), 0, &tested), TestOutcome::Success);
    EXPECT_EQ(Utf8(tested.deviceName), "QP-R60");
    EXPECT_EQ(Utf8(tested.portName), "ttyUSB0");
    EXPECT_EQ(tested.baudRateCode, 9600);
    // The library got the built record.
    EXPECT_EQ(Utf8(g_script.testedRecord.interfaceKeyword), "COM");
    EXPECT_EQ(g_script.testedRecord.serialParamsPresent, 1);
    EXPECT_EQ(g_script.closeCalls, 0);

    g_script.reportedName = "QP-R60II";
    PortInfo untouched{};
    EXPECT_EQ(RunCommunicationTest(&m_table, SerialSetting(), 0, &untouched),
              TestOutcome::WrongModel);
    EXPECT_EQ(untouched.deviceName[0], 0);
    EXPECT_EQ(RunCommunicationTest(&m_table, SerialSetting(), 3, &untouched),
              TestOutcome::WrongModel);
    // A printer that answered is not closed.
    EXPECT_EQ(g_script.closeCalls, 0);
}

TEST_F(ScriptedLibrary, DriverStartsAcceptTheWholeSeries)
{
    for (int mode : {100, 110}) {
        g_script.reportedName = "QP-R60II";
        EXPECT_EQ(RunCommunicationTest(&m_table, SerialSetting(), mode, nullptr),
                  TestOutcome::Success)
            << mode;
        g_script.reportedName = "QP-R60 Series";
        EXPECT_EQ(RunCommunicationTest(&m_table, SerialSetting(), mode, nullptr),
                  TestOutcome::Success);
        g_script.reportedName = "QP-R61";
        EXPECT_EQ(RunCommunicationTest(&m_table, SerialSetting(), mode, nullptr),
                  TestOutcome::WrongModel);
    }
    EXPECT_FALSE(DeviceNameAccepted(QStringLiteral("QP-R60 "), 0));
    EXPECT_TRUE(DeviceNameAccepted(QStringLiteral("QP-R60"), 101));
    EXPECT_FALSE(DeviceNameAccepted(QStringLiteral("QP-R60II"), 101));
}

TEST_F(ScriptedLibrary, FailuresAreCommunicationErrorsAndCloseOnlyAfterACall)
{
    g_script.testResult = QPC_ERR_TIMEOUT;
    EXPECT_EQ(RunCommunicationTest(&m_table, SerialSetting(), 0, nullptr), TestOutcome::CommError);
    EXPECT_EQ(g_script.closeCalls, 1);

    // No record: the library is not asked and nothing is closed.
    g_script = Script{};
    PortSetting none = SerialSetting();
    none.portType = PortTypeNone;
    EXPECT_EQ(RunCommunicationTest(&m_table, none, 0, nullptr), TestOutcome::CommError);
    EXPECT_EQ(g_script.testCalls, 0);
    EXPECT_EQ(g_script.closeCalls, 0);

    // Library not bound.
    CommLibTable unbound{};
    EXPECT_EQ(RunCommunicationTest(&unbound, SerialSetting(), 0, nullptr), TestOutcome::CommError);
    EXPECT_EQ(RunCommunicationTest(nullptr, SerialSetting(), 0, nullptr), TestOutcome::CommError);
    EXPECT_EQ(g_script.testCalls, 0);
}

TEST(TypedPort, SerialNumberOfTheIdentificationAndTypedDevicePaths)
{
    const auto id = [](const char* text) {
        PortInfo port{};
        std::memcpy(port.usbDeviceId, text, std::strlen(text));
        return SerialFromIdentification(port.usbDeviceId).toStdString();
    };
    EXPECT_EQ(id("SN:QPR6000001;"), "QPR6000001");
    EXPECT_EQ(id("MFG:VORKA;MDL:QP-R60;SN: QPR6000002 ;"), "QPR6000002");
    EXPECT_EQ(id("MFG:VORKA;MDL:QP-R60;"), "");
    EXPECT_EQ(id(""), "");

    // A table of terminal drivers of the test's own: /dev/null (1:3) is no terminal; the
    // "serial" kind with a minor range names the serial lines.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile table(folder.filePath(QStringLiteral("drivers")));
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write("/dev/tty             /dev/tty        5       0 system:/dev/tty\n"
                "memory-as-serial     /dev/zero       1   5-5 serial\n");
    table.close();
    QString path;
    EXPECT_EQ(CheckTypedDevicePath(QStringLiteral("/dev/zero"), &path, table.fileName()), QPC_OK);
    EXPECT_EQ(path, QStringLiteral("/dev/zero"));
    EXPECT_EQ(CheckTypedDevicePath(QStringLiteral("/dev/null"), &path, table.fileName()),
              QPC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(CheckTypedDevicePath(folder.path(), &path, table.fileName()), QPC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(
        CheckTypedDevicePath(folder.filePath(QStringLiteral("none")), &path, table.fileName()),
        QPC_ERR_NOT_FOUND);
    EXPECT_EQ(CheckTypedDevicePath(QString(), &path, table.fileName()), QPC_ERR_NOT_FOUND);
    // A bare name is looked for in the device folder.
    qputenv("QPCOMM_DEV_DIR", folder.path().toUtf8());
    EXPECT_EQ(CheckTypedDevicePath(QStringLiteral("drivers"), &path, table.fileName()),
              QPC_ERR_NOT_SUPPORTED);
    EXPECT_EQ(path, table.fileName());
    qunsetenv("QPCOMM_DEV_DIR");
}
