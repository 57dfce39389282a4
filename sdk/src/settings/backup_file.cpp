#include <qpu/settings/backup_file.h>

#include <qpu/settings/printer_settings.h>

#include <charconv>
#include <sstream>

namespace qpu::settings {

namespace {

constexpr char kHeader[] = "QPR60-BACKUP 1";

// "PREFIX A=REST" with A decimal; false when the line has another form.
bool SplitNumbered(const std::string& line, const std::string& prefix, int* number,
                   std::string* rest)
{
    if (line.rfind(prefix, 0) != 0)
        return false;
    const size_t equals = line.find('=', prefix.size());
    if (equals == std::string::npos)
        return false;
    const char* begin = line.data() + prefix.size();
    const char* end = line.data() + equals;
    const auto [ptr, ec] = std::from_chars(begin, end, *number);
    if (ec != std::errc() || ptr != end || begin == end)
        return false;
    *rest = line.substr(equals + 1);
    return true;
}

bool ParseValue(const std::string& text, uint16_t* value)
{
    unsigned parsed = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty() || parsed > 0xFFFF)
        return false;
    *value = static_cast<uint16_t>(parsed);
    return true;
}

} // namespace

bool ParseBackup(const std::string& text, BackupContents* contents, std::string* error)
{
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) {
        *error = "not a backup file (the first line is not \"" + std::string(kHeader) + "\")";
        return false;
    }
    BackupContents read;
    int lineNumber = 1;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (line.empty())
            continue;
        int number = -1;
        std::string rest;
        uint16_t value = 0;
        uint8_t bits = 0;
        if (line.rfind("model=", 0) == 0) {
            read.model = line.substr(6);
        } else if (SplitNumbered(line, "custom ", &number, &rest) && number >= 0 &&
                   number < kCustomValueCount && ParseValue(rest, &value)) {
            read.customValues[number] = value;
        } else if (SplitNumbered(line, "memsw ", &number, &rest) && number >= 1 &&
                   number <= kMemorySwitchCount && ParseSwitchBitText(rest, &bits)) {
            read.memorySwitches[number] = bits;
        } else {
            *error = "line " + std::to_string(lineNumber) + " is not a setting: " + line;
            return false;
        }
    }
    if (read.customValues.empty() && read.memorySwitches.empty()) {
        *error = "the file holds no setting";
        return false;
    }
    *contents = std::move(read);
    return true;
}

} // namespace qpu::settings
