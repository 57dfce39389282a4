#include "print_settings_logic.h"

namespace print_settings {

using namespace qpu::sdk;

std::vector<int32_t> DensityChoices()
{
    std::vector<int32_t> choices;
    for (int32_t percent = 70; percent <= 130; percent += 5)
        choices.push_back(percent);
    return choices;
}

std::vector<int32_t> SpeedChoices()
{
    std::vector<int32_t> choices;
    for (int32_t level = 1; level <= 9; ++level)
        choices.push_back(level);
    return choices;
}

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
    Values read;
    const int32_t rc = link.ReadAllowingUserSettingMode(
        [&] {
            const int32_t density = link.ReadCustomValue(QPU_CUSTOM_PRINT_DENSITY, &read.density);
            return density != kPrinterOk
                       ? density
                       : link.ReadCustomValue(QPU_CUSTOM_PRINT_SPEED, &read.speed);
        },
        kRestartTimeoutMs);
    if (rc == kPrinterOk)
        *values = read;
    return rc;
}

int32_t WriteToPrinter(PrinterLink& link, const Values& values)
{
    if (values.density < 0 || values.density > 0xFFFF || values.speed < 0 || values.speed > 0xFFFF)
        return kPrinterBadArgument;
    return link.InUserSettingMode(
        [&] {
            const int32_t density = link.WriteCustomValue(QPU_CUSTOM_PRINT_DENSITY,
                                                          static_cast<uint16_t>(values.density));
            return density != kPrinterOk
                       ? density
                       : link.WriteCustomValue(QPU_CUSTOM_PRINT_SPEED,
                                               static_cast<uint16_t>(values.speed));
        },
        kRestartTimeoutMs);
}

} // namespace print_settings
