#include "printer_status.h"

namespace qpr60 {
namespace {

constexpr uint8_t kRealTimeFixed = 0x12; // bit 1 and bit 4 set: pattern 0xx1xx10
constexpr uint8_t kAutoStatusFirstFixed = 0x10;

constexpr uint8_t bit(bool on, int position)
{
    return on ? static_cast<uint8_t>(1u << position) : 0;
}

// Near-end sets bits 2+3, end adds bits 5+6 (an ended roll also reads near-end).
uint8_t sensorByte(PaperState s)
{
    switch (s) {
    case PaperState::Ok:
        return 0;
    case PaperState::NearEnd:
        return 0x0C;
    case PaperState::End:
        return 0x6C;
    }
    return 0;
}

uint8_t inkByte(InkState s)
{
    return bit(s == InkState::NearEnd, 2) | bit(s == InkState::Out, 3) |
           bit(s == InkState::NoCartridge, 5);
}

} // namespace

bool hasError(const PrinterConditions& c)
{
    return c.cutterError || c.fatalError || c.recoverableError || c.autoRecoverableError;
}

bool isOffline(const PrinterConditions& c)
{
    return c.offline || c.coverOpen || c.paper == PaperState::End || c.journal == PaperState::End ||
           hasError(c) || c.feeding || c.waitingRecovery || c.awaitingRemoval || c.layoutError ||
           c.restarting;
}

std::optional<uint8_t> realTimeStatus(const PrinterConditions& c, int n)
{
    uint8_t value = 0;
    switch (n) {
    case 1:
        value = bit(isOffline(c), 3) | bit(c.waitingRecovery, 5) | bit(c.feeding, 6);
        break;
    case 2:
        value = bit(c.coverOpen, 2) | bit(c.feeding, 3) | bit(c.paper == PaperState::End, 5) |
                bit(hasError(c), 6);
        break;
    case 3:
        value = bit(c.recoverableError, 2) | bit(c.cutterError, 3) | bit(c.fatalError, 5) |
                bit(c.autoRecoverableError, 6);
        break;
    case 4:
        value = sensorByte(c.paper);
        break;
    case 5:
        value = sensorByte(c.journal);
        break;
    case 6:
        value = bit(c.awaitingRemoval, 2) | bit(c.cleaning, 3) | bit(c.layoutError, 5);
        break;
    case 7:
    case 8:
        value = inkByte(c.ink[n - 7]);
        break;
    default:
        return std::nullopt;
    }
    return static_cast<uint8_t>(value | kRealTimeFixed);
}

AutoStatus autoStatus(const PrinterConditions& c)
{
    AutoStatus s{};
    s[0] = kAutoStatusFirstFixed | bit(c.waitingRecovery, 2) | bit(isOffline(c), 3) |
           bit(c.coverOpen, 5) | bit(c.feeding, 6);
    s[1] = bit(c.cleaning, 0) | bit(c.awaitingRemoval, 1) | bit(c.recoverableError, 2) |
           bit(c.cutterError, 3) | bit(c.fatalError, 5) | bit(c.autoRecoverableError, 6);
    const uint8_t paper =
        c.paper == PaperState::End ? 0x0F : (c.paper == PaperState::NearEnd ? 0x03 : 0x00);
    const uint8_t journal =
        c.journal == PaperState::End ? 0x60 : (c.journal == PaperState::NearEnd ? 0x20 : 0x00);
    s[2] = paper | journal;
    s[3] = static_cast<uint8_t>(static_cast<uint8_t>(c.ink[0]) |
                                (static_cast<uint8_t>(c.ink[1]) << 2)) |
           bit(c.layoutError, 5);
    return s;
}

int ordinaryStatusCode(const PrinterConditions& c)
{
    if (c.fatalError)
        return 3;
    if (c.recoverableError)
        return 4;
    if (c.cutterError)
        return 9;
    if (c.autoRecoverableError)
        return 5;
    if (c.coverOpen)
        return 6;
    if (c.paper == PaperState::End)
        return 7;
    if (c.journal == PaperState::End)
        return 8;
    if (c.layoutError)
        return 22;
    if (c.awaitingRemoval)
        return 17;
    if (c.feeding)
        return 14;
    if (c.waitingRecovery)
        return 16;
    if (isOffline(c))
        return 1;
    if (c.paper == PaperState::NearEnd)
        return 18;
    if (c.journal == PaperState::NearEnd)
        return 19;
    return 0;
}

int lastingStatusCode(const PrinterConditions& c)
{
    if (c.ink[0] == InkState::NoCartridge)
        return 10;
    if (c.ink[1] == InkState::NoCartridge)
        return 11;
    if (c.ink[0] == InkState::Out)
        return 12;
    if (c.ink[1] == InkState::Out)
        return 13;
    if (c.cleaning)
        return 15;
    if (c.ink[0] == InkState::NearEnd)
        return 20;
    if (c.ink[1] == InkState::NearEnd)
        return 21;
    return kNoLastingCode;
}

std::optional<PrinterConditions> conditionsForCode(int code)
{
    PrinterConditions c;
    switch (code) {
    case 0:
        break;
    case 1:
        c.offline = true;
        break;
    case 3:
        c.fatalError = true;
        break;
    case 4:
        c.recoverableError = true;
        break;
    case 5:
        c.autoRecoverableError = true;
        break;
    case 6:
        c.coverOpen = true;
        break;
    case 7:
        c.paper = PaperState::End;
        break;
    case 8:
        c.journal = PaperState::End;
        break;
    case 9:
        c.cutterError = true;
        break;
    case 10:
        c.ink[0] = InkState::NoCartridge;
        break;
    case 11:
        c.ink[1] = InkState::NoCartridge;
        break;
    case 12:
        c.ink[0] = InkState::Out;
        break;
    case 13:
        c.ink[1] = InkState::Out;
        break;
    case 14:
        c.feeding = true;
        break;
    case 15:
        c.cleaning = true;
        break;
    case 16:
        c.waitingRecovery = true;
        break;
    case 17:
        c.awaitingRemoval = true;
        break;
    case 18:
        c.paper = PaperState::NearEnd;
        break;
    case 19:
        c.journal = PaperState::NearEnd;
        break;
    case 20:
        c.ink[0] = InkState::NearEnd;
        break;
    case 21:
        c.ink[1] = InkState::NearEnd;
        break;
    case 22:
        c.layoutError = true;
        break;
    default:
        return std::nullopt;
    }
    return c;
}

const char* paperStateName(PaperState s)
{
    switch (s) {
    case PaperState::Ok:
        return "ok";
    case PaperState::NearEnd:
        return "near";
    case PaperState::End:
        return "end";
    }
    return "?";
}

const char* inkStateName(InkState s)
{
    switch (s) {
    case InkState::Ok:
        return "ok";
    case InkState::NearEnd:
        return "near";
    case InkState::Out:
        return "out";
    case InkState::NoCartridge:
        return "none";
    }
    return "?";
}

} // namespace qpr60
