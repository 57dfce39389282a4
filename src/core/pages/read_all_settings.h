#pragma once

#include "pages/printer_check.h"

#include <functional>
#include <vector>

class PluginDataMgr;

// Messages of window "PRINTER_SETTING_VIEW" that the read of all settings shows.
inline constexpr int kMsgDeviceIdMismatch = 0; // not the served model, or no device ID
inline constexpr int kMsgCommunicationError = 1;
inline constexpr int kMsgPartialRead = 2;

// Result of a read whose printer cannot be checked or is not the served model.
inline constexpr int kReadWrongPrinter = -67;

// The steps of the read of all settings, as the printer setting page provides them.
struct ReadAllSettingsSteps
{
    std::function<void(int percent)> reportProgress;
    std::function<PrinterCheckResult()> checkPrinter;
    // Reads the printer information into block 0x10001; 1 on success.
    std::function<int()> readPrinterData;
    // Shows message number (above) as a warning owned by the progress window; returns
    // when the user has closed it.
    std::function<void(int messageNumber)> showWarning;
    // FORMVIEWDLL_ReadPrinterSettings of every loaded plug-in, in menu order.
    std::vector<std::function<int()>> pluginReads;
    int32_t startMode = 0;
    PluginDataMgr* dataMgr = nullptr; // its save flag goes to 1 after a complete read
};

// Whether printerName (decoded from code page 437) is a printer this run may work with:
// in start modes 100 and 110 (started by the printer driver) any printer of the served
// model's series, otherwise exactly "QP-R60".
bool IsServedPrinter(const QString& printerName, int32_t startMode);

// The job of the printer setting page: checks the printer, reads its information, asks
// each plug-in to read its settings, and enables saving only when nothing failed. With n
// plug-ins, progress goes 0, then k * 100 / (n + 2) for k = 1 .. n + 2 as the steps end,
// and 100 at the end. Answers -67 when the printer check fails or the printer is another
// model, otherwise the last step's result (1 when it succeeded). Runs on the job's worker.
int RunReadAllSettings(const ReadAllSettingsSteps& steps);
