#include "mainwnd/status_fields.h"

#include "pages/printer_info_block.h"

#include <algorithm>

namespace {

constexpr int kStartModePortPath = 3;
constexpr int kStartModeNoPrinter = 4;

QString FixedText(const QpuChar16 (&field)[QPU_TEXT_UNITS])
{
    const QpuChar16* end = std::find(field, field + QPU_TEXT_UNITS, QpuChar16(0));
    return QString::fromUtf16(field, end - field);
}

// "queue@host" for a driver port path such as "//host/printers/queue".
QString DriverPortText(const QString& driverPortPath)
{
    const QString port = driverPortPath.mid(driverPortPath.lastIndexOf(QLatin1Char('/')) + 1);
    QString host;
    const qsizetype hostStart = driverPortPath.indexOf(QLatin1String("//"));
    if (hostStart >= 0) {
        const qsizetype from = hostStart + 2;
        const qsizetype slash = driverPortPath.indexOf(QLatin1Char('/'), from);
        host = driverPortPath.mid(from, slash < 0 ? -1 : slash - from);
    }
    return port + QLatin1Char('@') + host;
}

} // namespace

int StatusPortTypeCode(const PortInfo& port)
{
    if (port.driverPortFlag == 1)
        return kStatusPortDriverPath;
    const QString keyword = FixedText(port.interfaceKeyword);
    const struct
    {
        const char* keyword;
        int code;
    } kKeywords[] = {
        {QPU_PORT_KEYWORD_SERIAL, PortTypeSerial},
        {QPU_PORT_KEYWORD_PARALLEL, PortTypeParallel},
        {QPU_PORT_KEYWORD_USB, PortTypeUsb},
        {QPU_PORT_KEYWORD_ETHERNET, PortTypeEthernet},
        {QPU_PORT_KEYWORD_BLUETOOTH, PortTypeBluetooth},
    };
    for (const auto& entry : kKeywords) {
        if (keyword == QLatin1String(entry.keyword))
            return entry.code;
    }
    return PortTypeNone;
}

QString StatusModelLine(const QString& modelName, const QString& firmwareText, int startMode)
{
    if (!modelName.isEmpty() && !firmwareText.isEmpty())
        return modelName + QLatin1Char(' ') + firmwareText;
    return startMode == kStartModeNoPrinter ? QStringLiteral("QP-R60") : QStringLiteral("Unknown");
}

QString StatusCharacterSet(const QString& characterSet, const QString& firmwareText)
{
    if (!characterSet.isEmpty() && characterSet[0] != QLatin1Char(' '))
        return characterSet;
    return firmwareText.contains(QLatin1String("ESC/VRK-A")) ? QStringLiteral("South Asia")
                                                             : QStringLiteral("Alphanumeric");
}

QString StatusSerialLine(const QString& serialNumber, const StatusFieldLabels& labels)
{
    return labels.serial + QLatin1Char(' ') +
           (serialNumber.isEmpty() ? labels.unknown : serialNumber);
}

QString StatusPortText(int portTypeCode, const QString& portName, const QString& driverPortPath,
                       int startMode, const StatusFieldLabels& labels)
{
    switch (portTypeCode) {
    case PortTypeUsb:
        return QStringLiteral("USB-") + portName;
    case PortTypeSerial:
    case PortTypeParallel:
    case PortTypeEthernet:
        return portName;
    case kStatusPortDriverPath:
        return startMode == kStartModePortPath ? DriverPortText(driverPortPath) : labels.unknown;
    default:
        return startMode == kStartModeNoPrinter ? QString() : portName;
    }
}

QString StatusPortLine(const PortInfo& port, int startMode, const StatusFieldLabels& labels)
{
    return labels.port + QLatin1Char(' ') +
           StatusPortText(StatusPortTypeCode(port), FixedText(port.portName),
                          FixedText(port.driverPortPath), startMode, labels);
}

StatusFieldTexts StatusFields(const PrinterInfoBlock& block, const PortInfo& port, int startMode,
                              const StatusFieldLabels& labels)
{
    const QString firmware = Text(block, PrinterInfoText::FirmwareText);
    StatusFieldTexts texts;
    texts.modelLine = StatusModelLine(Text(block, PrinterInfoText::ModelName), firmware, startMode);
    texts.portLine = StatusPortLine(port, startMode, labels);
    texts.characterSet = StatusCharacterSet(Text(block, PrinterInfoText::CharacterSet), firmware);
    texts.serialLine = StatusSerialLine(Text(block, PrinterInfoText::SerialNumber), labels);
    return texts;
}
