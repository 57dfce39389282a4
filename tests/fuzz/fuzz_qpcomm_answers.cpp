// The communication library's answer framing and status decoding.
#include "frame_parser.h"
#include "status_decoder.h"

#include <array>
#include <cstring>

using namespace qpcomm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t frames = 0;
    FrameParser parser([&](Frame&& frame) {
        ++frames;
        if (frame.bytes.empty() || frame.bytes.size() > FrameParser::kMaxFrameBytes)
            __builtin_trap();
        if (frame.kind == FrameKind::StatusBlock) {
            if (frame.bytes.size() != 4)
                __builtin_trap();
            std::array<uint8_t, 4> block{};
            std::memcpy(block.data(), frame.bytes.data(), 4);
            const PrinterCondition condition = decodeStatusBlock(block);
            ordinaryCode(condition);
            lastingCode(condition);
        }
    });
    // The first byte chooses how the rest arrives: in pieces of 1..16 bytes, with purges.
    const size_t step = size ? (data[0] & 0x0F) + 1 : 1;
    for (size_t at = size ? 1 : 0; at < size; at += step) {
        parser.feed(data + at, std::min(step, size - at));
        if (size && (data[0] & 0x80) && at % 64 == 1) {
            parser.discardPartial();
            parser.setEpoch(at);
        }
    }
    if (size >= 8) {
        std::array<uint8_t, 8> answers{};
        std::memcpy(answers.data(), data + size - 8, 8);
        const PrinterCondition condition = decodeRealtimeStatus(answers);
        ordinaryCode(condition);
        lastingCode(condition);
    }
    return 0;
}
