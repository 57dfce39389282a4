#include "mainwnd/status_fields.h"

#include "pages/printer_info_block.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void SetField(QpuChar16 (&field)[QPU_TEXT_UNITS], const QString& text)
{
    std::memset(field, 0, sizeof(field));
    std::memcpy(field, text.utf16(), size_t(text.size()) * sizeof(QpuChar16));
}

PortInfo Port(const QString& keyword, const QString& name)
{
    PortInfo port;
    std::memset(&port, 0, sizeof(port));
    SetField(port.interfaceKeyword, keyword);
    SetField(port.portName, name);
    return port;
}

constexpr int kNormal = 0;
constexpr int kPortPath = 3;
constexpr int kNoPrinter = 4;

TEST(StatusFields, ModelLine)
{
    EXPECT_EQ(StatusModelLine("QP-R60", "30.00 ESC/VRK", kNormal), "QP-R60 30.00 ESC/VRK");
    EXPECT_EQ(StatusModelLine("QP-R60", "", kNormal), "Unknown");
    EXPECT_EQ(StatusModelLine("", "30.00 ESC/VRK", kNormal), "Unknown");
    EXPECT_EQ(StatusModelLine("", "", kNoPrinter), "QP-R60");
    EXPECT_EQ(StatusModelLine("QP-R60", "30.00", kNoPrinter), "QP-R60 30.00");
}

TEST(StatusFields, CharacterSetFallsBackOnTheFirmwareLanguage)
{
    EXPECT_EQ(StatusCharacterSet("Thai", "30.00 ESC/VRK-A"), "Thai");
    EXPECT_EQ(StatusCharacterSet("", "30.00 ESC/VRK-A"), "South Asia");
    EXPECT_EQ(StatusCharacterSet(" Thai", "30.00 ESC/VRK-A"), "South Asia");
    EXPECT_EQ(StatusCharacterSet("", "30.00 ESC/VRK"), "Alphanumeric");
    EXPECT_EQ(StatusCharacterSet("", ""), "Alphanumeric");
}

TEST(StatusFields, SerialLineUsesTheUnknownTextForAnEmptyNumber)
{
    StatusFieldLabels labels;
    EXPECT_EQ(StatusSerialLine("", labels), "Serial No: Unknown");
    EXPECT_EQ(StatusSerialLine("A1B2", labels), "Serial No: A1B2");
    labels.serial = "Seriennr.:";
    labels.unknown = "Unbekannt";
    EXPECT_EQ(StatusSerialLine("", labels), "Seriennr.: Unbekannt");
}

TEST(StatusFields, PortTypeCodes)
{
    EXPECT_EQ(StatusPortTypeCode(Port("COM", "/dev/ttyS0")), 1);
    EXPECT_EQ(StatusPortTypeCode(Port("LPT", "/dev/lp0")), 2);
    EXPECT_EQ(StatusPortTypeCode(Port("USB", "001")), 3);
    EXPECT_EQ(StatusPortTypeCode(Port("NET", "127.0.0.1")), 4);
    EXPECT_EQ(StatusPortTypeCode(Port("BT", "/dev/rfcomm0")), 5);
    EXPECT_EQ(StatusPortTypeCode(Port("usb", "001")), 0);
    EXPECT_EQ(StatusPortTypeCode(Port("", "")), 0);
    PortInfo driver = Port("USB", "001");
    driver.driverPortFlag = 1;
    EXPECT_EQ(StatusPortTypeCode(driver), 6);
}

TEST(StatusFields, PortLine)
{
    const StatusFieldLabels labels;
    EXPECT_EQ(StatusPortLine(Port("USB", "001"), kNormal, labels), "Port: USB-001");
    EXPECT_EQ(StatusPortLine(Port("COM", "/dev/ttyS0"), kNoPrinter, labels), "Port: /dev/ttyS0");
    EXPECT_EQ(StatusPortLine(Port("NET", "127.0.0.1"), kNormal, labels), "Port: 127.0.0.1");
    EXPECT_EQ(StatusPortLine(Port("BT", "/dev/rfcomm0"), kNormal, labels), "Port: /dev/rfcomm0");
    EXPECT_EQ(StatusPortLine(Port("BT", "/dev/rfcomm0"), kNoPrinter, labels), "Port: ");
    EXPECT_EQ(StatusPortLine(Port("XYZ", "x"), kNoPrinter, labels), "Port: ");

    PortInfo driver = Port("USB", "001");
    driver.driverPortFlag = 1;
    SetField(driver.driverPortPath, "//printhost/queues/QP-R60_USB");
    EXPECT_EQ(StatusPortLine(driver, kPortPath, labels), "Port: QP-R60_USB@printhost");
    EXPECT_EQ(StatusPortLine(driver, kNormal, labels), "Port: Unknown");
    SetField(driver.driverPortPath, "queue");
    EXPECT_EQ(StatusPortLine(driver, kPortPath, labels), "Port: queue@");
    SetField(driver.driverPortPath, "//host");
    EXPECT_EQ(StatusPortLine(driver, kPortPath, labels), "Port: host@host");
}

TEST(StatusFields, FromTheBlock)
{
    PrinterInfoBlock block = DefaultPrinterInfoBlock();
    StatusFieldLabels labels;
    StatusFieldTexts texts = StatusFields(block, Port("NET", "127.0.0.1"), kNormal, labels);
    EXPECT_EQ(texts.modelLine, "Unknown");
    EXPECT_EQ(texts.portLine, "Port: 127.0.0.1");
    EXPECT_EQ(texts.characterSet, "Alphanumeric");
    EXPECT_EQ(texts.serialLine, "Serial No: Unknown");

    SetText(block, PrinterInfoText::ModelName, "QP-R60");
    SetText(block, PrinterInfoText::FirmwareText, "30.00 ESC/VRK-A");
    SetText(block, PrinterInfoText::SerialNumber, "K5E012345");
    labels.port = "Anschluss:";
    texts = StatusFields(block, Port("USB", "002"), kNormal, labels);
    EXPECT_EQ(texts.modelLine, "QP-R60 30.00 ESC/VRK-A");
    EXPECT_EQ(texts.portLine, "Anschluss: USB-002");
    EXPECT_EQ(texts.characterSet, "South Asia");
    EXPECT_EQ(texts.serialLine, "Serial No: K5E012345");
}

} // namespace
