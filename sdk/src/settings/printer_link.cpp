#include <qpu/settings/printer_link.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace qpu::settings {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kAnswerEnd = 0x00;
const Bytes kUserModePrefix = {0x37, 0x20};
const Bytes kCustomValuePrefix = {0x37, 0x27};
const Bytes kMemorySwitchPrefix = {0x37, 0x21};
const Bytes kTextPrefix = {0x5F};
// Longest answer any of these commands gets; more means the stream is not ours.
constexpr size_t kMaxAnswerBytes = 128;

Bytes UserSettingFrame(uint8_t function, std::initializer_list<uint8_t> data)
{
    const size_t length = data.size() + 1;
    Bytes bytes;
    bytes.reserve(6 + data.size());
    for (const uint8_t b :
         {uint8_t{0x1D}, uint8_t{0x28}, uint8_t{0x45}, static_cast<uint8_t>(length & 0xFF),
          static_cast<uint8_t>(length >> 8), function})
        bytes.push_back(b);
    for (const uint8_t b : data)
        bytes.push_back(b);
    return bytes;
}

// Parses the decimal digits in [begin, end): false when empty, not all digits or too long.
bool ParseDecimal(Bytes::const_iterator begin, Bytes::const_iterator end, int32_t* value)
{
    if (begin == end || end - begin > 9)
        return false;
    int32_t result = 0;
    for (auto it = begin; it != end; ++it) {
        if (*it < '0' || *it > '9')
            return false;
        result = result * 10 + (*it - '0');
    }
    *value = result;
    return true;
}

} // namespace

namespace commands {

Bytes EnterUserSettingMode()
{
    return UserSettingFrame(0x01, {0x49, 0x4E});
}
Bytes LeaveUserSettingMode()
{
    return UserSettingFrame(0x02, {0x4F, 0x55, 0x54});
}
Bytes SetCustomValue(uint8_t number, uint16_t value)
{
    return UserSettingFrame(
        0x05, {number, static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)});
}
Bytes TransmitCustomValue(uint8_t number)
{
    return UserSettingFrame(0x06, {number});
}
Bytes TransmitMemorySwitch(uint8_t number)
{
    return UserSettingFrame(0x04, {number});
}
Bytes SetMemorySwitch(uint8_t number, uint8_t bits, uint8_t keepMask)
{
    Bytes bytes = UserSettingFrame(0x03, {number});
    bytes[3] = 0x0A; // function, number and eight characters
    for (int bit = 0; bit < 8; ++bit) {
        const uint8_t mask = static_cast<uint8_t>(1u << bit);
        bytes.push_back((keepMask & mask) ? '2' : (bits & mask) ? '1' : '0');
    }
    return bytes;
}
Bytes TransmitModelName()
{
    return TransmitPrinterText(0x43);
}
Bytes TransmitPrinterText(uint8_t id)
{
    return {0x1D, 0x49, id};
}

} // namespace commands

bool ParseCustomValueAnswer(const Bytes& answer, uint8_t number, int32_t* value)
{
    if (answer.size() < 6 ||
        !std::equal(kCustomValuePrefix.begin(), kCustomValuePrefix.end(), answer.begin()) ||
        answer.back() != kAnswerEnd)
        return false;
    const auto separator = std::find(answer.begin() + 2, answer.end(), uint8_t{0x1F});
    if (separator == answer.end())
        return false;
    int32_t answeredNumber = 0;
    int32_t parsedValue = 0;
    if (!ParseDecimal(answer.begin() + 2, separator, &answeredNumber) ||
        !ParseDecimal(separator + 1, answer.end() - 1, &parsedValue))
        return false;
    if (answeredNumber != number || parsedValue > 0xFFFF)
        return false;
    *value = parsedValue;
    return true;
}

bool ParseMemorySwitchAnswer(const Bytes& answer, uint8_t* bits)
{
    if (answer.size() != 11 || answer[0] != 0x37 || answer[1] != 0x21 || answer[10] != kAnswerEnd)
        return false;
    uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const uint8_t c = answer[size_t(2 + bit)];
        if (c != '0' && c != '1')
            return false;
        if (c == '1')
            result |= static_cast<uint8_t>(1u << bit);
    }
    *bits = result;
    return true;
}

PrinterLink::PrinterLink(const CommLibTable* table, uint32_t answerTimeoutMs)
    : m_table(table), m_answerTimeoutMs(answerTimeoutMs)
{}

bool PrinterLink::Bound() const
{
    return m_table != nullptr && m_table->module != nullptr && m_table->Write != nullptr &&
           m_table->Read != nullptr && m_table->Purge != nullptr;
}

int32_t PrinterLink::Send(const Bytes& bytes)
{
    if (!Bound())
        return kPrinterNotBound;
    uint32_t written = 0;
    const int32_t rc = m_table->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
    if (rc != QPC_OK || written != bytes.size()) {
        m_lastLibraryResult = rc != QPC_OK ? rc : QPC_ERR_IO;
        return kPrinterNoAnswer;
    }
    return kPrinterOk;
}

int32_t PrinterLink::Transact(const Bytes& request, const Bytes& prefix, Bytes* answer)
{
    if (!Bound())
        return kPrinterNotBound;
    // An answer left over from an earlier, timed-out request must not pass for this one.
    m_table->Purge();
    const int32_t rc = Send(request);
    if (rc != kPrinterOk)
        return rc;
    const int32_t result = ReadAnswer(prefix, answer, m_answerTimeoutMs);
    m_lastAnswer = *answer;
    return result;
}

int32_t PrinterLink::ReadAnswer(const Bytes& prefix, Bytes* answer, uint32_t timeoutMs)
{
    answer->clear();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    uint8_t buffer[64];
    size_t skipped = 0;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return kPrinterNoAnswer;
        uint32_t received = 0;
        const int32_t rc =
            m_table->Read(buffer, sizeof buffer, &received, static_cast<uint32_t>(left.count()));
        if (rc != QPC_OK) {
            m_lastLibraryResult = rc;
            return kPrinterNoAnswer;
        }
        for (uint32_t i = 0; i < received; ++i) {
            answer->push_back(buffer[i]);
            const size_t n = answer->size();
            // Bytes before the answer's first byte are the rest of something earlier (a
            // late or garbled answer to another request): skip them. Once the answer has
            // begun, every byte of the prefix must match where it stands.
            if (n <= prefix.size() && answer->back() != prefix[n - 1]) {
                if (n == 1) {
                    answer->clear();
                    if (++skipped > kMaxAnswerBytes)
                        return kPrinterNoAnswer;
                    continue;
                }
                return kPrinterNoAnswer;
            }
            if (n > prefix.size() && answer->back() == kAnswerEnd) {
                // A half answer left over from an earlier request can run straight into
                // this one ("37 27 35 1F 37 27 35 1F 31 00"); a two-byte prefix never
                // occurs inside these answers, so the answer starts at its last occurrence.
                if (prefix.size() >= 2) {
                    const auto last = std::find_end(answer->begin() + 1, answer->end(),
                                                    prefix.begin(), prefix.end());
                    if (last != answer->end())
                        answer->erase(answer->begin(), last);
                }
                return kPrinterOk;
            }
            if (n >= kMaxAnswerBytes)
                return kPrinterNoAnswer;
        }
    }
}

int32_t PrinterLink::EnterUserSettingMode()
{
    Bytes answer;
    const int32_t rc = Transact(commands::EnterUserSettingMode(), kUserModePrefix, &answer);
    if (rc != kPrinterOk)
        return rc;
    return answer == Bytes{0x37, 0x20, 0x00} ? kPrinterOk : kPrinterNoAnswer;
}

int32_t PrinterLink::LeaveUserSettingMode()
{
    return Send(commands::LeaveUserSettingMode());
}

int32_t PrinterLink::ReadCustomValue(uint8_t number, int32_t* value)
{
    Bytes answer;
    const int32_t rc = Transact(commands::TransmitCustomValue(number), kCustomValuePrefix, &answer);
    if (rc != kPrinterOk)
        return rc;
    return ParseCustomValueAnswer(answer, number, value) ? kPrinterOk : kPrinterNoAnswer;
}

int32_t PrinterLink::WriteCustomValue(uint8_t number, uint16_t value)
{
    return Send(commands::SetCustomValue(number, value));
}

int32_t PrinterLink::ReadMemorySwitch(uint8_t number, uint8_t* bits)
{
    if (number < 1 || number > 8)
        return kPrinterBadArgument;
    Bytes answer;
    const int32_t rc =
        Transact(commands::TransmitMemorySwitch(number), kMemorySwitchPrefix, &answer);
    if (rc != kPrinterOk)
        return rc;
    return ParseMemorySwitchAnswer(answer, bits) ? kPrinterOk : kPrinterNoAnswer;
}

int32_t PrinterLink::WriteMemorySwitch(uint8_t number, uint8_t bits)
{
    if (number < 1 || number > 8)
        return kPrinterBadArgument;
    return Send(commands::SetMemorySwitch(number, bits));
}

int32_t PrinterLink::ReadPrinterText(uint8_t id, std::string* text)
{
    Bytes answer;
    const int32_t rc = Transact(commands::TransmitPrinterText(id), kTextPrefix, &answer);
    if (rc != kPrinterOk)
        return rc;
    text->assign(answer.begin() + 1, answer.end() - 1);
    return kPrinterOk;
}

int32_t PrinterLink::WaitUntilAnswering(uint32_t timeoutMs)
{
    if (!Bound())
        return kPrinterNotBound;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Bytes answer;
        if (Transact(commands::TransmitModelName(), kTextPrefix, &answer) == kPrinterOk)
            return kPrinterOk;
        if (Clock::now() >= deadline)
            return kPrinterNoAnswer;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

int32_t PrinterLink::InUserSettingMode(const std::function<int32_t()>& work,
                                       uint32_t restartTimeoutMs)
{
    const int32_t entered = EnterUserSettingMode();
    if (entered == kPrinterNoAnswer) {
        // The request may have reached the printer and only its answer got lost: leave the
        // mode anyway, which a printer outside the mode ignores, so it is not left unable
        // to print.
        LeaveUserSettingMode();
        return entered;
    }
    if (entered != kPrinterOk)
        return entered;
    const int32_t result = work();
    // Leave even after a failure: a printer left in its user-setting mode does not print.
    const int32_t left = LeaveUserSettingMode();
    const int32_t back = left == kPrinterOk ? WaitUntilAnswering(restartTimeoutMs) : left;
    return result != kPrinterOk ? result : back;
}

int32_t PrinterLink::ReadAllowingUserSettingMode(const std::function<int32_t()>& read,
                                                 uint32_t restartTimeoutMs)
{
    const int32_t direct = read();
    if (direct != kPrinterNoAnswer)
        return direct;
    return InUserSettingMode(read, restartTimeoutMs);
}

} // namespace qpu::settings
