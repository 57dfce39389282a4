#include "pages/printer_info_block.h"

#include "pages/cp437_codec.h"
#include "pages/plugin_data_mgr.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype kMaxTextUnits = kPrinterInfoTextUnits - 1;

// The layout is little-endian; the struct is filled and read in host order.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "block 0x10001 is handled in host order");

} // namespace

PrinterInfoBlock DefaultPrinterInfoBlock()
{
    PrinterInfoBlock block;
    std::memset(&block, 0, sizeof(block));
    std::memcpy(block.header.magic, "PND", 4);
    block.header.id = QPU_BLOCK_PRINTER_INFO_ID;
    block.header.version = QPU_BLOCK_PRINTER_INFO_VERSION;
    block.header.totalSize = QPU_BLOCK_PRINTER_INFO_SIZE;
    block.presetValueA = kPrinterInfoPresetA;
    block.presetValueB = kPrinterInfoPresetB;
    return block;
}

QByteArray ToBytes(const PrinterInfoBlock& block)
{
    return QByteArray(reinterpret_cast<const char*>(&block), sizeof(block));
}

bool FromBytes(const QByteArray& bytes, PrinterInfoBlock* block)
{
    if (!block || bytes.size() != qsizetype(sizeof(PrinterInfoBlock)))
        return false;
    std::memcpy(block, bytes.constData(), sizeof(PrinterInfoBlock));
    return true;
}

QpuChar16* TextField(PrinterInfoBlock& block, PrinterInfoText which)
{
    return const_cast<QpuChar16*>(TextField(static_cast<const PrinterInfoBlock&>(block), which));
}

const QpuChar16* TextField(const PrinterInfoBlock& block, PrinterInfoText which)
{
    switch (which) {
    case PrinterInfoText::SerialNumber:
        return block.serialNumber;
    case PrinterInfoText::ModelName:
        return block.modelName;
    case PrinterInfoText::MakerName:
        return block.makerName;
    case PrinterInfoText::FirmwareText:
        return block.firmwareText;
    case PrinterInfoText::CharacterSet:
        return block.characterSet;
    }
    return block.serialNumber;
}

QString Text(const PrinterInfoBlock& block, PrinterInfoText which)
{
    const QpuChar16* field = TextField(block, which);
    const QpuChar16* end = std::find(field, field + kPrinterInfoTextUnits, QpuChar16(0));
    return QString::fromUtf16(field, end - field);
}

void SetText(PrinterInfoBlock& block, PrinterInfoText which, const QString& text)
{
    qsizetype length = std::min(text.size(), kMaxTextUnits);
    if (length > 0 && length < text.size() && text[length - 1].isHighSurrogate())
        --length;
    QpuChar16* field = TextField(block, which);
    std::fill(field, field + kPrinterInfoTextUnits, QpuChar16(0));
    std::copy_n(reinterpret_cast<const QpuChar16*>(text.utf16()), length, field);
}

void SetText8Bit(PrinterInfoBlock& block, PrinterInfoText which, const char* text)
{
    SetText(block, which, text ? cp437::DecodeZeroTerminated(QByteArrayView(text)) : QString());
}

void ApplyPrinterInformation(PrinterInfoBlock& block, const PrinterInformation& info)
{
    for (int i = 0; i < PRTINF_TEXT_COUNT; ++i)
        SetText8Bit(block, static_cast<PrinterInfoText>(i), info.texts[i]);
    block.readFlag = 1;
}

int RegisterPrinterInfoBlock(PluginDataMgr& dataMgr)
{
    if (dataMgr.FindBlock(QPU_BLOCK_PRINTER_INFO_ID) >= 0)
        return PluginDataMgr::kOk;
    const int added = dataMgr.AddBlock(QPU_BLOCK_PRINTER_INFO_ID, QPU_BLOCK_PRINTER_INFO_VERSION,
                                       QPU_BLOCK_PRINTER_INFO_SIZE);
    if (added != PluginDataMgr::kOk)
        return added;
    return WriteDefaultPrinterInfoBlock(dataMgr);
}

int WriteDefaultPrinterInfoBlock(PluginDataMgr& dataMgr)
{
    return WritePrinterInfoBlock(dataMgr, DefaultPrinterInfoBlock());
}

bool ReadPrinterInfoBlock(const PluginDataMgr& dataMgr, PrinterInfoBlock* block)
{
    if (!block || dataMgr.FindBlock(QPU_BLOCK_PRINTER_INFO_ID) < 0)
        return false;
    // A block restored from an older settings file may be shorter; what it lacks reads as
    // zero rather than as the previous contents.
    PrinterInfoBlock copy;
    std::memset(&copy, 0, sizeof(copy));
    if (dataMgr.GetBlockData(QPU_BLOCK_PRINTER_INFO_ID, &copy, sizeof(copy)) != PluginDataMgr::kOk)
        return false;
    *block = copy;
    return true;
}

int WritePrinterInfoBlock(PluginDataMgr& dataMgr, const PrinterInfoBlock& block)
{
    PrinterInfoBlock copy = block;
    return dataMgr.SetBlockData(QPU_BLOCK_PRINTER_INFO_ID, sizeof(copy), &copy);
}
