#include "printer_info_logic.h"

#include <qpu/status_texts.h>

#include <cstring>
#include <vector>

namespace printer_info {

using namespace qpu::sdk;

namespace {

QString TextAt(const std::vector<char>& block, int offset)
{
    const auto* units = reinterpret_cast<const char16_t*>(block.data() + offset);
    qsizetype length = 0;
    while (length < kInfoTextUnits - 1 && units[length] != 0)
        ++length;
    return QString::fromUtf16(units, length);
}

void AppendLine(Bytes& bytes, const QString& line)
{
    for (const QChar c : line)
        bytes.push_back(c.unicode() >= 0x20 && c.unicode() < 0x7F
                            ? static_cast<uint8_t>(c.unicode())
                            : uint8_t{'?'});
    bytes.push_back('\n');
}

} // namespace

Identity LoadIdentity(const DataBlocks& blocks)
{
    std::vector<char> block(QPU_BLOCK_PRINTER_INFO_SIZE, 0);
    if (blocks.Size(QPU_BLOCK_PRINTER_INFO_ID) < QPU_BLOCK_PRINTER_INFO_SIZE ||
        blocks.Get(QPU_BLOCK_PRINTER_INFO_ID, block.data(), QPU_BLOCK_PRINTER_INFO_SIZE) != 0)
        return {};
    Identity identity;
    identity.serialNumber = TextAt(block, kSerialOffset);
    identity.model = TextAt(block, kModelOffset);
    identity.firmware = TextAt(block, kFirmwareOffset);
    identity.characterSet = TextAt(block, kCharsetOffset);
    uint32_t readFlag = 0;
    std::memcpy(&readFlag, block.data() + kReadFlagOffset, sizeof readFlag);
    identity.read = readFlag == 1;
    return identity;
}

int32_t WritePrinterInfoDefaults(const DataBlocks& blocks)
{
    std::vector<char> block(QPU_BLOCK_PRINTER_INFO_SIZE, 0);
    MakeBlockHeader(reinterpret_cast<DataBlockHeader*>(block.data()), QPU_BLOCK_PRINTER_INFO_ID,
                    QPU_BLOCK_PRINTER_INFO_VERSION, QPU_BLOCK_PRINTER_INFO_SIZE);
    const uint32_t values[2] = {80, 180};
    std::memcpy(block.data() + 984, values, sizeof values);
    return blocks.Set(QPU_BLOCK_PRINTER_INFO_ID, block.data(), QPU_BLOCK_PRINTER_INFO_SIZE);
}

PrinterInfoPageBlock DefaultPageBlock()
{
    PrinterInfoPageBlock block{};
    MakeBlockHeader(&block.header, QPU_BLOCK_PRINTER_INFO_PAGE_ID,
                    QPU_BLOCK_PRINTER_INFO_PAGE_VERSION, sizeof block);
    block.testPrintWithSettings = 1;
    return block;
}

bool LoadTestPrintWithSettings(const DataBlocks& blocks)
{
    PrinterInfoPageBlock block{};
    if (blocks.Read(QPU_BLOCK_PRINTER_INFO_PAGE_ID, &block) != 0)
        return DefaultPageBlock().testPrintWithSettings == 1;
    return block.testPrintWithSettings == 1;
}

int32_t StoreTestPrintWithSettings(const DataBlocks& blocks, bool withSettings)
{
    PrinterInfoPageBlock block{};
    const int32_t rc = blocks.Read(QPU_BLOCK_PRINTER_INFO_PAGE_ID, &block);
    if (rc != 0)
        return rc;
    block.testPrintWithSettings = withSettings ? 1 : 0;
    return blocks.Write(QPU_BLOCK_PRINTER_INFO_PAGE_ID, &block);
}

int StatusTextNumber(int32_t code)
{
    const QpuStatusText* text = qpu_status_text(code);
    return text != nullptr ? text->number : QPU_STATUS_UNKNOWN_TEXT_NUMBER;
}

QString StatusEnglish(int32_t code)
{
    const QpuStatusText* text = qpu_status_text(code);
    return text != nullptr ? QString::fromLatin1(text->english) : QStringLiteral("Unknown");
}

bool CanPrintWithStatus(int32_t code)
{
    constexpr int32_t kPaperNearEnd = 18;
    constexpr int32_t kInk2NearEnd = 21;
    return code == QPC_STATUS_ONLINE || (code >= kPaperNearEnd && code <= kInk2NearEnd);
}

QString PortText(const AppState* state)
{
    if (state == nullptr)
        return {};
    const auto field = [](const QpuChar16* units) {
        qsizetype length = 0;
        while (length < QPU_TEXT_MAX_CHARS && units[length] != 0)
            ++length;
        return QString::fromUtf16(units, length);
    };
    const QString keyword = field(state->portInfo.interfaceKeyword);
    const QString name = field(state->portInfo.portName);
    if (keyword.isEmpty())
        return name;
    return name.isEmpty() ? keyword : keyword + QLatin1Char(' ') + name;
}

Bytes TestPage(const Identity& identity, const std::optional<PrintSettingsBlock>& settings,
               const QDateTime& now)
{
    Bytes bytes = {0x1B, 0x40}; // initialise
    AppendLine(bytes, QStringLiteral("*** QP-R60 TEST PRINT ***"));
    AppendLine(bytes, QString());
    AppendLine(bytes, QStringLiteral("Model:         ") + identity.model);
    AppendLine(bytes, QStringLiteral("Serial number: ") + identity.serialNumber);
    AppendLine(bytes, QStringLiteral("Firmware:      ") + identity.firmware);
    AppendLine(bytes, QStringLiteral("Character set: ") + identity.characterSet);
    if (settings) {
        AppendLine(bytes, QStringLiteral("Print density: %1 %").arg(settings->printDensity));
        AppendLine(bytes, QStringLiteral("Print speed:   level %1").arg(settings->printSpeed));
    }
    AppendLine(bytes, QStringLiteral("Printed:       ") +
                          now.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    for (int i = 0; i < 4; ++i)
        bytes.push_back('\n');
    for (const uint8_t b : {0x1D, 0x56, 0x42, 0x00}) // feed to the cutter and cut
        bytes.push_back(b);
    return bytes;
}

} // namespace printer_info
