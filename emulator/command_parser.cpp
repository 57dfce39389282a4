#include "command_parser.h"

#include <algorithm>

namespace qpr60 {
namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kGs = 0x1D;
constexpr size_t kLongestKnownFrame = 10;

bool isSwitchChar(uint8_t c)
{
    return c == '0' || c == '1' || c == '2';
}

PrinterCommand decodeFrame(const std::vector<uint8_t>& f, size_t length)
{
    using Kind = PrinterCommand::Kind;
    PrinterCommand cmd;
    if (length == 0 || f.empty())
        return cmd;
    switch (f[0]) {
    case 0x01:
        if (length == 3 && f[1] == 'I' && f[2] == 'N')
            cmd.kind = Kind::EnterUserMode;
        break;
    case 0x02:
        if (length == 4 && f[1] == 'O' && f[2] == 'U' && f[3] == 'T')
            cmd.kind = Kind::LeaveUserMode;
        break;
    case 0x03:
        if (length == 10 && std::all_of(f.begin() + 2, f.begin() + 10, isSwitchChar)) {
            cmd.kind = Kind::SetMemorySwitch;
            cmd.n = f[1];
            std::copy(f.begin() + 2, f.begin() + 10, cmd.switchBits.begin());
        }
        break;
    case 0x04:
        if (length == 2) {
            cmd.kind = Kind::TransmitMemorySwitch;
            cmd.n = f[1];
        }
        break;
    case 0x05:
        if (length == 4) {
            cmd.kind = Kind::SetCustomized;
            cmd.n = f[1];
            cmd.value = static_cast<uint16_t>(f[2] | (f[3] << 8));
        }
        break;
    case 0x06:
        if (length == 2) {
            cmd.kind = Kind::TransmitCustomized;
            cmd.n = f[1];
        }
        break;
    default:
        break;
    }
    return cmd;
}

} // namespace

void CommandParser::reset()
{
    m_state = State::Idle;
    m_frame.clear();
    m_frameLength = 0;
    m_frameReceived = 0;
}

void CommandParser::feed(std::span<const uint8_t> bytes, const Sink& sink)
{
    for (const uint8_t b : bytes)
        feedByte(b, sink);
}

// A prefix that turned out to start no known command was printable data; the byte that
// ended it is looked at afresh.
void CommandParser::unknownPrefix(size_t prefixLength, uint8_t byte, const Sink& sink)
{
    m_printed += prefixLength;
    m_state = State::Idle;
    feedByte(byte, sink);
}

void CommandParser::feedByte(uint8_t byte, const Sink& sink)
{
    using Kind = PrinterCommand::Kind;
    switch (m_state) {
    case State::Idle:
        if (byte == kDle)
            m_state = State::Dle;
        else if (byte == kGs)
            m_state = State::Gs;
        else
            ++m_printed;
        return;
    case State::Dle:
        if (byte == kEot)
            m_state = State::DleEot;
        else
            unknownPrefix(1, byte, sink);
        return;
    case State::DleEot:
        m_state = State::Idle;
        sink(PrinterCommand{Kind::RealTimeStatus, byte, 0, {}});
        return;
    case State::Gs:
        if (byte == 'I')
            m_state = State::GsI;
        else if (byte == 'a')
            m_state = State::GsA;
        else if (byte == 'r')
            m_state = State::GsR;
        else if (byte == '(')
            m_state = State::GsParen;
        else
            unknownPrefix(1, byte, sink);
        return;
    case State::GsI:
        m_state = State::Idle;
        sink(PrinterCommand{Kind::PrinterId, byte, 0, {}});
        return;
    case State::GsA:
        m_state = State::Idle;
        sink(PrinterCommand{Kind::AutoStatus, byte, 0, {}});
        return;
    case State::GsR:
        m_state = State::Idle;
        sink(PrinterCommand{Kind::TransmitStatus, byte, 0, {}});
        return;
    case State::GsParen:
        if (byte == 'E')
            m_state = State::GsParenE;
        else
            unknownPrefix(2, byte, sink);
        return;
    case State::GsParenE:
        m_frameLength = byte;
        m_state = State::LengthHigh;
        return;
    case State::LengthHigh:
        m_frameLength |= static_cast<size_t>(byte) << 8;
        m_frameReceived = 0;
        m_frame.clear();
        m_state = State::Frame;
        if (m_frameLength == 0)
            finishFrame(sink);
        return;
    case State::Frame:
        if (m_frame.size() < kLongestKnownFrame)
            m_frame.push_back(byte);
        if (++m_frameReceived == m_frameLength)
            finishFrame(sink);
        return;
    }
}

void CommandParser::finishFrame(const Sink& sink)
{
    m_state = State::Idle;
    const PrinterCommand cmd = decodeFrame(m_frame, m_frameLength);
    m_frame.clear();
    sink(cmd);
}

} // namespace qpr60
