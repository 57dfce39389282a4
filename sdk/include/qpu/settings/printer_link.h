// Printer commands of the QP-R60 sent through a communication library table: customized
// values, memory switches and the user-setting mode. Shared by the setting-page plug-ins
// (through AppState.commLib) and qp60ctl. No Qt; every call blocks.
#pragma once

#include <qpu/comm_lib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qpu::settings {

using Bytes = std::vector<uint8_t>;

// Results: printer operations answer 1.
inline constexpr int32_t kPrinterOk = 1;
inline constexpr int32_t kPrinterNotBound = -24; // no communication library
inline constexpr int32_t kPrinterNoAnswer = -64; // no, late or malformed answer; write failed
inline constexpr int32_t kPrinterBadArgument = -3;

// The command bytes (see DESIGN: 1D 28 45 ...).
namespace commands {
Bytes EnterUserSettingMode();                         // 1D 28 45 03 00 01 49 4E
Bytes LeaveUserSettingMode();                         // 1D 28 45 04 00 02 4F 55 54
Bytes SetCustomValue(uint8_t number, uint16_t value); // 1D 28 45 04 00 05 a vL vH
Bytes TransmitCustomValue(uint8_t number);            // 1D 28 45 02 00 06 a
Bytes TransmitMemorySwitch(uint8_t number);           // 1D 28 45 02 00 04 a
// bits: bit 0 is the switch's bit 1; keepMask bits are sent as '2' (left as they are).
Bytes SetMemorySwitch(uint8_t number, uint8_t bits, uint8_t keepMask = 0);
Bytes TransmitModelName();             // 1D 49 43
Bytes TransmitPrinterText(uint8_t id); // 1D 49 n: 0x41 firmware .. 0x45 character set
} // namespace commands

// Parsers of the answers; false for anything that is not exactly the expected frame.
// "37 27" decimal(number) "1F" decimal(value) "00", for the given number.
bool ParseCustomValueAnswer(const Bytes& answer, uint8_t number, int32_t* value);
// "37 21" eight ASCII '0'/'1' "00".
bool ParseMemorySwitchAnswer(const Bytes& answer, uint8_t* bits);

class PrinterLink
{
public:
    // table: AppState.commLib (may be null). answerTimeoutMs: how long one answer may take.
    explicit PrinterLink(const CommLibTable* table, uint32_t answerTimeoutMs = 2000);

    bool Bound() const;

    int32_t Send(const Bytes& bytes);
    // Sends the request and reads one answer that begins with `prefix` and ends with the
    // byte 00.
    int32_t Transact(const Bytes& request, const Bytes& prefix, Bytes* answer);

    int32_t EnterUserSettingMode();
    // The printer restarts; WaitUntilAnswering tells when it is back.
    int32_t LeaveUserSettingMode();
    int32_t ReadCustomValue(uint8_t number, int32_t* value);
    int32_t WriteCustomValue(uint8_t number, uint16_t value);
    int32_t ReadMemorySwitch(uint8_t number, uint8_t* bits);
    int32_t WriteMemorySwitch(uint8_t number, uint8_t bits);
    // One printer ID text (1D 49 id, answer 5F text 00) without its frame.
    int32_t ReadPrinterText(uint8_t id, std::string* text);
    // Asks the model name until the printer answers or timeoutMs has passed.
    int32_t WaitUntilAnswering(uint32_t timeoutMs);

    // Runs `work` inside the user-setting mode: enter, work, leave (also when work
    // failed), wait for the restart. Answers work's result, or the failure of entering or
    // of the printer coming back. An unanswered enter request is followed by a leave
    // request, in case only the answer was lost.
    int32_t InUserSettingMode(const std::function<int32_t()>& work, uint32_t restartTimeoutMs);
    // Runs `read` as it is; when the printer does not answer (a printer that answers
    // setting requests only in its user-setting mode), runs it again inside that mode.
    int32_t ReadAllowingUserSettingMode(const std::function<int32_t()>& read,
                                        uint32_t restartTimeoutMs);

    // The last communication library result other than success, for diagnostics.
    int32_t LastLibraryResult() const { return m_lastLibraryResult; }
    // The bytes of the last answer read, whole or not, for diagnostics.
    const Bytes& LastAnswer() const { return m_lastAnswer; }

private:
    int32_t ReadAnswer(const Bytes& prefix, Bytes* answer, uint32_t timeoutMs);

    const CommLibTable* m_table;
    uint32_t m_answerTimeoutMs;
    int32_t m_lastLibraryResult = 0;
    Bytes m_lastAnswer;
};

} // namespace qpu::settings
