#pragma once

#include "lang/lang_res_store.h"
#include "mainwnd/frame_status_view.h"
#include "mainwnd/menu_item.h"
#include "mainwnd/status_code_rules.h"
#include "mainwnd/status_fields.h"

#include <qpu/app_state.h>
#include <qpu/plugin.h>

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class CStaticItem;
class CStaticPictureItem;
class PluginDataMgr;

// The built-in printer setting page as the status view drives it. The view owns the page's
// controller through this interface: it creates the hidden page at its initial update,
// lets it write the defaults of its blocks, and starts the read of every setting through
// it. The page's read runs on a worker thread behind the progress dialog and returns to
// the caller when the dialog has closed.
class IStatusPrinterReader
{
public:
    virtual ~IStatusPrinterReader() = default;
    // Creates the hidden page inside parent; mainWindow receives its requests for the
    // progress dialog and its refresh messages. 0 on success.
    virtual int Initialize(AppState* state, QWidget* mainWindow, QWidget* parent) = 0;
    // Writes the default data of a block that the view has just added to the data manager.
    virtual int InitSettingData(quint32 blockId) = 0;
    // Further blocks the page needs; registered in the same way as the plug-ins' blocks.
    virtual std::vector<PluginInfo> DependencyBlocks() { return {}; }
    // Reads all settings of the printer and of every loaded plug-in of entries, in menu
    // order: 1 when everything was read, -64 when the job was refused, -67 when the
    // printer cannot be read or is another model, another value for a partial read.
    virtual int ReadAllSettings(const MenuItemList* entries) = 0;
};

// The status strip along the bottom of the main window (dialog template 135): the picture
// of a receipt printer, the printer's model and firmware, the port, the character set, the
// serial number and the live status that the communication library reports. It turns
// every reported status code into a text by the rules of StatusCodeRules, and starts a
// fresh read of every setting when the printer becomes usable after having been offline.
//
// Window messages (qpu/messages.h; the main frame forwards the first four):
//   WM_USER+200  refresh the model, port, character-set and serial fields
//   WM_USER+201  wParam: int32_t*; receives the shown status code
//   WM_USER+202  read all settings now; answers that read's result
//   WM_USER+203  ignore status codes from now on
//   WM_USER+204  wParam: a status code from the status callback; answers 1, or 0 when a
//                read that the code started found no readable printer
class CUtilStatusView : public QWidget, public IFrameStatusView
{
    Q_OBJECT

public:
    static constexpr char kWindowName[] = "PRT_STATUS";
    static constexpr int kTemplateId = 135;
    // Control IDs of the template.
    static constexpr int kPictureId = 1017;
    static constexpr int kModelLineId = 1021;
    static constexpr int kPortLineId = 1022;
    static constexpr int kCharacterSetId = 1023;
    static constexpr int kSerialLineId = 1024;
    static constexpr int kStatusLineId = 1025;
    // Answer of a read that cannot start: the view has no printer setting page.
    static constexpr int kReadNoPage = -25;
    // Answer of a read asked for while one runs (from a plug-in during the progress
    // dialog): the job is refused, as the job runner refuses a busy printer.
    static constexpr int kReadBusy = -64;

    struct Context
    {
        // Language, start mode, selected port, data manager and communication library. It
        // must outlive the view. Null works without texts, fields and library.
        AppState* appState = nullptr;
        // The main frame: receives WM_CLOSE when no language file exists and the page's
        // requests. Null: the view's top-level window.
        QWidget* mainWindow = nullptr;
        // True while the main frame runs a printer operation behind its progress dialog;
        // no read may start then. Empty: the query the frame sets when it takes the view.
        std::function<bool()> printerJobRunning;
    };

    // reader may be null: the view then shows the status but cannot read the printer.
    CUtilStatusView(Context context, std::unique_ptr<IStatusPrinterReader> reader,
                    QWidget* parent = nullptr);
    ~CUtilStatusView() override;

    // Opens the texts, creates the printer setting page, registers its block 0x10001 and
    // fills the fields. Runs once; the first showing runs it if the frame has not.
    void InitialUpdate();
    bool IsInitialized() const { return m_initialized; }

    // IFrameStatusView: what the main frame's StartStatusMonitoring calls.
    void SetEntryList(const MenuItemList* entries) override;
    void ShowCurrentStatus() override;
    void StartWithPrinterReady() override;
    void SetCommLib(CommLibTable* table) override;
    void SetPrinterJobQuery(std::function<bool()> running) override;

    // The operations behind the window messages.
    void RefreshFields();                 // WM_USER+200
    int ShownCode() const;                // WM_USER+201
    int ReadPrinter();                    // WM_USER+202
    void StopMonitoring();                // WM_USER+203
    int HandleStatusCode(int statusCode); // WM_USER+204

    const StatusCodeRules& Rules() const { return m_rules; }
    // The text part of the status line, as last shown.
    const QString& LastStatusText() const { return m_lastStatusText; }
    const QString& StatusLine() const { return m_statusLine; }
    const StatusFieldTexts& Fields() const { return m_fields; }
    // The static control with that template ID, or null.
    QWidget* Control(int controlId) const;
    // Number of printer reads that ran (not counting those answered without running).
    int ReadCount() const { return m_readCount; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void SetUpItems();
    bool OpenTexts();
    void RegisterBlocks();
    void RegisterBlock(PluginDataMgr& dataMgr, const PluginInfo& info);
    QString Text(int number, const QString& english) const;
    QString StatusTextOf(int code) const;
    StatusFieldLabels FieldLabels() const;
    void ShowStatusLine(const QString& statusText);
    bool IsPrinterJobRunning() const;
    QWidget* MainWindow() const;
    PluginDataMgr* DataMgr() const;
    bool NoPrinterMode() const;

    Context m_context;
    std::unique_ptr<IStatusPrinterReader> m_reader;
    std::function<bool()> m_frameJobQuery;
    CLangResStore m_texts;
    StatusCodeRules m_rules;
    const MenuItemList* m_entries = nullptr;
    CommLibTable* m_commLib = nullptr;
    bool m_commLibTaken = false;
    bool m_initialized = false;
    bool m_readRunning = false;
    int m_readCount = 0;

    QString m_lastStatusText;
    QString m_statusLine;
    StatusFieldTexts m_fields;

    CStaticPictureItem* m_picture = nullptr; // children
    CStaticItem* m_modelLine = nullptr;
    CStaticItem* m_portLine = nullptr;
    CStaticItem* m_characterSet = nullptr;
    CStaticItem* m_serialLine = nullptr;
    CStaticItem* m_statusLineItem = nullptr;
};
