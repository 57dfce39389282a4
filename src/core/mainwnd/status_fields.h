#pragma once

#include <qpu/port_info.h>

#include <QString>

struct PrinterInfoBlock;

// The four printer fields of the status strip (model, port, character set, serial
// number), computed from block 0x10001 and the selected port. The status view looks up
// the labels in its language texts and hands them in.
struct StatusFieldLabels
{
    QString port = QStringLiteral("Port:");        // PRT_STATUS text 22
    QString serial = QStringLiteral("Serial No:"); // PRT_STATUS text 23
    QString unknown = QStringLiteral("Unknown");   // PRT_STATUS text 28
};

struct StatusFieldTexts
{
    QString modelLine;
    QString portLine;
    QString characterSet;
    QString serialLine;
};

// Port type code of the status strip: the interface code of the port's keyword (1 serial,
// 2 parallel, 3 USB, 4 Ethernet, 5 Bluetooth, 0 any other), or 6 for a port opened from a
// driver port path given on the command line.
inline constexpr int kStatusPortDriverPath = 6;
int StatusPortTypeCode(const PortInfo& port);

// "model firmware" when both are known; otherwise "QP-R60" without a printer (start
// mode 4) and "Unknown" in every other mode, both without language lookup.
QString StatusModelLine(const QString& modelName, const QString& firmwareText, int startMode);
// The printer's character-set name unless it is empty or begins with a blank; otherwise
// derived from the firmware text's command language.
QString StatusCharacterSet(const QString& characterSet, const QString& firmwareText);
QString StatusSerialLine(const QString& serialNumber, const StatusFieldLabels& labels);
// The text after the "Port:" label; see the table of port type codes above.
QString StatusPortText(int portTypeCode, const QString& portName, const QString& driverPortPath,
                       int startMode, const StatusFieldLabels& labels);
QString StatusPortLine(const PortInfo& port, int startMode, const StatusFieldLabels& labels);

StatusFieldTexts StatusFields(const PrinterInfoBlock& block, const PortInfo& port, int startMode,
                              const StatusFieldLabels& labels);
