#pragma once

#include <array>
#include <cstdint>

namespace qpcomm {

// The printer's conditions as the status bytes report them.
struct PrinterCondition
{
    bool offline = false;
    bool waitingRecovery = false;
    bool feeding = false;
    bool coverOpen = false;
    bool recoverableError = false;
    bool cutterError = false;
    bool fatalError = false;
    bool autoRecoverableError = false;
    bool paperNearEnd = false;
    bool paperEnd = false;
    bool journalNearEnd = false;
    bool journalEnd = false;
    bool awaitingRemoval = false;
    bool cleaning = false;
    bool layoutError = false;
    std::array<uint8_t, 2> ink{}; // per cartridge: 0 ok, 1 near-end, 2 out, 3 no cartridge

    bool operator==(const PrinterCondition&) const = default;
};

// Reads the 4 automatic-status bytes.
PrinterCondition decodeStatusBlock(const std::array<uint8_t, 4>& block);
// Reads the answers to real-time status requests n = 1..8 (index n - 1).
PrinterCondition decodeRealtimeStatus(const std::array<uint8_t, 8>& answers);

// The ordinary status code (0 to 22, except the lasting ones) for a condition.
int32_t ordinaryCode(const PrinterCondition& condition);
// The lasting code (10, 11, 12, 13, 15, 20, 21) in force, or 100 when none.
int32_t lastingCode(const PrinterCondition& condition);

} // namespace qpcomm
