#pragma once

#include <qpu/prtinf.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

namespace prtinf {

// One connection handle of the printer information library: it asks the printer through
// the communication library table it was given (Purge, Write, Read) and keeps the texts
// it read until the next read or Finalize.
class PrinterInfoSession
{
public:
    explicit PrinterInfoSession(const CommLibTable* commLib) : m_commLib(commLib) {}

    static bool usable(const CommLibTable* commLib);

    int32_t printerName(char* buffer, int32_t size);
    int32_t deviceId(int32_t* deviceId);
    int32_t printerInformation(PrinterInformation* info);

    const CommLibTable* commLib() const { return m_commLib; }

    // Answer time-out for one request; $PRTINF_TIMEOUT_MS overrides the default 2000.
    static int timeoutMs();

private:
    enum class Outcome
    {
        Ok,
        NoAnswer,
        Failed
    };
    Outcome request(uint8_t n, std::string* answerText, uint8_t* answerByte);
    Outcome readText(std::string* text);

    const CommLibTable* m_commLib;
    std::mutex m_mutex;
    std::array<std::string, PRTINF_TEXT_COUNT> m_texts;
};

} // namespace prtinf
