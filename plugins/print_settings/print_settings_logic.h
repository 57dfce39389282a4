#pragma once

#include <qpu/plugin_sdk/data_blocks.h>
#include <qpu/plugin_sdk/printer_link.h>
#include <qpu/shipped_blocks.h>

#include <vector>

// Print density and print speed (customized values 5 and 6) between the printer and
// block 0x10005. No widgets.
namespace print_settings {

// How long the printer may take to restart after the user-setting mode.
inline constexpr uint32_t kRestartTimeoutMs = 20000;

struct Values
{
    int32_t density = QPU_DEFAULT_PRINT_DENSITY;
    int32_t speed = QPU_DEFAULT_PRINT_SPEED;
    bool operator==(const Values&) const = default;
};

// The choices the page offers; a printer may hold others, which the page shows as well.
std::vector<int32_t> DensityChoices(); // percent, 70 to 130 in steps of 5
std::vector<int32_t> SpeedChoices();   // levels 1 to 9

// The default block: header, read flag 0, factory values.
PrintSettingsBlock DefaultBlock();
// The values of the block in the store; the defaults when it is missing or damaged.
Values LoadValues(const qpu::sdk::DataBlocks& blocks);
// Stores the values (and the read flag when given) in the block; 0 or the store's code.
int32_t StoreValues(const qpu::sdk::DataBlocks& blocks, const Values& values, bool readFromPrinter);

// Reads both values from the printer (inside the user-setting mode when the printer
// answers only there). 1 or a printer result.
int32_t ReadFromPrinter(qpu::sdk::PrinterLink& link, Values* values);
// Writes both values inside the user-setting mode and waits for the restart.
int32_t WriteToPrinter(qpu::sdk::PrinterLink& link, const Values& values);

} // namespace print_settings
