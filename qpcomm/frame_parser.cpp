#include "frame_parser.h"

namespace qpcomm {

namespace {
constexpr uint8_t kTextHeader = 0x5F;
constexpr uint8_t kSettingHeader = 0x37;
constexpr uint8_t kTerminator = 0x00;
constexpr uint8_t kSettingSeparator = 0x1F;
constexpr std::size_t kStatusBlockBytes = 4;

// The byte after 37 in every setting answer: acknowledgement, memory switch, custom value.
bool isSettingKind(uint8_t b)
{
    return b == 0x20 || b == 0x21 || b == 0x27;
}

// What may follow the kind byte of a setting answer before its terminator.
bool isSettingBody(uint8_t b)
{
    return (b >= '0' && b <= '9') || b == kSettingSeparator;
}
} // namespace

void FrameParser::reset()
{
    m_current.bytes.clear();
    m_skipping = false;
    m_skippedSeven = false;
}

bool FrameParser::discardPartial()
{
    if (m_current.bytes.empty()) {
        return false;
    }
    if (m_current.kind == FrameKind::Text || m_current.kind == FrameKind::Setting) {
        m_skipping = true;
        m_skippedKind = m_current.kind;
        m_skippedSeven = false;
    }
    m_current.bytes.clear();
    ++m_dropped;
    return true;
}

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
    if (m_skipping) {
        skipByte(b);
        return;
    }
    if (m_current.bytes.empty()) {
        feedStart(b);
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
        m_current.bytes.push_back(b);
        if (b == kTerminator) {
            emit();
        } else if (m_current.bytes.size() >= kMaxFrameBytes) {
            // An answer this long is not an answer: pass it on as raw bytes.
            m_current.kind = FrameKind::Raw;
            emit();
        }
        return;
    case FrameKind::Setting:
        feedSetting(b);
        return;
    default:
        m_current.bytes.clear();
        feedByte(b);
        return;
    }
}

void FrameParser::feedStart(uint8_t b)
{
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
}

void FrameParser::feedSetting(uint8_t b)
{
    auto& bytes = m_current.bytes;
    if (bytes.size() == 1) {
        if (isSettingKind(b)) {
            bytes.push_back(b);
            return;
        }
    } else if (b == kTerminator) {
        bytes.push_back(b);
        emit();
        return;
    } else if (isSettingBody(b)) {
        bytes.push_back(b);
        if (bytes.size() >= kMaxFrameBytes) {
            // An answer this long is not an answer: pass it on as raw bytes.
            m_current.kind = FrameKind::Raw;
            emit();
        }
        return;
    } else if (isSettingKind(b) && bytes.size() >= 3 && bytes.back() == kSettingHeader) {
        // 37 and a kind byte inside an answer: a new answer began before this one ended.
        ++m_dropped;
        startFrame(FrameKind::Setting, kSettingHeader);
        bytes.push_back(b);
        return;
    }
    // The answer is broken: drop it and read this byte afresh.
    ++m_dropped;
    bytes.clear();
    feedStart(b);
}

void FrameParser::skipByte(uint8_t b)
{
    if (m_skippedSeven) {
        m_skippedSeven = false;
        if (isSettingKind(b)) {
            m_skipping = false;
            startFrame(FrameKind::Setting, kSettingHeader);
            m_current.bytes.push_back(b);
            return;
        }
    }
    if (b == kTerminator) {
        m_skipping = false; // the end of the dropped answer
        return;
    }
    if (m_skippedKind == FrameKind::Setting) {
        if (b == kSettingHeader) {
            m_skippedSeven = true; // a digit 7, or the start of a new answer
        } else if (!isSettingBody(b) && !isSettingKind(b)) {
            m_skipping = false; // cannot belong to the rest: a frame of its own
            feedStart(b);
        }
        return;
    }
    // The rest of a text is printable: a text header or a control byte (a status byte, say)
    // ends the skip early.
    if (b == kTextHeader || b < 0x20) {
        m_skipping = false;
        feedStart(b);
    }
}

} // namespace qpcomm
