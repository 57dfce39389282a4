#pragma once

#include "mainwnd/menu_item.h"
#include "pages/printer_check.h"
#include "pages/printer_info_block.h"
#include "pages/printer_info_library.h"
#include "pages/single_form_view.h"

// The built-in printer setting page. It is never shown: the status view's controller
// (CPrinterSettingViewCtrl) creates it hidden. It binds the printer information library,
// keeps the printer's identity in block 0x10001, and runs the job that reads every setting
// of the printer: the printer check, the printer information, then each loaded plug-in in
// menu order. Saving the settings file is enabled only after a read without failures.
class CPrinterSettingView : public CSingleFormView
{
    Q_OBJECT

public:
    // Communication timing of the page: time 100, 20 attempts, 1000 ms pause.
    static constexpr int kTimeMs = 100;
    static constexpr int kAttempts = 20;
    static constexpr int kPauseMs = 1000;

    CPrinterSettingView();
    ~CPrinterSettingView() override;

    // Opens the page's texts and binds the printer information library (BindResult).
    int OnCreate() override;
    // Reads the printer information into block 0x10001 (texts from code page 437, read
    // flag 1) and posts WM_USER+200 to the main window. 1; -24 without the library's
    // "GetPrinterInformation"; -1 when block 0x10001 is missing; otherwise the library's
    // answer. Runs on the job's worker.
    int ReadPrinterData() override;
    int GetCommTiming(CommTiming* timing) override;

    // The menu entries whose loaded plug-ins the read asks; set before each read. The list
    // must outlive the read.
    void SetEntryList(const MenuItemList* entries) { m_entries = entries; }
    const MenuItemList* EntryList() const { return m_entries; }

    // The job routine (see RunReadAllSettings in read_all_settings.h): 1 when everything
    // was read, -67 when the printer fails the check or is another model.
    int ReadAllSettings();
    // Runs ReadAllSettings through the job runner behind the progress dialog.
    int RunReadAllSettings();
    // The printer check with the page's timing and clock.
    PrinterCheckResult CheckPrinter();

    // The output file of start mode 4 (output_file.h) from the data manager's blocks:
    // 0, or a negative code (-4 without a data manager, as without block 0x10005).
    int WriteOutputFile(const QString& logoPath, const QString& deviceName,
                        const QString& outputPath, int logoFlag) const;

    // 1 when the library is bound with a connection, -24 otherwise.
    int BindResult() const { return m_bindResult; }
    const PrinterInfoLibrary& Library() const { return m_library; }
    // The page's copy of block 0x10001, as of the last read.
    const PrinterInfoBlock& PrinterInfoCopy() const { return m_info; }
    // The text of one of the page's messages (read_all_settings.h), English by default.
    QString MessageText(int number) const;
    // Tests put in a clock that need not wait the real 45 seconds.
    void SetCheckClock(CheckClock clock) { m_clock = std::move(clock); }

private:
    int BindLibrary();

    const MenuItemList* m_entries = nullptr;
    PrinterInfoBlock m_info;
    PrinterInfoLibrary m_library;
    int m_bindResult = PrinterInfoLibrary::kMissing;
    CheckClock m_clock = CheckClock::System();
};
