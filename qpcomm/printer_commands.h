#pragma once

#include "frame_parser.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qpcomm {

// Requests of the printer's command language and the reading of their answers.
namespace printer_commands {

enum TextId : uint8_t
{
    kFirmware = 0x41,
    kMaker = 0x42,
    kModelName = 0x43,
    kSerialNumber = 0x44,
    kCharacterSet = 0x45,
};
constexpr uint8_t kModelId = 0x01;

std::vector<uint8_t> transmitId(uint8_t n);
std::vector<uint8_t> enterUserSetting();
std::vector<uint8_t> leaveUserSetting();
std::vector<uint8_t> transmitCustomValue(uint8_t a);
std::vector<uint8_t> setCustomValue(uint8_t a, uint16_t value);
std::vector<uint8_t> transmitMemorySwitch(uint8_t a);
// bits: 8 characters '0', '1' or '2' (keep), the first for bit 1.
std::vector<uint8_t> setMemorySwitch(uint8_t a, const std::string& bits);

// "5F text 00" -> the text (8-bit); nullopt when the frame is not a text answer.
std::optional<std::string> parseText(const Frame& frame);
// "37 27 decimal(a) 1F decimal(value) 00" for value a.
std::optional<uint16_t> parseCustomValue(const Frame& frame, uint8_t a);
// "37 21" 8 x '0'/'1' "00".
std::optional<std::string> parseMemorySwitch(const Frame& frame);
bool isUserSettingAck(const Frame& frame);

} // namespace printer_commands
} // namespace qpcomm
