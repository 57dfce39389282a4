#include "mainwnd/status_code_rules.h"

#include <qpu/status_texts.h>

namespace {

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
    if (!m_monitoring || (code == m_lastOrdinaryCode && !m_takeRepeatedCode))
        return update;
    // The code the library tells again after a failed read: shown, but it does not run
    // straight into the same read.
    const bool toldAgain = m_takeRepeatedCode && code == m_lastOrdinaryCode;
    m_takeRepeatedCode = false;

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
    update.startRead = IsUsableCode(shown) && m_rereadPending && !printerJobRunning && !toldAgain;
    return update;
}

bool StatusCodeRules::StatusReadFinished(const Update& update, int readResult)
{
    if (readResult != kReadWrongPrinter)
        return true;
    // Only take back what this update showed; a code handled while the read ran stays.
    if (m_shownCode == update.shownCode)
        m_shownCode = update.formerShownCode;
    // Once the read is over the library tells the current code again. It is shown even
    // when it repeats the last ordinary code, so that the former status does not stay on
    // screen and refuse every job.
    m_takeRepeatedCode = true;
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
    const QpuStatusText* text = qpu_status_text(code);
    return text != nullptr ? text->number : kUnknownStatusNumber;
}

QString StatusCodeRules::EnglishTextOf(int code)
{
    const QpuStatusText* text = qpu_status_text(code);
    return text != nullptr ? QString::fromLatin1(text->english) : EnglishUnknown();
}

QString StatusCodeRules::StatusLine(const QString& statusLabel, const QString& statusText,
                                    bool noPrinterMode)
{
    if (noPrinterMode)
        return statusLabel;
    return statusLabel + QLatin1Char(' ') + statusText;
}
