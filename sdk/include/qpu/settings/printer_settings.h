// What the shipped setting pages edit in a QP-R60, and how it is read and written: print
// density and print speed (customized values 5 and 6) with the choices the page offers,
// memory switches 1 to 8, and changes written inside the user-setting mode. Shared by
// the plug-ins and qp60ctl. No Qt.
#pragma once

#include <qpu/settings/printer_link.h>
#include <qpu/shipped_blocks.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qpu::settings {

// How long the printer may take to restart after the user-setting mode.
inline constexpr uint32_t kRestartTimeoutMs = 20000;
// Customized values are numbered 0 to 255, memory switches 1 to 8.
inline constexpr int kCustomValueCount = 256;
inline constexpr int kMemorySwitchCount = QPU_MEMORY_SWITCH_COUNT;

struct PrintValues
{
    int32_t density = QPU_DEFAULT_PRINT_DENSITY;
    int32_t speed = QPU_DEFAULT_PRINT_SPEED;
    bool operator==(const PrintValues&) const = default;
};

// The choices the print settings page offers; a printer may hold others.
std::vector<int32_t> DensityChoices(); // percent, 70 to 130 in steps of 5
std::vector<int32_t> SpeedChoices();   // levels 1 to 9
bool IsDensityChoice(int32_t percent);
bool IsSpeedChoice(int32_t level);

// Memory switches 1 to 8; bit 0 of each value is bit 1 of the switch.
using Switches = std::array<uint8_t, kMemorySwitchCount>;

// The switch text the printer uses: eight '0'/'1', bit 1 first.
std::string SwitchBitText(uint8_t bits);
// The reverse; false unless text is exactly eight '0'/'1'.
bool ParseSwitchBitText(const std::string& text, uint8_t* bits);

// Changes to write in one visit of the user-setting mode.
struct SettingChanges
{
    std::map<uint8_t, uint16_t> customValues;  // number -> value
    std::map<uint8_t, uint8_t> memorySwitches; // number 1..8 -> all eight bits
    bool Empty() const { return customValues.empty() && memorySwitches.empty(); }
};

// Reads both print values (inside the user-setting mode when the printer answers only
// there). 1 or a printer result.
int32_t ReadPrintValues(PrinterLink& link, PrintValues* values);
// Reads memory switches 1 to 8 the same way.
int32_t ReadSwitches(PrinterLink& link, Switches* switches);
// Reads the listed customized values and memory switches the same way, in one visit of the
// mode at most.
int32_t ReadSettings(PrinterLink& link, const std::vector<uint8_t>& customNumbers,
                     const std::vector<uint8_t>& switchNumbers,
                     std::map<uint8_t, uint16_t>* customValues,
                     std::map<uint8_t, uint8_t>* switches);

// Writes the changes inside the user-setting mode, leaves it and waits for the restart.
// No changes: nothing is sent and the result is 1. A switch number outside 1..8 answers
// kPrinterBadArgument before anything is sent.
int32_t WriteSettings(PrinterLink& link, const SettingChanges& changes);
// Both print values, as the print settings page applies them.
int32_t WritePrintValues(PrinterLink& link, const PrintValues& values);
// The switches that differ from `before`, as the memory switch page applies them.
int32_t WriteSwitches(PrinterLink& link, const Switches& before, const Switches& after);

} // namespace qpu::settings
