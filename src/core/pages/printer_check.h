#pragma once

#include "pages/comm_timing.h"

#include <QByteArray>

#include <functional>

class IPrinterIdentity;

// The clock of the printer check: the time in whole seconds and a sleep. Injectable so
// that tests need not wait for the real limits.
struct CheckClock
{
    std::function<qint64()> nowSeconds;
    std::function<void(int milliseconds)> sleep;

    // time() and a thread sleep.
    static CheckClock System();
};

struct PrinterCheckResult
{
    int result = 0;         // 1 success; -24 no connection; -64 time or attempts used up;
                            // else the printer information library's last answer
    QByteArray printerName; // 8-bit (code page 437), empty unless "GetPrinterName" answered 1
    int32_t deviceId = 0;   // the device ID, or what the last failed call left in it
    int nameCalls = 0;
    int deviceIdCalls = 0;
};

inline constexpr int kPrinterCheckOk = 1;
inline constexpr int kPrinterCheckNoConnection = -24;
inline constexpr int kPrinterCheckTimedOut = -64;

// Checks that a printer answers: asks its name until it answers, then its device ID, each
// with timing.attempts calls at most and timing.pauseMs between them, and both together
// within kCommRetryLimitSeconds from the start. Runs on the job's worker thread.
PrinterCheckResult RunPrinterCheck(IPrinterIdentity* printer, const CommTiming& timing,
                                   const CheckClock& clock);
