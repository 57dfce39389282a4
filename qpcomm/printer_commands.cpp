#include "printer_commands.h"

#include <algorithm>

namespace qpcomm::printer_commands {

namespace {
std::vector<uint8_t> userSetting(std::vector<uint8_t> body)
{
    std::vector<uint8_t> request;
    request.reserve(5 + body.size());
    request.push_back(0x1D);
    request.push_back(0x28);
    request.push_back(0x45);
    request.push_back(static_cast<uint8_t>(body.size() & 0xFF));
    request.push_back(static_cast<uint8_t>(body.size() >> 8));
    for (const uint8_t b : body) {
        request.push_back(b);
    }
    return request;
}

std::optional<long> parseDecimal(const uint8_t* begin, const uint8_t* end)
{
    if (begin == end || end - begin > 6) {
        return std::nullopt;
    }
    long value = 0;
    for (const uint8_t* p = begin; p != end; ++p) {
        if (*p < '0' || *p > '9') {
            return std::nullopt;
        }
        value = value * 10 + (*p - '0');
    }
    return value;
}
} // namespace

std::vector<uint8_t> transmitId(uint8_t n)
{
    return {0x1D, 0x49, n};
}

std::vector<uint8_t> enterUserSetting()
{
    return userSetting({0x01, 0x49, 0x4E});
}

std::vector<uint8_t> leaveUserSetting()
{
    return userSetting({0x02, 0x4F, 0x55, 0x54});
}

std::vector<uint8_t> transmitCustomValue(uint8_t a)
{
    return userSetting({0x06, a});
}

std::vector<uint8_t> setCustomValue(uint8_t a, uint16_t value)
{
    return userSetting(
        {0x05, a, static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)});
}

std::vector<uint8_t> transmitMemorySwitch(uint8_t a)
{
    return userSetting({0x04, a});
}

std::vector<uint8_t> setMemorySwitch(uint8_t a, const std::string& bits)
{
    std::vector<uint8_t> body = {0x03, a};
    body.insert(body.end(), bits.begin(), bits.end());
    return userSetting(body);
}

std::optional<std::string> parseText(const Frame& frame)
{
    const auto& b = frame.bytes;
    if (frame.kind != FrameKind::Text || b.size() < 2 || b.front() != 0x5F || b.back() != 0x00) {
        return std::nullopt;
    }
    return std::string(b.begin() + 1, b.end() - 1);
}

std::optional<uint16_t> parseCustomValue(const Frame& frame, uint8_t a)
{
    const auto& b = frame.bytes;
    if (frame.kind != FrameKind::Setting || b.size() < 6 || b[1] != 0x27 || b.back() != 0x00) {
        return std::nullopt;
    }
    const auto separator = std::find(b.begin() + 2, b.end(), uint8_t{0x1F});
    if (separator == b.end()) {
        return std::nullopt;
    }
    const auto number = parseDecimal(b.data() + 2, &*separator);
    const auto value = parseDecimal(&*separator + 1, b.data() + b.size() - 1);
    if (!number || !value || *number != a || *value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(*value);
}

std::optional<std::string> parseMemorySwitch(const Frame& frame)
{
    const auto& b = frame.bytes;
    if (frame.kind != FrameKind::Setting || b.size() != 11 || b[1] != 0x21 || b.back() != 0x00) {
        return std::nullopt;
    }
    std::string bits(b.begin() + 2, b.end() - 1);
    if (!std::all_of(bits.begin(), bits.end(), [](char c) { return c == '0' || c == '1'; })) {
        return std::nullopt;
    }
    return bits;
}

bool isUserSettingAck(const Frame& frame)
{
    return frame.kind == FrameKind::Setting &&
           frame.bytes == std::vector<uint8_t>{0x37, 0x20, 0x00};
}

} // namespace qpcomm::printer_commands
