#include "state_file.h"

#include "posix/atomic_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qpr60 {
namespace {

std::string trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return std::string(s.substr(first, last - first + 1));
}

bool parseNumber(std::string_view text, long max, long& value)
{
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= 0 && value <= max;
}

bool parseLine(const std::string& line, PrinterSettings& s, std::string& why)
{
    const auto space = line.find(' ');
    const auto equals = line.find('=');
    if (space == std::string::npos || equals == std::string::npos || equals < space) {
        why = "expected \"custom A=V\" or \"memsw A=BITS\"";
        return false;
    }
    const std::string kind = line.substr(0, space);
    const std::string number = trim(std::string_view(line).substr(space + 1, equals - space - 1));
    const std::string value = trim(std::string_view(line).substr(equals + 1));
    long a = 0;
    if (kind == "custom") {
        long v = 0;
        if (!parseNumber(number, 255, a) || !parseNumber(value, 65535, v)) {
            why = "customized value number must be 0..255 and its value 0..65535";
            return false;
        }
        s.customized[a] = static_cast<uint16_t>(v);
        return true;
    }
    if (kind == "memsw") {
        if (!parseNumber(number, 255, a) || !PrinterSettings::validMemorySwitch(a) ||
            value.find('2') != std::string::npos ||
            !s.applyMemorySwitchText(static_cast<int>(a), value)) {
            why = "memory switch must be 1..8 with eight characters 0 or 1";
            return false;
        }
        return true;
    }
    why = "unknown entry \"" + kind + "\"";
    return false;
}

} // namespace

bool StateFile::load(PrinterSettings& settings, std::string& error) const
{
    std::ifstream in(m_path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT)
            return true;
        error = m_path + ": " + std::strerror(errno);
        return false;
    }
    PrinterSettings loaded = settings;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string text = trim(line);
        if (text.empty() || text[0] == '#')
            continue;
        std::string why;
        if (!parseLine(text, loaded, why)) {
            error = m_path + " line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    if (in.bad()) {
        error = m_path + ": read error";
        return false;
    }
    settings = loaded;
    return true;
}

bool StateFile::save(const PrinterSettings& settings, std::string& error) const
{
    std::ostringstream text;
    text << "# qpr60-emulator settings\n";
    for (size_t a = 0; a < settings.customized.size(); ++a)
        text << "custom " << a << '=' << settings.customized[a] << '\n';
    for (int a = 1; a <= PrinterSettings::kMemorySwitchCount; ++a)
        text << "memsw " << a << '=' << settings.memorySwitchText(a) << '\n';
    const std::string data = text.str();

    std::string why;
    if (!posix::WriteFileAtomically(m_path, data, &why)) {
        error = m_path + ": " + why;
        return false;
    }
    return true;
}

} // namespace qpr60
