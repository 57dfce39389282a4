#pragma once

#include "command_parser.h"
#include "printer_status.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qpr60 {

struct PrinterIdentity
{
    std::string model = "QP-R60";
    std::string maker = "VORKA";
    std::string firmware = "ESC/VRK-A Ver.1.00";
    std::string serial = "QPR6000001";
    std::string charset = "South Asia";
    uint8_t modelId = 0x60;
};

// What the printer keeps in non-volatile memory.
struct PrinterSettings
{
    static constexpr int kMemorySwitchCount = 8;

    std::array<uint16_t, 256> customized{};
    std::array<uint8_t, kMemorySwitchCount> memorySwitches{}; // index a-1; bit 0 is bit 1

    static PrinterSettings defaults();
    static bool validMemorySwitch(int a) { return a >= 1 && a <= kMemorySwitchCount; }
    // "0"/"1" characters, bit 1 first.
    std::string memorySwitchText(int a) const;
    // Applies 8 characters '0', '1' or '2' (keep); false when a text is not valid.
    bool applyMemorySwitchText(int a, std::string_view text);
    bool operator==(const PrinterSettings&) const = default;
};

// Per-session printer state: each connection or terminal has its own.
struct SessionState
{
    bool autoStatus = false;
    bool userMode = false;
};

// The printer's answers to commands, without any transport.
class Printer
{
public:
    struct Reaction
    {
        std::vector<uint8_t> answer;
        bool restart = false;         // leaving the user-setting mode restarts the printer
        bool settingsChanged = false; // customized values or memory switches changed
        bool sendAutoStatus = false;  // automatic status was switched on: send it now
    };

    Reaction handle(const PrinterCommand& cmd, SessionState& session);

    PrinterIdentity& identity() { return m_identity; }
    const PrinterIdentity& identity() const { return m_identity; }
    PrinterSettings& settings() { return m_settings; }
    const PrinterSettings& settings() const { return m_settings; }
    PrinterConditions& conditions() { return m_conditions; }
    const PrinterConditions& conditions() const { return m_conditions; }
    void setStrictUserMode(bool strict) { m_strictUserMode = strict; }

private:
    std::vector<uint8_t> identityAnswer(uint8_t n) const;

    PrinterIdentity m_identity;
    PrinterSettings m_settings = PrinterSettings::defaults();
    PrinterConditions m_conditions;
    bool m_strictUserMode = false;
};

} // namespace qpr60
