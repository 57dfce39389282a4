#include "printers/communication_setting_logic.h"

#include "app/fixed_text.h"
#include "app/model_profile.h"
#include "comm/comm_lib_binding.h"

#include <QFile>
#include <QStringList>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace addport {

namespace {

// Start modes of a start by the printer driver, in which a series member is accepted.
constexpr int kDriverStartModes[] = {100, 110};

constexpr char16_t kUsbPrefix[] = u"USB-";

// The layout table: per control, the text number in each interface column, or kHidden.
constexpr int kHidden = -2;
constexpr int kKeep = -1;
struct LayoutRow
{
    int controlId;
    int column[kInterfaceCount]; // serial, parallel, USB, Ethernet, Bluetooth
};
constexpr LayoutRow kLayout[] = {
    {ctl::kPortLabel, {1, 1, 1, 10, 1}},
    {ctl::kBitLengthLabel, {2, kHidden, kHidden, kHidden, kHidden}},
    {ctl::kBaudRateLabel, {3, kHidden, kHidden, kHidden, kHidden}},
    {ctl::kParityLabel, {7, kHidden, kHidden, kHidden, kHidden}},
    {ctl::kFlowControlLabel, {8, kHidden, kHidden, kHidden, kHidden}},
    {ctl::kPortCombo, {kKeep, kKeep, kKeep, kHidden, kKeep}},
    {ctl::kBitLength, {kKeep, kHidden, kHidden, kHidden, kHidden}},
    {ctl::kBaudRate, {kKeep, kHidden, kHidden, kHidden, kHidden}},
    {ctl::kParity, {kKeep, kHidden, kHidden, kHidden, kHidden}},
    {ctl::kFlowControl, {kKeep, kHidden, kHidden, kHidden, kHidden}},
    {ctl::kAddress, {kHidden, kHidden, kHidden, kKeep, kHidden}},
    {ctl::kNetworkSearch, {kHidden, kHidden, kHidden, 9, kHidden}},
    {ctl::kPortSearch, {9, 9, 9, kHidden, 9}},
    {ctl::kFoundPrinters, {kHidden, kHidden, kHidden, kKeep, kHidden}},
    {ctl::kNetworkTool, {kHidden, kHidden, kHidden, 11, kHidden}},
    {ctl::kPortTool, {12, 12, kHidden, kHidden, kHidden}},
    {ctl::kConnector, {kHidden, kHidden, kHidden, kHidden, 1034}},
};

template <size_t N> bool SetText(QpuChar16 (&field)[N], const QString& text)
{
    return SetFixedText(field, text);
}

} // namespace

bool IsValidInterface(int index)
{
    return index >= 0 && index < kInterfaceCount;
}

int PortTypeOf(int interfaceIndex)
{
    return IsValidInterface(interfaceIndex) ? interfaceIndex + 1 : PortTypeNone;
}

std::vector<ControlState> LayoutFor(int interfaceIndex)
{
    std::vector<ControlState> rows;
    rows.reserve(std::size(kLayout));
    for (const LayoutRow& row : kLayout) {
        ControlState state{row.controlId, false, kKeep};
        if (IsValidInterface(interfaceIndex) && row.column[interfaceIndex] != kHidden) {
            state.shown = true;
            state.textNumber = row.column[interfaceIndex];
        }
        rows.push_back(state);
    }
    return rows;
}

ButtonPlan PlanInterfaceButtons(const int32_t (&interfaceSlots)[5], int32_t defaultInterface)
{
    ButtonPlan plan;
    for (const int32_t slot : interfaceSlots) {
        if (slot == -1)
            break;
        if (!IsValidInterface(slot) ||
            std::ranges::find(plan.shownInOrder, slot) != plan.shownInOrder.end())
            continue;
        plan.shownInOrder.push_back(slot);
    }
    if (plan.shownInOrder.empty())
        return plan;
    const bool defaultOffered =
        std::ranges::find(plan.shownInOrder, defaultInterface) != plan.shownInOrder.end();
    plan.current = defaultOffered ? defaultInterface : plan.shownInOrder.front();
    return plan;
}

QString EnumKeyword(int interfaceIndex, bool bluetoothOffered)
{
    switch (interfaceIndex) {
    case kSerial:
        return bluetoothOffered ? QStringLiteral("SERIAL")
                                : QStringLiteral(QPU_PORT_KEYWORD_SERIAL);
    case kParallel:
        return QStringLiteral(QPU_PORT_KEYWORD_PARALLEL);
    case kUsb:
        return QStringLiteral(QPU_PORT_KEYWORD_USB);
    case kEthernet:
        return QStringLiteral(QPU_PORT_KEYWORD_ETHERNET);
    case kBluetooth:
        return QStringLiteral(QPU_PORT_KEYWORD_BLUETOOTH);
    default:
        return {};
    }
}

QString DisplayPrefix(int interfaceIndex)
{
    return interfaceIndex == kUsb ? QString::fromUtf16(kUsbPrefix) : QString();
}

QString PortNameFromDisplay(int interfaceIndex, const QString& displayText)
{
    QString name = displayText;
    if (interfaceIndex == kUsb)
        name.remove(QString::fromUtf16(kUsbPrefix));
    return name;
}

uint32_t ParseFoundAddress(const QString& text)
{
    // "%u" skips leading white space, takes an optional sign and digits; a failed
    // conversion stops the scan, so that part and every later one stay 0.
    uint32_t octets[4] = {0, 0, 0, 0};
    qsizetype pos = 0;
    const qsizetype size = text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= size || text[pos] != u'.')
                break;
            ++pos;
        }
        while (pos < size && text[pos].isSpace())
            ++pos;
        bool negative = false;
        if (pos < size && (text[pos] == u'+' || text[pos] == u'-')) {
            negative = text[pos] == u'-';
            ++pos;
        }
        const qsizetype digitsStart = pos;
        uint64_t value = 0;
        while (pos < size && text[pos] >= u'0' && text[pos] <= u'9') {
            value = std::min<uint64_t>(value * 10 + (text[pos].unicode() - u'0'), 0xFFFFFFFFull);
            ++pos;
        }
        if (pos == digitsStart)
            break;
        // A negative number read by "%u" wraps to a large unsigned value.
        const uint32_t number = negative && value != 0
                                    ? 0xFFFFFFFFu - static_cast<uint32_t>(value) + 1
                                    : static_cast<uint32_t>(value);
        octets[part] = std::min<uint32_t>(number, 255);
    }
    return (octets[0] << 24) | (octets[1] << 16) | (octets[2] << 8) | octets[3];
}

QString FormatAddress(uint32_t address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

std::optional<PortInfo> BuildPortInfo(const PortSetting& setting)
{
    PortInfo port;
    std::memset(&port, 0, sizeof port);
    port.reserved1 = -1;
    port.reserved2 = -1;
    bool fits = SetText(port.deviceName, setting.deviceName);
    switch (setting.portType) {
    case PortTypeSerial:
        fits = fits && SetText(port.interfaceKeyword, QStringLiteral(QPU_PORT_KEYWORD_SERIAL)) &&
               SetText(port.portName, setting.portName);
        port.serialParamsPresent = 1;
        port.dataBitsCode = setting.bitLength;
        port.baudRateCode = setting.baudRate;
        port.parityCode = setting.parity;
        break;
    case PortTypeParallel:
        fits = fits && SetText(port.interfaceKeyword, QStringLiteral(QPU_PORT_KEYWORD_PARALLEL)) &&
               SetText(port.portName, setting.portName);
        break;
    case PortTypeBluetooth:
        fits = fits && SetText(port.interfaceKeyword, QStringLiteral(QPU_PORT_KEYWORD_BLUETOOTH)) &&
               SetText(port.portName, setting.portName);
        break;
    case PortTypeUsb:
        fits = fits && SetText(port.interfaceKeyword, QStringLiteral(QPU_PORT_KEYWORD_USB)) &&
               SetText(port.portName, setting.portName);
        std::memcpy(port.usbDeviceId, setting.usbDeviceId.data(), sizeof port.usbDeviceId);
        break;
    case PortTypeEthernet:
        // 0.0.0.0 (a blank address control) names no printer; connecting to it would
        // reach this computer instead.
        if (setting.address == 0)
            return std::nullopt;
        fits = fits && SetText(port.interfaceKeyword, QStringLiteral(QPU_PORT_KEYWORD_ETHERNET)) &&
               SetText(port.portName, FormatAddress(setting.address));
        break;
    default:
        return std::nullopt;
    }
    if (!fits)
        return std::nullopt;
    return port;
}

QString RecordText(const QpuChar16 (&field)[QPU_TEXT_UNITS])
{
    return FixedText(field);
}

DeviceBuffer::DeviceBuffer()
{
    Reset();
}

void DeviceBuffer::Reset()
{
    m_records.assign(kInitialCapacity, PortInfo{});
    m_pointers.clear();
    m_count = 0;
}

int32_t DeviceBuffer::Call(const CommLibTable* table, const std::u16string& keyword,
                           uint32_t* count)
{
    m_pointers.resize(m_records.size());
    for (size_t i = 0; i < m_records.size(); ++i)
        m_pointers[i] = &m_records[i];
    *count = 0;
    return QpcCall(table, &CommLibTable::EnumDevPort,
                   reinterpret_cast<const QpuChar16*>(keyword.c_str()), m_pointers.data(),
                   static_cast<uint32_t>(m_pointers.size()), count);
}

int DeviceBuffer::Enumerate(const CommLibTable* table, const QString& keyword)
{
    m_count = 0;
    if (!IsCommLibBound(table))
        return 0;
    const std::u16string key = keyword.toStdU16String();
    uint32_t count = 0;
    int32_t result = Call(table, key, &count);
    if (result == QPC_OK && count > Capacity()) {
        m_records.assign(count, PortInfo{});
        result = Call(table, key, &count);
    }
    if (result != QPC_OK)
        return 0;
    // A library that reports yet more devices on the second call fills only what fits.
    m_count = static_cast<int>(std::min(count, Capacity()));
    return m_count;
}

const PortInfo* DeviceBuffer::Record(int i) const
{
    return i >= 0 && i < m_count ? &m_records[static_cast<size_t>(i)] : nullptr;
}

bool DeviceNameAccepted(const QString& deviceName, int startMode)
{
    if (std::ranges::find(kDriverStartModes, startMode) != std::end(kDriverStartModes))
        return ModelSeriesMatch(deviceName);
    return deviceName == QString::fromUtf16(kServedModelName);
}

TestOutcome RunCommunicationTest(const CommLibTable* table, const PortSetting& setting,
                                 int startMode, PortInfo* tested, int32_t* result)
{
    int32_t ignored = QPC_OK;
    int32_t& answer = result ? *result : ignored;
    std::optional<PortInfo> port = BuildPortInfo(setting);
    answer = !port ? QPC_ERR_INVALID_ARGUMENT : QPC_ERR_NOT_BOUND;
    if (!port || !IsCommLibBound(table))
        return TestOutcome::CommError;
    answer = QpcCall(table, &CommLibTable::CommunicationTest, &*port);
    if (answer != QPC_OK) {
        QpcCall(table, &CommLibTable::Close);
        return TestOutcome::CommError;
    }
    if (!DeviceNameAccepted(RecordText(port->deviceName), startMode))
        return TestOutcome::WrongModel;
    if (tested)
        *tested = *port;
    return TestOutcome::Success;
}

QString SerialFromIdentification(const uint8_t (&identification)[260])
{
    const QByteArray text(
        reinterpret_cast<const char*>(identification),
        static_cast<qsizetype>(
            strnlen(reinterpret_cast<const char*>(identification), sizeof identification)));
    for (const QByteArray& field : text.split(';')) {
        const QByteArray trimmed = field.trimmed();
        if (trimmed.startsWith("SN:"))
            return QString::fromLatin1(trimmed.mid(3)).trimmed();
    }
    return {};
}

namespace {

// The serial line and pseudo-terminal slave devices of the kernel's terminal driver table:
// lines of driver name, node prefix, major, minor or first-last minor, and type.
bool IsSerialLine(dev_t device, const QString& ttyDrivers)
{
    QFile table(ttyDrivers);
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QStringList lines = QString::fromLatin1(table.readAll()).split(u'\n');
    for (const QString& line : lines) {
        const QStringList fields = line.simplified().split(u' ', Qt::SkipEmptyParts);
        if (fields.size() < 5)
            continue;
        const QString& type = fields.last();
        if (type != QLatin1String("serial") && type != QLatin1String("pty:slave"))
            continue;
        const QStringList minors = fields[fields.size() - 2].split(u'-');
        bool ok = false;
        const uint majorNumber = fields[fields.size() - 3].toUInt(&ok);
        const uint first = minors.value(0).toUInt(&ok);
        const uint last = minors.size() > 1 ? minors[1].toUInt() : first;
        if (ok && major(device) == majorNumber && minor(device) >= first && minor(device) <= last)
            return true;
    }
    return false;
}

// Parallel printer nodes (major 6) and USB printer nodes (major 180, minors 0 to 15).
bool IsPrinterNode(dev_t device)
{
    return major(device) == 6 || (major(device) == 180 && minor(device) < 16);
}

} // namespace

int32_t CheckTypedDevicePath(const QString& typed, QString* devicePath, const QString& ttyDrivers)
{
    const QString trimmed = typed.trimmed();
    QString path = trimmed;
    if (!trimmed.startsWith(u'/')) {
        const QString folder = qEnvironmentVariable("QPCOMM_DEV_DIR");
        path = (folder.isEmpty() ? QStringLiteral("/dev") : folder) + u'/' + trimmed;
    }
    if (devicePath)
        *devicePath = path;
    if (trimmed.isEmpty())
        return QPC_ERR_NOT_FOUND;
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == EACCES ? QPC_ERR_ACCESS_DENIED : QPC_ERR_NOT_FOUND;
    if (!S_ISCHR(info.st_mode))
        return QPC_ERR_NOT_SUPPORTED;
    if (!IsPrinterNode(info.st_rdev) && !IsSerialLine(info.st_rdev, ttyDrivers))
        return QPC_ERR_NOT_SUPPORTED;
    return QPC_OK;
}

} // namespace addport
