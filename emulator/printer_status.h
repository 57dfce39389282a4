#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace qpr60 {

// A paper sensor (roll paper or journal).
enum class PaperState : uint8_t
{
    Ok,
    NearEnd,
    End
};

// An ink cartridge; the values are the two-bit codes of the automatic status.
enum class InkState : uint8_t
{
    Ok = 0,
    NearEnd = 1,
    Out = 2,
    NoCartridge = 3
};

// Everything the printer can report about itself.
struct PrinterConditions
{
    bool offline = false; // explicit offline, without another cause
    bool coverOpen = false;
    PaperState paper = PaperState::Ok;
    PaperState journal = PaperState::Ok;
    bool cutterError = false;
    bool fatalError = false;
    bool recoverableError = false;
    bool autoRecoverableError = false;
    bool feeding = false;
    bool waitingRecovery = false;
    bool awaitingRemoval = false;
    bool layoutError = false;
    bool cleaning = false;
    std::array<InkState, 2> ink{InkState::Ok, InkState::Ok};
    bool restarting = false;

    bool operator==(const PrinterConditions&) const = default;
};

using AutoStatus = std::array<uint8_t, 4>;

constexpr int kNoLastingCode = 100;
constexpr int kNoAnswerCode = 2;
constexpr int kHighestStatusCode = 22;

// The printer's offline flag: set by an explicit offline and by every condition that stops
// printing.
bool isOffline(const PrinterConditions& c);
bool hasError(const PrinterConditions& c);

// The n of the real-time status request for the roll paper sensors.
constexpr int kPaperSensorStatus = 4;

// Answer byte of the real-time status request 10 04 n; none for n outside 1..8.
std::optional<uint8_t> realTimeStatus(const PrinterConditions& c, int n);
// The four automatic-status bytes.
AutoStatus autoStatus(const PrinterConditions& c);

// The status code (0..22) that the conditions stand for, ignoring ink and cleaning.
int ordinaryStatusCode(const PrinterConditions& c);
// The lasting code (10, 11, 12, 13, 15, 20, 21) in force, or kNoLastingCode.
int lastingStatusCode(const PrinterConditions& c);
// Conditions that give exactly status code `code` (0..22 except 2, which needs silence);
// none for other codes.
std::optional<PrinterConditions> conditionsForCode(int code);

const char* paperStateName(PaperState s);
const char* inkStateName(InkState s);

} // namespace qpr60
