#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace qpr60 {

// One recognised command of the ESC/VRK subset.
struct PrinterCommand
{
    enum class Kind
    {
        RealTimeStatus,       // 10 04 n
        TransmitStatus,       // 1D 72 n
        PrinterId,            // 1D 49 n
        AutoStatus,           // 1D 61 n
        EnterUserMode,        // 1D 28 45 03 00 01 49 4E
        LeaveUserMode,        // 1D 28 45 04 00 02 4F 55 54
        SetCustomized,        // 1D 28 45 04 00 05 a vL vH
        TransmitCustomized,   // 1D 28 45 02 00 06 a
        TransmitMemorySwitch, // 1D 28 45 02 00 04 a
        SetMemorySwitch,      // 1D 28 45 0A 00 03 a d1..d8
        Malformed,            // a 1D 28 45 frame that fits no row; consumed whole
    };
    Kind kind = Kind::Malformed;
    uint8_t n = 0; // the parameter n, or the number a
    uint16_t value = 0;
    std::array<char, 8> switchBits{};
};

// Splits a byte stream into commands, across any split of the writes. Bytes that start no
// known command are printable data: they are counted and otherwise dropped.
class CommandParser
{
public:
    using Sink = std::function<void(const PrinterCommand&)>;

    void feed(std::span<const uint8_t> bytes, const Sink& sink);
    void reset();
    uint64_t printedBytes() const { return m_printed; }

private:
    enum class State
    {
        Idle,
        Dle,
        DleEot,
        Gs,
        GsI,
        GsA,
        GsR,
        GsParen,
        GsParenE,
        LengthHigh,
        Frame
    };

    void feedByte(uint8_t byte, const Sink& sink);
    void unknownPrefix(size_t prefixLength, uint8_t byte, const Sink& sink);
    void finishFrame(const Sink& sink);

    State m_state = State::Idle;
    size_t m_frameLength = 0;
    size_t m_frameReceived = 0;
    std::vector<uint8_t> m_frame; // kept only up to the longest known frame
    uint64_t m_printed = 0;
};

} // namespace qpr60
