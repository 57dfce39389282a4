#include "printer_info_session.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace prtinf {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kTextHeader = 0x5F;
constexpr std::size_t kMaxTextBytes = 256;
constexpr uint8_t kModelIdRequest = 0x01;
// Texts of PrinterInformation in order: serial number, model name, maker, firmware,
// character set.
constexpr std::array<uint8_t, PRTINF_TEXT_COUNT> kTextRequests = {0x44, 0x43, 0x42, 0x41, 0x45};
constexpr uint8_t kModelNameRequest = 0x43;

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

int PrinterInfoSession::timeoutMs()
{
    const char* env = std::getenv("PRTINF_TIMEOUT_MS");
    const long value = env != nullptr ? std::strtol(env, nullptr, 10) : 0;
    return value > 0 && value < 600000 ? static_cast<int>(value) : 2000;
}

bool PrinterInfoSession::usable(const CommLibTable* commLib)
{
    return commLib != nullptr && commLib->Write != nullptr && commLib->Read != nullptr;
}

// Sends 1D 49 n. A text answer (5F text 00) goes to *answerText, the one-byte answer of
// n = 1 to *answerByte. NoAnswer: the printer stayed silent; Failed: anything else.
PrinterInfoSession::Outcome PrinterInfoSession::request(uint8_t n, std::string* answerText,
                                                        uint8_t* answerByte)
{
    if (m_commLib->Purge != nullptr) {
        m_commLib->Purge(); // nothing left over from an earlier request is taken as the answer
    }
    const uint8_t command[3] = {0x1D, 0x49, n};
    uint32_t written = 0;
    if (m_commLib->Write(command, sizeof command, &written) != 0) {
        return Outcome::Failed;
    }
    if (answerByte != nullptr) {
        uint8_t byte = 0;
        uint32_t received = 0;
        const int32_t r = m_commLib->Read(&byte, 1, &received, static_cast<uint32_t>(timeoutMs()));
        if (r == 0 && received == 1) {
            *answerByte = byte;
            return Outcome::Ok;
        }
        return r == QPC_ERR_TIMEOUT || (r == 0 && received == 0) ? Outcome::NoAnswer
                                                                 : Outcome::Failed;
    }
    return readText(answerText);
}

// Reads "5F text 00", however the bytes are split over reads.
PrinterInfoSession::Outcome PrinterInfoSession::readText(std::string* text)
{
    text->clear();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs());
    bool started = false;
    for (;;) {
        const int wait = remainingMs(deadline);
        if (wait == 0) {
            return started ? Outcome::Failed : Outcome::NoAnswer;
        }
        uint8_t buffer[64];
        uint32_t received = 0;
        const int32_t r = m_commLib->Read(buffer, started ? sizeof buffer : 1, &received,
                                          static_cast<uint32_t>(wait));
        if (r == QPC_ERR_TIMEOUT || (r == 0 && received == 0)) {
            continue;
        }
        if (r != 0) {
            return Outcome::Failed;
        }
        for (uint32_t i = 0; i < received; ++i) {
            const uint8_t b = buffer[i];
            if (!started) {
                if (b != kTextHeader) {
                    return Outcome::Failed;
                }
                started = true;
            } else if (b == 0x00) {
                return Outcome::Ok;
            } else if (text->size() >= kMaxTextBytes) {
                return Outcome::Failed;
            } else {
                text->push_back(static_cast<char>(b));
            }
        }
    }
}

int32_t PrinterInfoSession::printerName(char* buffer, int32_t size)
{
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    std::lock_guard lock(m_mutex);
    std::string name;
    if (request(kModelNameRequest, &name, nullptr) != Outcome::Ok) {
        return 0;
    }
    const std::size_t n = std::min(name.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    return PRTINF_OK;
}

int32_t PrinterInfoSession::deviceId(int32_t* deviceId)
{
    if (deviceId == nullptr) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    uint8_t id = 0;
    switch (request(kModelIdRequest, nullptr, &id)) {
    case Outcome::Ok:
        *deviceId = id;
        return PRTINF_OK;
    case Outcome::NoAnswer:
        *deviceId = 0; // the printer has no device ID
        return 0;
    case Outcome::Failed:
        *deviceId = PRTINF_DEVICE_ID_FAILED;
        return 0;
    }
    return 0;
}

int32_t PrinterInfoSession::printerInformation(PrinterInformation* info)
{
    if (info == nullptr) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    const uint32_t mask = info->requestMask & PRTINF_REQUEST_ALL;
    int32_t filled = 0;
    bool complete = true;
    for (std::size_t i = 0; i < PRTINF_TEXT_COUNT; ++i) {
        m_texts[i].clear();
        if ((mask & (1u << i)) == 0) {
            continue;
        }
        if (request(kTextRequests[i], &m_texts[i], nullptr) == Outcome::Ok) {
            filled |= 1 << i;
        } else {
            m_texts[i].clear();
            complete = false;
        }
    }
    for (std::size_t i = 0; i < PRTINF_TEXT_COUNT; ++i) {
        info->texts[i] = m_texts[i].c_str();
    }
    info->filledMask = filled;
    return complete ? PRTINF_OK : 0;
}

} // namespace prtinf
