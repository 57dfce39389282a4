#include "print_settings_logic.h"

namespace print_settings {

using namespace qpu::sdk;

PrintSettingsBlock DefaultBlock()
{
    PrintSettingsBlock block{};
    MakeBlockHeader(&block.header, QPU_BLOCK_PRINT_SETTINGS_ID, QPU_BLOCK_PRINT_SETTINGS_VERSION,
                    sizeof block);
    block.printDensity = QPU_DEFAULT_PRINT_DENSITY;
    block.printSpeed = QPU_DEFAULT_PRINT_SPEED;
    return block;
}

Values LoadValues(const DataBlocks& blocks)
{
    PrintSettingsBlock block{};
    if (blocks.Read(QPU_BLOCK_PRINT_SETTINGS_ID, &block) != 0)
        return {};
    return {block.printDensity, block.printSpeed};
}

int32_t StoreValues(const DataBlocks& blocks, const Values& values, bool readFromPrinter)
{
    PrintSettingsBlock block{};
    const int32_t rc = blocks.Read(QPU_BLOCK_PRINT_SETTINGS_ID, &block);
    if (rc != 0)
        return rc;
    block.printDensity = values.density;
    block.printSpeed = values.speed;
    if (readFromPrinter)
        block.readFlag = 1;
    return blocks.Write(QPU_BLOCK_PRINT_SETTINGS_ID, &block);
}

int32_t ReadFromPrinter(PrinterLink& link, Values* values)
{
    return qpu::settings::ReadPrintValues(link, values);
}

int32_t WriteToPrinter(PrinterLink& link, const Values& values)
{
    return qpu::settings::WritePrintValues(link, values);
}

} // namespace print_settings
