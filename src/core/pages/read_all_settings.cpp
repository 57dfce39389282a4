#include "pages/read_all_settings.h"

#include "app/model_profile.h"
#include "pages/cp437_codec.h"
#include "pages/plugin_data_mgr.h"

#include <qpu/plugin.h>

namespace {

constexpr int kDone = 1;
constexpr int kStartModeDriver = 100;
constexpr int kStartModeDriverAlternative = 110;

} // namespace

bool IsServedPrinter(const QString& printerName, int32_t startMode)
{
    if (startMode == kStartModeDriver || startMode == kStartModeDriverAlternative)
        return ModelSeriesMatch(printerName);
    return printerName == QString::fromUtf16(kServedModelName);
}

int RunReadAllSettings(const ReadAllSettingsSteps& steps)
{
    const auto report = [&steps](int percent) {
        if (steps.reportProgress)
            steps.reportProgress(percent);
    };
    const auto warn = [&steps](int message) {
        if (steps.showWarning)
            steps.showWarning(message);
    };

    report(0);
    const int stepCount = static_cast<int>(steps.pluginReads.size()) + 2;
    report(100 / stepCount);

    const PrinterCheckResult check =
        steps.checkPrinter ? steps.checkPrinter() : PrinterCheckResult{};
    if (check.result != kPrinterCheckOk) {
        // A printer that gave its name but no device ID is taken for another model.
        const bool noDeviceId = !check.printerName.isEmpty() && check.deviceId == 0;
        warn(noDeviceId ? kMsgDeviceIdMismatch : kMsgCommunicationError);
        report(100);
        return kReadWrongPrinter;
    }
    if (!IsServedPrinter(cp437::DecodeZeroTerminated(check.printerName), steps.startMode)) {
        warn(kMsgDeviceIdMismatch);
        report(100);
        return kReadWrongPrinter;
    }

    report(200 / stepCount);
    int result = steps.readPrinterData ? steps.readPrinterData() : kDone;
    bool complete = result == kDone;
    int step = 300;
    for (const auto& read : steps.pluginReads) {
        result = read();
        report(step / stepCount);
        step += 100;
        if (result != kDone)
            complete = false;
        if (result == QPU_READ_STOP)
            break;
    }

    report(100);
    if (!complete)
        warn(kMsgPartialRead);
    else if (steps.dataMgr != nullptr)
        steps.dataMgr->SetSaveEnabled(1);
    return result;
}
