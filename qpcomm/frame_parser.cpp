#include "frame_parser.h"

namespace qpcomm {

namespace {
constexpr uint8_t kTextHeader = 0x5F;
constexpr uint8_t kSettingHeader = 0x37;
constexpr std::size_t kStatusBlockBytes = 4;
} // namespace

void FrameParser::feed(const uint8_t* data, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        feedByte(data[i]);
    }
}

void FrameParser::startFrame(FrameKind kind, uint8_t b)
{
    m_current.kind = kind;
    m_current.epoch = m_epoch;
    m_current.bytes.assign(1, b);
}

void FrameParser::emit()
{
    Frame frame;
    frame.kind = m_current.kind;
    frame.epoch = m_current.epoch;
    frame.bytes.swap(m_current.bytes);
    m_sink(std::move(frame));
}

void FrameParser::feedByte(uint8_t b)
{
    if (m_current.bytes.empty()) {
        if (isStatusBlockStart(b)) {
            startFrame(FrameKind::StatusBlock, b);
        } else if (isRealtimeStatus(b)) {
            startFrame(FrameKind::RealtimeStatus, b);
            emit();
        } else if (b == kTextHeader) {
            startFrame(FrameKind::Text, b);
        } else if (b == kSettingHeader) {
            startFrame(FrameKind::Setting, b);
        } else {
            startFrame(FrameKind::Raw, b);
            emit();
        }
        return;
    }
    switch (m_current.kind) {
    case FrameKind::StatusBlock:
        if (!isStatusBlockFollower(b)) {
            // Not a status block after all: hand its bytes on as ordinary input.
            ++m_rejected;
            std::vector<uint8_t> replay;
            replay.swap(m_current.bytes);
            for (const uint8_t r : replay) {
                startFrame(FrameKind::Raw, r);
                emit();
            }
            feedByte(b);
            return;
        }
        m_current.bytes.push_back(b);
        if (m_current.bytes.size() == kStatusBlockBytes) {
            emit();
        }
        return;
    case FrameKind::Text:
    case FrameKind::Setting:
        m_current.bytes.push_back(b);
        if (b == 0x00) {
            emit();
        } else if (m_current.bytes.size() >= kMaxFrameBytes) {
            // An answer this long is not an answer: pass it on as raw bytes.
            m_current.kind = FrameKind::Raw;
            emit();
        }
        return;
    default:
        m_current.bytes.clear();
        feedByte(b);
        return;
    }
}

} // namespace qpcomm
