// The communication library's reading of the printer's byte stream: the framing, the
// answers to requests (texts, user-setting values and memory switches) and the status
// decoding.
#include "frame_parser.h"
#include "printer_commands.h"
#include "status_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace qpcomm;
namespace pc = qpcomm::printer_commands;

namespace {

void CheckCodes(const PrinterCondition& condition)
{
    const int32_t ordinary = ordinaryCode(condition);
    const int32_t lasting = lastingCode(condition);
    if (ordinary < 0 || ordinary > 22)
        __builtin_trap();
    if (lasting != 100 && lasting != 10 && lasting != 11 && lasting != 12 && lasting != 13 &&
        lasting != 15 && lasting != 20 && lasting != 21)
        __builtin_trap();
}

void CheckAnswers(const Frame& frame)
{
    const auto& b = frame.bytes;
    if (const auto text = pc::parseText(frame); text && text->size() + 2 != b.size())
        __builtin_trap();
    if (const auto bits = pc::parseMemorySwitch(frame);
        bits && (bits->size() != 8 || bits->find_first_not_of("01") != std::string::npos))
        __builtin_trap();
    // The value number the answer names, and one it does not.
    if (b.size() >= 3) {
        pc::parseCustomValue(frame, b[2] >= '0' && b[2] <= '9' ? uint8_t(b[2] - '0') : 0);
        pc::parseCustomValue(frame, b[2]);
    }
    if (pc::isUserSettingAck(frame) && b.size() != 3)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t streamed = 0;
    FrameParser parser([&](Frame&& frame) {
        streamed += frame.bytes.size();
        if (frame.bytes.empty() || frame.bytes.size() > FrameParser::kMaxFrameBytes)
            __builtin_trap();
        if (frame.kind == FrameKind::StatusBlock) {
            if (frame.bytes.size() != 4)
                __builtin_trap();
            std::array<uint8_t, 4> block{};
            std::memcpy(block.data(), frame.bytes.data(), 4);
            CheckCodes(decodeStatusBlock(block));
        }
        CheckAnswers(frame);
    });
    // The first byte chooses how the rest arrives: in pieces of 1..16 bytes, with purges.
    const size_t step = size ? (data[0] & 0x0F) + 1 : 1;
    const bool purges = size && (data[0] & 0x80);
    for (size_t at = size ? 1 : 0; at < size; at += step) {
        parser.feed(data + at, std::min(step, size - at));
        if (purges && at % 64 == 1) {
            parser.discardPartial();
            parser.setEpoch(at);
        }
    }
    // No byte comes out twice (broken answers are dropped, so some may not come out).
    if (streamed > (size ? size - 1 : 0))
        __builtin_trap();
    if (size >= 8) {
        std::array<uint8_t, 8> answers{};
        std::memcpy(answers.data(), data + size - 8, 8);
        CheckCodes(decodeRealtimeStatus(answers));
    }
    return 0;
}
