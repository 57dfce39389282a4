#pragma once

#include <qpu/plugin_sdk/data_blocks.h>
#include <qpu/plugin_sdk/printer_link.h>
#include <qpu/settings/printer_settings.h>
#include <qpu/shipped_blocks.h>

#include <QString>

// Memory switches 1 to 8 between the printer and block 0x10007. No widgets. Reading and
// writing are the shared settings library's (qpu/settings/printer_settings.h).
namespace memory_switch {

// Bit 0 of each value is bit 1 of the switch.
using Switches = qpu::settings::Switches;

MemorySwitchBlock DefaultBlock();
Switches LoadSwitches(const qpu::sdk::DataBlocks& blocks);
int32_t StoreSwitches(const qpu::sdk::DataBlocks& blocks, const Switches& switches,
                      bool readFromPrinter);

// The switch text the printer uses: eight '0'/'1', bit 1 first.
QString BitText(uint8_t bits);

int32_t ReadFromPrinter(qpu::sdk::PrinterLink& link, Switches* switches);
// Writes only the switches that differ from `before`, inside the user-setting mode; with
// no difference nothing is sent and the result is 1.
int32_t WriteToPrinter(qpu::sdk::PrinterLink& link, const Switches& before, const Switches& after);

} // namespace memory_switch
