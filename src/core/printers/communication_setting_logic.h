#pragma once

#include <qpu/comm_lib.h>
#include <qpu/port_info.h>

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The decisions of the add-port dialog that need no window: which controls each interface
// shows, where the interface buttons go, how ports are enumerated, how the user's choice
// becomes a PortInfo, and what a communication test result means. CCommunicationSettingDlg
// only moves values between these functions and its controls.
namespace addport {

// Interface buttons in id order; the index is PortType - 1.
enum InterfaceIndex : int
{
    kSerial = 0,
    kParallel = 1,
    kUsb = 2,
    kEthernet = 3,
    kBluetooth = 4,
};
inline constexpr int kInterfaceCount = 5;
// The interface chosen before initialisation decides.
inline constexpr int kInitialInterface = kUsb;

bool IsValidInterface(int index);
// The PortType code of an interface (index + 1), PortTypeNone for an invalid index.
int PortTypeOf(int interfaceIndex);

// Control ids of the dialog (template 139).
namespace ctl {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kInterfaceFirst = 2000; // 2000..2004, button index = id - 2000
inline constexpr int kInstruction = 1030;
inline constexpr int kPortLabel = 1008;
inline constexpr int kBitLengthLabel = 1009;
inline constexpr int kBaudRateLabel = 1010;
inline constexpr int kParityLabel = 1011;
inline constexpr int kFlowControlLabel = 1014;
inline constexpr int kPortCombo = 1016;
inline constexpr int kBitLength = 1017;
inline constexpr int kBaudRate = 1019;
inline constexpr int kParity = 1020;
inline constexpr int kFlowControl = 1021;
inline constexpr int kAddress = 1012;
inline constexpr int kNetworkSearch = 1013;
inline constexpr int kPortSearch = 1022;
inline constexpr int kFoundPrinters = 1018;
inline constexpr int kNetworkTool = 1015;
inline constexpr int kPortTool = 1023;
inline constexpr int kConnector = 1034;
inline constexpr int kCommunicationTest = 1026;
} // namespace ctl

// Strings and messages of window "PORT_ADD_DLG".
namespace txt {
inline constexpr int kTitle = 0;
inline constexpr int kInstruction = 13;
inline constexpr int kMsgCommError = 0;
inline constexpr int kMsgTestOk = 1;
inline constexpr int kMsgWrongModel = 2;
inline constexpr int kMsgNotFound = 3;
} // namespace txt

// One row of the per-interface layout: the control is shown (enabled and visible) or hidden
// (disabled and invisible); textNumber >= 0 names the string whose text it gets (empty when
// the language file lacks it), -1 leaves its text alone.
struct ControlState
{
    int controlId = 0;
    bool shown = false;
    int textNumber = -1;
};

// The 17 rows of the layout table for an interface, in the table's order. An invalid index
// hides every row.
std::vector<ControlState> LayoutFor(int interfaceIndex);

// Where the interface buttons go: the offered interfaces in display order (the k-th goes to
// the k-th button position) and the interface that starts selected.
struct ButtonPlan
{
    std::vector<int> shownInOrder;
    int current = kInitialInterface;
};

// From the interface slots of AppState (ended by the first -1, at most five) and the
// default interface. A default that is not offered is replaced by the first offered one.
// Slots that name no interface, and repeats, are skipped so that no button is placed twice;
// with nothing valid offered, no button shows and the initial interface stays current.
ButtonPlan PlanInterfaceButtons(const int32_t (&interfaceSlots)[5], int32_t defaultInterface);

// The keyword QPC_EnumDevPort gets: serial "COM" ("SERIAL" when Bluetooth is offered, so
// that the library lists Bluetooth serial ports too), parallel "LPT", USB "USB", Bluetooth
// "BT", Ethernet "NET".
QString EnumKeyword(int interfaceIndex, bool bluetoothOffered);
// What the port combo shows before a port name: "USB-" for USB, nothing otherwise.
QString DisplayPrefix(int interfaceIndex);
// The port name of a combo text: every "USB-" removed for USB, unchanged otherwise.
QString PortNameFromDisplay(int interfaceIndex, const QString& displayText);

// The address of a found-printer entry, read as "%u.%u.%u.%u": four unsigned decimal
// numbers separated by points; a part that cannot be read counts as 0 (and so does every
// part after it), a part above 255 counts as 255. First octet in the highest byte.
uint32_t ParseFoundAddress(const QString& text);
// "%d.%d.%d.%d" of an address, first octet first.
QString FormatAddress(uint32_t address);

// What the user chose, read from the controls.
struct PortSetting
{
    int portType = PortTypeNone;
    QString deviceName;
    QString portName;
    std::array<uint8_t, 260> usbDeviceId{};
    // Item values of the chosen serial list entries.
    int32_t bitLength = 0;
    int32_t baudRate = 0;
    int32_t parity = 0;
    int32_t flowControl = 0;
    uint32_t address = 0; // Ethernet
};

// The PortInfo of a setting: zeroed, both reserved numbers -1, the device name and, by type,
// keyword, port name and the serial codes, the USB identification or the dotted address.
// nullopt for a type that is no interface, an Ethernet address 0.0.0.0, or when a text does
// not fit its field.
std::optional<PortInfo> BuildPortInfo(const PortSetting& setting);

// A fixed-size record text as a QString (up to the first zero).
QString RecordText(const QpuChar16 (&field)[QPU_TEXT_UNITS]);

// The room for the records of one enumeration: 128 zeroed PortInfo records at first, grown
// once when the library reports more devices than fit. Records stay put until the next
// Reset, so combo and list entries may refer to them by index.
class DeviceBuffer
{
public:
    static constexpr uint32_t kInitialCapacity = 128;

    DeviceBuffer();
    // Replaces the buffer by a new zeroed one for kInitialCapacity records.
    void Reset();
    // Enumerates the devices of keyword through the library into the buffer and answers how
    // many records were filled (0 when the library is not bound or the call fails). When the
    // count exceeds the capacity, the buffer grows to that count and the call is repeated
    // once; never more records than the buffer holds are reported.
    int Enumerate(const CommLibTable* table, const QString& keyword);

    int Count() const { return m_count; }
    uint32_t Capacity() const { return static_cast<uint32_t>(m_records.size()); }
    // Record i of the last enumeration; null outside 0..Count()-1.
    const PortInfo* Record(int i) const;

private:
    int32_t Call(const CommLibTable* table, const std::u16string& keyword, uint32_t* count);

    std::vector<PortInfo> m_records;
    std::vector<PortInfo*> m_pointers;
    int m_count = 0;
};

// The meaning of a communication test.
enum class TestOutcome
{
    Success,    // the served model answered
    WrongModel, // a printer answered with another model name: message 2
    CommError,  // no record, library not bound, or the printer did not answer: message 0
};

// Whether a reported device name is the served model: in start modes 100 and 110 (started
// by the printer driver) any member of its series (ModelSeriesMatch), otherwise exactly
// "QP-R60".
bool DeviceNameAccepted(const QString& deviceName, int startMode);

// Runs the communication test of a setting: builds the record, calls QPC_CommunicationTest
// when the library is bound and judges the device name the library wrote. After a failed
// call the port is closed (QPC_Close). On Success *tested holds the record with the name
// the printer reported. *result, when given, receives the library's answer
// (QPC_ERR_INVALID_ARGUMENT without a record, QPC_ERR_NOT_BOUND without the library).
TestOutcome RunCommunicationTest(const CommLibTable* table, const PortSetting& setting,
                                 int startMode, PortInfo* tested, int32_t* result = nullptr);

// The serial number in a record's opaque identification ("SN:<serial>;", as the library
// gives it for USB printers and for printers that answered a network search); empty when
// it holds none.
QString SerialFromIdentification(const uint8_t (&identification)[260]);

// A device path the user typed into the port list, checked as the communication library
// checks the device paths of driver ports: the path (absolute, or a name in the device
// folder $QPCOMM_DEV_DIR, default /dev) must be a character device that is a serial line,
// the slave side of a pseudo-terminal or a printer node. QPC_OK; QPC_ERR_NOT_FOUND,
// QPC_ERR_ACCESS_DENIED, or QPC_ERR_NOT_SUPPORTED for anything else. *devicePath receives
// the path that was checked. ttyDrivers is the kernel's table of terminal drivers.
int32_t CheckTypedDevicePath(const QString& typed, QString* devicePath,
                             const QString& ttyDrivers = QStringLiteral("/proc/tty/drivers"));

} // namespace addport
