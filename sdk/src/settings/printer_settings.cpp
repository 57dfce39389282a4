#include <qpu/settings/printer_settings.h>

#include <algorithm>

namespace qpu::settings {

namespace {

constexpr int32_t kDensityLowest = 70;
constexpr int32_t kDensityHighest = 130;
constexpr int32_t kDensityStep = 5;
constexpr int32_t kSpeedLowest = 1;
constexpr int32_t kSpeedHighest = 9;

bool ValidSwitchNumber(uint8_t number)
{
    return number >= 1 && number <= kMemorySwitchCount;
}

} // namespace

std::vector<int32_t> DensityChoices()
{
    std::vector<int32_t> choices;
    for (int32_t percent = kDensityLowest; percent <= kDensityHighest; percent += kDensityStep)
        choices.push_back(percent);
    return choices;
}

std::vector<int32_t> SpeedChoices()
{
    std::vector<int32_t> choices;
    for (int32_t level = kSpeedLowest; level <= kSpeedHighest; ++level)
        choices.push_back(level);
    return choices;
}

bool IsDensityChoice(int32_t percent)
{
    const auto choices = DensityChoices();
    return std::find(choices.begin(), choices.end(), percent) != choices.end();
}

bool IsSpeedChoice(int32_t level)
{
    return level >= kSpeedLowest && level <= kSpeedHighest;
}

std::string SwitchBitText(uint8_t bits)
{
    std::string text;
    for (int bit = 0; bit < 8; ++bit)
        text += (bits & (1u << bit)) ? '1' : '0';
    return text;
}

bool ParseSwitchBitText(const std::string& text, uint8_t* bits)
{
    if (text.size() != 8)
        return false;
    uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const char c = text[size_t(bit)];
        if (c != '0' && c != '1')
            return false;
        if (c == '1')
            result |= static_cast<uint8_t>(1u << bit);
    }
    *bits = result;
    return true;
}

int32_t ReadSettings(PrinterLink& link, const std::vector<uint8_t>& customNumbers,
                     const std::vector<uint8_t>& switchNumbers,
                     std::map<uint8_t, uint16_t>* customValues,
                     std::map<uint8_t, uint8_t>* switches)
{
    if (!std::all_of(switchNumbers.begin(), switchNumbers.end(), ValidSwitchNumber))
        return kPrinterBadArgument;
    std::map<uint8_t, uint16_t> readValues;
    std::map<uint8_t, uint8_t> readSwitches;
    const int32_t rc = link.ReadAllowingUserSettingMode(
        [&] {
            readValues.clear();
            readSwitches.clear();
            for (const uint8_t number : customNumbers) {
                int32_t value = 0;
                const int32_t one = link.ReadCustomValue(number, &value);
                if (one != kPrinterOk)
                    return one;
                readValues[number] = static_cast<uint16_t>(value);
            }
            for (const uint8_t number : switchNumbers) {
                const int32_t one = link.ReadMemorySwitch(number, &readSwitches[number]);
                if (one != kPrinterOk)
                    return one;
            }
            return kPrinterOk;
        },
        kRestartTimeoutMs);
    if (rc == kPrinterOk) {
        *customValues = std::move(readValues);
        *switches = std::move(readSwitches);
    }
    return rc;
}

int32_t ReadPrintValues(PrinterLink& link, PrintValues* values)
{
    std::map<uint8_t, uint16_t> read;
    std::map<uint8_t, uint8_t> none;
    const int32_t rc =
        ReadSettings(link, {QPU_CUSTOM_PRINT_DENSITY, QPU_CUSTOM_PRINT_SPEED}, {}, &read, &none);
    if (rc == kPrinterOk)
        *values = {read[QPU_CUSTOM_PRINT_DENSITY], read[QPU_CUSTOM_PRINT_SPEED]};
    return rc;
}

int32_t ReadSwitches(PrinterLink& link, Switches* switches)
{
    std::vector<uint8_t> numbers;
    for (int number = 1; number <= kMemorySwitchCount; ++number)
        numbers.push_back(static_cast<uint8_t>(number));
    std::map<uint8_t, uint16_t> none;
    std::map<uint8_t, uint8_t> read;
    const int32_t rc = ReadSettings(link, {}, numbers, &none, &read);
    if (rc == kPrinterOk) {
        for (const auto& [number, bits] : read)
            (*switches)[number - 1u] = bits;
    }
    return rc;
}

int32_t WriteSettings(PrinterLink& link, const SettingChanges& changes)
{
    for (const auto& entry : changes.memorySwitches)
        if (!ValidSwitchNumber(entry.first))
            return kPrinterBadArgument;
    if (changes.Empty())
        return kPrinterOk;
    return link.InUserSettingMode(
        [&] {
            for (const auto& [number, value] : changes.customValues) {
                const int32_t one = link.WriteCustomValue(number, value);
                if (one != kPrinterOk)
                    return one;
            }
            for (const auto& [number, bits] : changes.memorySwitches) {
                const int32_t one = link.WriteMemorySwitch(number, bits);
                if (one != kPrinterOk)
                    return one;
            }
            return kPrinterOk;
        },
        kRestartTimeoutMs);
}

int32_t WritePrintValues(PrinterLink& link, const PrintValues& values)
{
    if (values.density < 0 || values.density > 0xFFFF || values.speed < 0 || values.speed > 0xFFFF)
        return kPrinterBadArgument;
    SettingChanges changes;
    changes.customValues[QPU_CUSTOM_PRINT_DENSITY] = static_cast<uint16_t>(values.density);
    changes.customValues[QPU_CUSTOM_PRINT_SPEED] = static_cast<uint16_t>(values.speed);
    return WriteSettings(link, changes);
}

int32_t WriteSwitches(PrinterLink& link, const Switches& before, const Switches& after)
{
    SettingChanges changes;
    for (size_t i = 0; i < after.size(); ++i)
        if (before[i] != after[i])
            changes.memorySwitches[static_cast<uint8_t>(i + 1)] = after[i];
    return WriteSettings(link, changes);
}

} // namespace qpu::settings
