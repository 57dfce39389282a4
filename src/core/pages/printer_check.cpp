#include "pages/printer_check.h"

#include "pages/printer_info_library.h"

#include <qpu/prtinf.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

CheckClock CheckClock::System()
{
    CheckClock clock;
    clock.nowSeconds = [] { return static_cast<qint64>(std::time(nullptr)); };
    clock.sleep = [](int milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    };
    return clock;
}

namespace {

// Calls ask until it answers 1, within the attempts and the time limit. Answers 1, -64
// when the time ran out, otherwise the last answer once the attempts are used up.
template <typename Ask>
int Retry(Ask ask, int& calls, const CommTiming& timing, const CheckClock& clock, qint64 start,
          bool lastAnswerOnAttempts)
{
    const int attempts = std::max(timing.attempts, 1);
    for (;;) {
        const int answer = ask();
        ++calls;
        if (answer == PRTINF_OK)
            return kPrinterCheckOk;
        if (clock.nowSeconds() - start > kCommRetryLimitSeconds)
            return kPrinterCheckTimedOut;
        if (calls >= attempts)
            return lastAnswerOnAttempts ? answer : kPrinterCheckTimedOut;
        clock.sleep(timing.pauseMs);
    }
}

} // namespace

PrinterCheckResult RunPrinterCheck(IPrinterIdentity* printer, const CommTiming& timing,
                                   const CheckClock& clock)
{
    PrinterCheckResult check;
    if (printer == nullptr || !printer->HasConnection()) {
        check.result = kPrinterCheckNoConnection;
        return check;
    }
    const qint64 start = clock.nowSeconds();
    char name[PRTINF_PRINTER_NAME_BYTES] = {};
    check.result = Retry(
        [&] {
            std::fill(std::begin(name), std::end(name), '\0');
            const int answer = printer->GetPrinterName(name, PRTINF_PRINTER_NAME_BYTES);
            // The last byte always stays a terminator, whatever the library wrote.
            name[PRTINF_PRINTER_NAME_BYTES - 1] = '\0';
            return answer;
        },
        check.nameCalls, timing, clock, start, false);
    if (check.result != kPrinterCheckOk)
        return check;
    check.printerName = QByteArray(name);

    check.result = Retry(
        [&] {
            check.deviceId = 0;
            return printer->GetDeviceID(&check.deviceId);
        },
        check.deviceIdCalls, timing, clock, start, true);
    return check;
}
