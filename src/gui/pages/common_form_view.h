#pragma once

#include "lang/lang_res_store.h"
#include "pages/comm_timing.h"
#include "pages/form_view_context.h"
#include "pages/printer_job_runner.h"

#include <qpu/app_state.h>

#include <QColor>
#include <QWidget>

#include <functional>
#include <optional>

class PluginDataMgr;

// The common base of the setting pages: child views that fill the page area of the main
// window. A page gets its language texts (with the English fallback and its notice), fits
// itself to its parent, paints its background, runs printer operations on a worker thread
// behind the progress dialog, reads and writes its setting-data blocks, and can close the
// application. Its controller (CFormViewCtrl) creates its window and hands it the shared
// AppState block with the rest of its FormViewContext.
class CCommonFormView : public QWidget
{
    Q_OBJECT

public:
    // The empty child dialog the page is built on (366 x 259 dialog units).
    static constexpr int kTemplateId = 101;
    static constexpr int kTemplateWidthPixels = 549;  // 366 units at 6/4 pixels
    static constexpr int kTemplateHeightPixels = 421; // 259 units at 13/8 pixels
    static constexpr char kWindowName[] = "PRINTER_SETTING_VIEW";
    static constexpr char kAppWindowName[] = "QP_UTILITY_APP";
    static const QColor kBackgroundColor; // RGB(240, 240, 240)

    // The job routine, run on the worker thread with the page as its argument.
    using JobRoutine = std::function<int(CCommonFormView& page)>;

    explicit CCommonFormView(int templateId = kTemplateId);
    ~CCommonFormView() override;

    // Set by the controller when it creates the page's window, before OnCreate.
    void SetContext(const FormViewContext& context) { m_context = context; }
    // Whether a controller has created the page's window.
    bool HasController() const { return m_context.has_value(); }
    // The value the controller hands every page of its set (0 before).
    int32_t ControllerValue() const { return m_context ? m_context->pageValue : 0; }
    int TemplateId() const { return m_templateId; }

    // Called by the controller once the page is a hidden child of its parent window (what
    // the window's creation is to a page). -1 makes the controller drop the page. Base: 0.
    virtual int OnCreate();

    // Reads the printer's data on the worker thread. Base: 1.
    virtual int ReadPrinterData();
    // The communication timing of the page's printer operations: 1, or 0 for no record.
    virtual int GetCommTiming(CommTiming* timing);
    // The page's setting data in the data manager (see setting_data.h): 0, or -1 when the
    // block is missing. The variants without an identifier use the controller's block.
    virtual int SetSettingDataById(quint32 blockId, void* data, qint32 sizeBytes);
    virtual int SetSettingData(void* data, qint32 sizeBytes);
    virtual int GetSettingDataById(quint32 blockId, void* buffer, qint32 sizeBytes);
    virtual int GetSettingData(void* buffer, qint32 sizeBytes);
    // Asks the main window to close (queued, like a posted WM_CLOSE).
    virtual void CloseApplication();

    // Runs routine on a worker thread while the main window shows the progress dialog
    // (printer_job_runner.h): the routine's result, or -64 (printer offline or unknown),
    // -25 (no main window, start refused, no thread), -24 (thread not run). Call it on the
    // user-interface thread.
    int RunPrinterJob(JobRoutine routine);
    // Called by the job routine on the worker: moves the progress dialog on to value.
    void ReportProgress(int value);
    // The running job's progress window (the progress dialog), or null.
    QWidget* ProgressWindow() const;
    // Shows a warning owned by the progress window. Called from the job's worker, the box
    // is shown by the user-interface thread while the worker waits for it to be closed.
    void ShowJobWarning(const QString& text);
    // Tests hand in worker threads that fail.
    JobThreadRecord& ThreadRecord() { return m_job; }

    AppState* AppStateBlock() const;
    QWidget* MainWindow() const;
    PluginDataMgr* DataMgr() const;
    const CLangResStore& Texts() const { return m_texts; }
    const CLangResStore& AppTexts() const { return m_appTexts; }
    // Whether this page has shown the English-fallback notice.
    bool EnglishNoticeShown() const { return m_englishNoticeShown != 0; }
    bool StartupDone() const { return m_startupDone; }

protected:
    // Page start-up on the first showing: the application's and the page's texts, with the
    // notices for a missing language file.
    virtual void OnInitialUpdate();
    CLangResStore& MutableTexts() { return m_texts; }

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FitToParent();

    JobThreadRecord m_job;
    CLangResStore m_texts; // "PRINTER_SETTING_VIEW"
    std::optional<FormViewContext> m_context;
    CLangResStore m_appTexts; // "QP_UTILITY_APP"
    int m_templateId;
    int32_t m_englishNoticeShown = 0;
    bool m_startupDone = false;
};
