#pragma once

#include <qpu/data_block.h>
#include <qpu/prtinf.h>

#include <QByteArray>
#include <QString>

#include <cstddef>

class PluginDataMgr;

// Block 0x10001: what the printer reports about itself. The printer setting page fills it
// from the printer information library; the status view shows the model, firmware,
// character set and serial number from it. Little-endian; each text is UTF-16 with a
// terminating zero in a field of 90 units.
inline constexpr int kPrinterInfoTextUnits = 90;

struct PrinterInfoBlock
{
    DataBlockHeader header;                        // "PND", 0x10001, 0x10000, 992
    QpuChar16 serialNumber[kPrinterInfoTextUnits]; // text 1
    QpuChar16 modelName[kPrinterInfoTextUnits];    // text 2
    QpuChar16 makerName[kPrinterInfoTextUnits];    // text 3, never shown by the utility
    QpuChar16 firmwareText[kPrinterInfoTextUnits]; // text 4, names the command language
    QpuChar16 characterSet[kPrinterInfoTextUnits]; // text 5
    uint8_t zero932[44];
    int32_t readFlag; // 1 once the information was read from the printer
    uint32_t zero980;
    // Two values kept for plug-ins; the utility writes their defaults and never reads them.
    int32_t presetValueA; // default 80
    int32_t presetValueB; // default 180
};

static_assert(sizeof(PrinterInfoBlock) == QPU_BLOCK_PRINTER_INFO_SIZE, "PrinterInfoBlock size");
static_assert(offsetof(PrinterInfoBlock, header) == 0, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, serialNumber) == 32, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, modelName) == 212, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, makerName) == 392, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, firmwareText) == 572, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, characterSet) == 752, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, zero932) == 932, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, readFlag) == 976, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, zero980) == 980, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, presetValueA) == 984, "PrinterInfoBlock layout");
static_assert(offsetof(PrinterInfoBlock, presetValueB) == 988, "PrinterInfoBlock layout");

inline constexpr int32_t kPrinterInfoPresetA = 80;
inline constexpr int32_t kPrinterInfoPresetB = 180;

// The five texts in the order of the printer information record.
enum class PrinterInfoText
{
    SerialNumber = 0,
    ModelName = 1,
    MakerName = 2,
    FirmwareText = 3,
    CharacterSet = 4,
};

// The default block: header with magic, identifier, version and size 992, all texts empty,
// read flag 0, 80 and 180 in the two preset values.
PrinterInfoBlock DefaultPrinterInfoBlock();
QByteArray ToBytes(const PrinterInfoBlock& block);
// Fails when bytes is not exactly one block long.
bool FromBytes(const QByteArray& bytes, PrinterInfoBlock* block);

// The field of a text, or the text itself read up to its first zero (at most 90 units).
QpuChar16* TextField(PrinterInfoBlock& block, PrinterInfoText which);
const QpuChar16* TextField(const PrinterInfoBlock& block, PrinterInfoText which);
QString Text(const PrinterInfoBlock& block, PrinterInfoText which);

// Stores text in its field, cut to 89 units so that the terminating zero always fits; the
// rest of the field is zeroed. A surrogate pair is never split.
void SetText(PrinterInfoBlock& block, PrinterInfoText which, const QString& text);
// The same for an 8-bit text of the printer (code page 437); null means empty.
void SetText8Bit(PrinterInfoBlock& block, PrinterInfoText which, const char* text);
// Takes the five texts of a filled record and sets the read flag: what a successful read
// of the printer information leaves in the block.
void ApplyPrinterInformation(PrinterInfoBlock& block, const PrinterInformation& info);

// Data manager access. Register adds the block with its defaults unless it exists (a block
// restored from the settings file keeps its values); 0 or the data manager's error.
int RegisterPrinterInfoBlock(PluginDataMgr& dataMgr);
// Replaces the block's data with the defaults; 0, or -1 when the block is not registered.
int WriteDefaultPrinterInfoBlock(PluginDataMgr& dataMgr);
// False when the block is missing; *block is then left as it was.
bool ReadPrinterInfoBlock(const PluginDataMgr& dataMgr, PrinterInfoBlock* block);
// 0, or -1 when the block is not registered.
int WritePrinterInfoBlock(PluginDataMgr& dataMgr, const PrinterInfoBlock& block);
