#pragma once

#include <qpu/plugin_sdk/data_blocks.h>
#include <qpu/plugin_sdk/printer_link.h>
#include <qpu/settings/printer_settings.h>
#include <qpu/shipped_blocks.h>

#include <vector>

// Print density and print speed (customized values 5 and 6) between the printer and
// block 0x10005. No widgets. The choices, the reading and the writing are the shared
// settings library's (qpu/settings/printer_settings.h).
namespace print_settings {

using Values = qpu::settings::PrintValues;
// The choices the page offers; a printer may hold others, which the page shows as well.
using qpu::settings::DensityChoices;
using qpu::settings::SpeedChoices;

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
