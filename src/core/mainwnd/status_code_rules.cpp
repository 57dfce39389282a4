#include "mainwnd/status_code_rules.h"

#include <array>

namespace {

struct StatusText
{
    const char* english;
    int number; // in the PRT_STATUS texts
};

// Indexed by status code 0..22.
constexpr std::array<StatusText, StatusCodeRules::kHighestKnownCode + 1> kStatusTexts = {{
    {"Online", 0},
    {"Offline", 1},
    {"Cannot Get Status", 2},
    {"Fatal Error", 3},
    {"Recoverable error", 4},
    {"Auto recoverable error", 5},
    {"Cover is open", 6},
    {"Out of paper", 7},
    {"Out of journal", 8},
    {"Auto cutter error", 9},
    {"No Ink Cartridge 1", 10},
    {"No Ink Cartridge 2", 11},
    {"Out of ink 1", 12},
    {"Out of ink 2", 13},
    {"Feeding paper", 14},
    {"Cleaning", 27},
    {"Offline", 15},
    {"Awaiting paper removal", 16},
    {"Paper near-end", 17},
    {"Journal near-end", 18},
    {"Ink 1 near-end", 19},
    {"Ink 2 near-end", 20},
    {"Paper layout error", 29},
}};

bool IsKnownCode(int code)
{
    return code >= 0 && code <= StatusCodeRules::kHighestKnownCode;
}

bool IsOfflineCode(int code)
{
    return code == StatusCodeRules::kOffline || code == StatusCodeRules::kOfflineOther;
}

} // namespace

StatusCodeRules::Update StatusCodeRules::OnStatusCode(int code, bool printerJobRunning)
{
    Update update;
    if (!m_monitoring || code == m_lastOrdinaryCode)
        return update;

    int shown = code;
    if (IsLastingCode(code)) {
        m_lastingCode = code;
    } else if (code == kNoLastingCode) {
        m_lastingCode = kNoLastingCode;
        shown = m_lastOrdinaryCode;
    } else {
        m_lastOrdinaryCode = code;
        // The printer went offline or reported something unknown even when a lasting
        // condition hides it on screen: its settings may have changed meanwhile.
        if (IsOfflineCode(code) || !IsKnownCode(code))
            m_rereadPending = true;
        if (m_lastingCode != kNoLastingCode && (code == kOnline || code >= m_lastingCode))
            shown = m_lastingCode;
    }

    if (!IsKnownCode(shown)) {
        shown = kUnknownCode;
        m_rereadPending = true;
    } else if (IsOfflineCode(shown)) {
        m_rereadPending = true;
    }

    update.handled = true;
    update.formerShownCode = m_shownCode;
    update.shownCode = shown;
    update.textNumber = TextNumberOf(shown);
    m_shownCode = shown;
    update.startRead = IsUsableCode(shown) && m_rereadPending && !printerJobRunning;
    return update;
}

bool StatusCodeRules::StatusReadFinished(const Update& update, int readResult)
{
    if (readResult != kReadWrongPrinter)
        return true;
    // Only take back what this update showed; a code handled while the read ran stays.
    if (m_shownCode == update.shownCode)
        m_shownCode = update.formerShownCode;
    return false;
}

void StatusCodeRules::ReadFinished(int readResult)
{
    if (readResult == 1)
        m_rereadPending = false;
}

bool StatusCodeRules::StartMonitoring(quint32 startupCommResult)
{
    if (startupCommResult != 0)
        return false;
    m_shownCode = kOnline;
    m_lastOrdinaryCode = kOnline;
    return true;
}

bool StatusCodeRules::IsLastingCode(int code)
{
    switch (code) {
    case 10:
    case 11:
    case 12:
    case 13:
    case 15:
    case 20:
    case 21:
        return true;
    default:
        return false;
    }
}

bool StatusCodeRules::IsUsableCode(int code)
{
    return code == kOnline || (code >= 18 && code <= 21);
}

bool StatusCodeRules::RefusesPrinterJobs(int shownCode)
{
    return IsOfflineCode(shownCode) || shownCode == kUnknownCode;
}

int StatusCodeRules::TextNumberOf(int code)
{
    return IsKnownCode(code) ? kStatusTexts[size_t(code)].number : kUnknownStatusNumber;
}

QString StatusCodeRules::EnglishTextOf(int code)
{
    return IsKnownCode(code) ? QString::fromLatin1(kStatusTexts[size_t(code)].english)
                             : EnglishUnknown();
}

QString StatusCodeRules::StatusLine(const QString& statusLabel, const QString& statusText,
                                    bool noPrinterMode)
{
    if (noPrinterMode)
        return statusLabel;
    return statusLabel + QLatin1Char(' ') + statusText;
}
