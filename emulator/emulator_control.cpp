// The control channel: one command line in, one answer line out.
#include "emulator.h"

#include "io_util.h"

#include <cctype>
#include <charconv>
#include <sstream>

namespace qpr60 {
namespace {

std::vector<std::string> splitWords(std::string_view line)
{
    std::vector<std::string> words;
    std::istringstream in{std::string(line)};
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

// The text after the first word, trimmed: identity texts may hold blanks.
std::string restOfLine(std::string_view line)
{
    const auto start = line.find_first_not_of(" \t");
    const auto gap = line.find_first_of(" \t", start);
    if (gap == std::string_view::npos)
        return {};
    const auto text = line.find_first_not_of(" \t", gap);
    if (text == std::string_view::npos)
        return {};
    const auto last = line.find_last_not_of(" \t\r");
    return std::string(line.substr(text, last - text + 1));
}

bool parseInt(const std::string& text, long min, long max, long& value)
{
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size() && value >= min && value <= max;
}

bool parseOnOff(const std::string& word, bool& value)
{
    if (word == "on") {
        value = true;
        return true;
    }
    if (word == "off") {
        value = false;
        return true;
    }
    return false;
}

bool parsePaper(const std::string& word, PaperState& value)
{
    if (word == "ok")
        value = PaperState::Ok;
    else if (word == "near")
        value = PaperState::NearEnd;
    else if (word == "end")
        value = PaperState::End;
    else
        return false;
    return true;
}

bool parseInk(const std::string& word, InkState& value)
{
    if (word == "ok")
        value = InkState::Ok;
    else if (word == "near")
        value = InkState::NearEnd;
    else if (word == "out")
        value = InkState::Out;
    else if (word == "none")
        value = InkState::NoCartridge;
    else
        return false;
    return true;
}

bool parseHex(std::string_view text, std::vector<uint8_t>& out)
{
    std::string digits;
    for (const char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        digits += c;
    }
    if (digits.empty() || digits.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return true;
}

const char* onOff(bool value)
{
    return value ? "on" : "off";
}

// Identity texts go into answers framed by 00 and into discovery lines: no control bytes.
bool validIdentityText(const std::string& text)
{
    if (text.empty() || text.size() > 80)
        return false;
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

} // namespace

std::string Emulator::control(std::string_view rawLine)
{
    std::string_view line = rawLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    const std::vector<std::string> words = splitWords(line);
    if (words.empty())
        return "ERR empty command";
    const std::string& cmd = words[0];
    PrinterIdentity& id = m_printer.identity();

    if (cmd == "status")
        return "OK " + statusText();
    if (cmd == "log") {
        if (words.size() == 1)
            return m_received.empty() ? "OK"
                                      : "OK " + hexText(m_received.data(), m_received.size());
        if (words.size() == 2 && words[1] == "clear") {
            m_received.clear();
            return "OK";
        }
        return "ERR usage: log [clear]";
    }
    if (cmd == "quit") {
        m_quit = true;
        return "OK";
    }
    if (cmd == "drop") {
        dropConnections();
        return "OK";
    }
    if (cmd == "silent" || cmd == "garbage" || cmd == "split" || cmd == "truncate" ||
        cmd == "discovery") {
        bool value = false;
        if (words.size() != 2 || !parseOnOff(words[1], value))
            return "ERR usage: " + cmd + " on|off";
        (cmd == "silent"     ? m_silent
         : cmd == "garbage"  ? m_garbage
         : cmd == "split"    ? m_split
         : cmd == "truncate" ? m_truncate
                             : m_discoveryEnabled) = value;
        return "OK";
    }
    if (cmd == "slow") {
        long ms = 0;
        if (words.size() != 2 || !parseInt(words[1], 0, 600000, ms))
            return "ERR usage: slow MS (0..600000)";
        m_slowMs = static_cast<int>(ms);
        return "OK";
    }
    if (cmd == "model" || cmd == "serial" || cmd == "firmware" || cmd == "maker" ||
        cmd == "charset") {
        std::string& field = cmd == "model"      ? id.model
                             : cmd == "serial"   ? id.serial
                             : cmd == "firmware" ? id.firmware
                             : cmd == "maker"    ? id.maker
                                                 : id.charset;
        if (words.size() == 1)
            return "OK " + field;
        const std::string text = restOfLine(line);
        if (!validIdentityText(text))
            return "ERR " + cmd + ": 1 to 80 printable characters";
        field = text;
        return "OK";
    }
    if (cmd == "modelid") {
        long value = 0;
        if (words.size() == 1)
            return "OK " + std::to_string(id.modelId);
        if (words.size() != 2 || !parseInt(words[1], 0, 255, value))
            return "ERR usage: modelid N (0..255)";
        id.modelId = static_cast<uint8_t>(value);
        return "OK";
    }
    if (cmd == "send") {
        std::vector<uint8_t> bytes;
        if (!parseHex(restOfLine(line), bytes))
            return "ERR usage: send HEX";
        for (const auto& s : m_sessions)
            if (!s->closing)
                enqueue(*s, bytes);
        return "OK";
    }
    if (cmd == "custom") {
        long a = 0;
        long value = 0;
        if (words.size() < 2 || words.size() > 3 || !parseInt(words[1], 0, 255, a))
            return "ERR usage: custom A [V] (A 0..255, V 0..65535)";
        if (words.size() == 2)
            return "OK " + std::to_string(m_printer.settings().customized[a]);
        if (!parseInt(words[2], 0, 65535, value))
            return "ERR usage: custom A [V] (A 0..255, V 0..65535)";
        m_printer.settings().customized[a] = static_cast<uint16_t>(value);
        saveSettings();
        return "OK";
    }
    if (cmd == "memsw") {
        long a = 0;
        if (words.size() < 2 || words.size() > 3 || !parseInt(words[1], 1, 8, a))
            return "ERR usage: memsw A [BITS] (A 1..8, BITS 8 of 0/1/2)";
        if (words.size() == 2)
            return "OK " + m_printer.settings().memorySwitchText(static_cast<int>(a));
        if (!m_printer.settings().applyMemorySwitchText(static_cast<int>(a), words[2]))
            return "ERR usage: memsw A [BITS] (A 1..8, BITS 8 of 0/1/2)";
        saveSettings();
        return "OK";
    }
    if (cmd == "clear") {
        m_printer.conditions() = PrinterConditions{.restarting = m_restartEnd.has_value()};
        m_silent = m_garbage = m_split = m_truncate = false;
        m_slowMs = 0;
        statusMayHaveChanged();
        return "OK";
    }
    if (cmd == "code") {
        long code = 0;
        if (words.size() != 2 || !parseInt(words[1], 0, kHighestStatusCode, code))
            return "ERR usage: code N (0..22)";
        m_silent = code == kNoAnswerCode;
        PrinterConditions c =
            conditionsForCode(static_cast<int>(code)).value_or(PrinterConditions{});
        c.restarting = m_restartEnd.has_value();
        m_printer.conditions() = c;
        statusMayHaveChanged();
        return "OK";
    }
    const std::string answer = controlSetCondition(words);
    if (answer == "OK")
        statusMayHaveChanged();
    return answer;
}

std::string Emulator::controlSetCondition(const std::vector<std::string>& words)
{
    PrinterConditions& c = m_printer.conditions();
    const std::string& cmd = words[0];
    const std::string arg = words.size() >= 2 ? words[1] : std::string();
    struct Flag
    {
        const char* name;
        bool PrinterConditions::*member;
        const char* onWord;
        const char* offWord;
    };
    static const Flag flags[] = {
        {"offline", &PrinterConditions::offline, "on", "off"},
        {"cover", &PrinterConditions::coverOpen, "open", "close"},
        {"cutter", &PrinterConditions::cutterError, "error", "ok"},
        {"fatal", &PrinterConditions::fatalError, "on", "off"},
        {"recoverable", &PrinterConditions::recoverableError, "on", "off"},
        {"autorecover", &PrinterConditions::autoRecoverableError, "on", "off"},
        {"feed", &PrinterConditions::feeding, "on", "off"},
        {"recovery", &PrinterConditions::waitingRecovery, "on", "off"},
        {"removal", &PrinterConditions::awaitingRemoval, "on", "off"},
        {"layout", &PrinterConditions::layoutError, "on", "off"},
        {"cleaning", &PrinterConditions::cleaning, "on", "off"},
    };
    for (const Flag& flag : flags) {
        if (cmd != flag.name)
            continue;
        if (words.size() == 2 && arg == flag.onWord)
            c.*flag.member = true;
        else if (words.size() == 2 && arg == flag.offWord)
            c.*flag.member = false;
        else
            return "ERR usage: " + cmd + " " + flag.onWord + "|" + flag.offWord;
        return "OK";
    }
    if (cmd == "paper" || cmd == "journal") {
        PaperState state{};
        if (words.size() != 2 || !parsePaper(arg, state))
            return "ERR usage: " + cmd + " end|near|ok";
        (cmd == "paper" ? c.paper : c.journal) = state;
        return "OK";
    }
    if (cmd == "ink") {
        InkState state{};
        if (words.size() != 3 || (arg != "1" && arg != "2") || !parseInk(words[2], state))
            return "ERR usage: ink 1|2 ok|near|out|none";
        c.ink[arg == "1" ? 0 : 1] = state;
        return "OK";
    }
    return "ERR unknown command \"" + cmd + "\"";
}

std::string Emulator::statusText() const
{
    const PrinterConditions& c = m_printer.conditions();
    size_t tcp = 0;
    size_t userMode = 0;
    size_t autoStatusOn = 0;
    for (const auto& s : m_sessions) {
        if (s->closing)
            continue;
        tcp += s->kind == Session::Kind::Tcp;
        userMode += s->state.userMode;
        autoStatusOn += s->state.autoStatus;
    }
    std::array<uint8_t, 8> realTime{};
    for (int n = 1; n <= 8; ++n)
        realTime[n - 1] = realTimeStatus(c, n).value_or(0);
    const AutoStatus asb = autoStatus(c);
    std::ostringstream out;
    out << "code=" << (m_silent ? kNoAnswerCode : ordinaryStatusCode(c))
        << " lasting=" << lastingStatusCode(c) << " offline=" << (isOffline(c) ? 1 : 0)
        << " explicit-offline=" << onOff(c.offline) << " cover=" << (c.coverOpen ? "open" : "close")
        << " paper=" << paperStateName(c.paper) << " journal=" << paperStateName(c.journal)
        << " cutter=" << (c.cutterError ? "error" : "ok") << " fatal=" << onOff(c.fatalError)
        << " recoverable=" << onOff(c.recoverableError)
        << " autorecover=" << onOff(c.autoRecoverableError) << " feed=" << onOff(c.feeding)
        << " recovery=" << onOff(c.waitingRecovery) << " removal=" << onOff(c.awaitingRemoval)
        << " layout=" << onOff(c.layoutError) << " cleaning=" << onOff(c.cleaning)
        << " ink1=" << inkStateName(c.ink[0]) << " ink2=" << inkStateName(c.ink[1])
        << " silent=" << onOff(m_silent) << " slow=" << m_slowMs << " split=" << onOff(m_split)
        << " garbage=" << onOff(m_garbage) << " truncate=" << onOff(m_truncate)
        << " discovery=" << onOff(m_discoveryEnabled) << " restarting=" << (m_restartEnd ? 1 : 0)
        << " tcp=" << tcp << " pty=" << m_ptys.size() << " usermode=" << userMode
        << " asb-on=" << autoStatusOn << " printed=" << m_printedTotal
        << " received=" << m_receivedTotal
        << " rt=" << hexText(realTime.data(), realTime.size(), "")
        << " asb=" << hexText(asb.data(), asb.size(), "");
    return out.str();
}

} // namespace qpr60
