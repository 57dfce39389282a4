#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qpcomm {

// What one piece of the printer's byte stream is.
enum class FrameKind
{
    StatusBlock,    // 4 automatic-status bytes, first 0xx1xx00, then 0xx0xxxx
    RealtimeStatus, // one real-time status byte 0xx1xx10
    Text,           // 5F text 00 (printer ID texts)
    Setting,        // 37 ... 00 (user-setting answers)
    Raw,            // a byte outside every frame (model ID, garbage)
};

struct Frame
{
    FrameKind kind = FrameKind::Raw;
    std::vector<uint8_t> bytes; // the whole frame, header and terminator included
    uint64_t epoch = 0;         // purge epoch in which the frame's first byte arrived
};

// Splits the byte stream from the printer into frames by their own framing, however the
// bytes are split over reads. Unsolicited status blocks are recognised by their fixed bit
// pattern; a block whose later bytes break the pattern is rejected and its bytes parsed
// again as ordinary input.
//
// A setting answer holds only its header 37, one kind byte (20, 21 or 27), digits, 1F and
// the terminator 00. A byte that cannot be part of it ends it as broken: the partial frame
// is dropped and the framer resynchronises on that byte (a text header, a status byte, or
// 37 followed by a kind byte, which only ever begins an answer).
class FrameParser
{
public:
    using Sink = std::function<void(Frame&&)>;

    static constexpr std::size_t kMaxFrameBytes = 512;

    explicit FrameParser(Sink sink) : m_sink(std::move(sink)) {}

    void feed(const uint8_t* data, std::size_t length);
    // Frames that start from now on belong to the new epoch.
    void setEpoch(uint64_t epoch) { m_epoch = epoch; }
    // Drops a partly received frame and forgets any resynchronisation (after a lost link).
    void reset();
    // Drops a partly received answer (on a purge). Its rest may still be on its way, so the
    // bytes that follow are skipped up to the answer's terminator 00, unless a frame start
    // that cannot belong to the rest comes first. True when a partial frame was dropped.
    bool discardPartial();
    bool skipping() const { return m_skipping; }
    std::size_t rejectedStatusBlocks() const { return m_rejected; }
    std::size_t droppedFrames() const { return m_dropped; }

    static bool isStatusBlockStart(uint8_t b) { return (b & 0x93) == 0x10; }
    static bool isStatusBlockFollower(uint8_t b) { return (b & 0x90) == 0x00; }
    static bool isRealtimeStatus(uint8_t b) { return (b & 0x93) == 0x12; }

private:
    void feedByte(uint8_t b);
    void feedStart(uint8_t b);
    void feedSetting(uint8_t b);
    void skipByte(uint8_t b);
    void startFrame(FrameKind kind, uint8_t b);
    void emit();

    Sink m_sink;
    Frame m_current;
    uint64_t m_epoch = 0;
    std::size_t m_rejected = 0;
    std::size_t m_dropped = 0;
    // Skipping the rest of a dropped answer of kind m_skippedKind.
    bool m_skipping = false;
    FrameKind m_skippedKind = FrameKind::Raw;
    // A 37 seen while skipping: a digit of the rest, or the header of a new setting answer.
    bool m_skippedSeven = false;
};

} // namespace qpcomm
