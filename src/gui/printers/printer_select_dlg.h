#pragma once

#include "lang/lang_res_store.h"
#include "printers/printer_select_core.h"

#include <qpu/app_state.h>

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class CSelectLangDlg;
class CStaticItem;
class CStaticPictureItem;
class IPrinterSpooler;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
namespace platform {
class ActivationServer;
}

// The printer selection dialog: lists the communication library's ports of the served
// model (in driver mode the system's printer queues of its driver), tests and opens the
// chosen printer, adds and deletes ports and changes the language.
//
// Start-up copies its AppState in (SetState) and hands it the library binding, runs it
// modally and copies State() back. Without showing it, start-up uses SelectByPortName,
// CommunicationCheck, OpenPort, StoreSelection and ChosenDriverPrinterName. The decisions
// live in PrinterSelectCore; the dialog shows them.
class CPrinterSelectDlg : public QDialog, private IPrinterSelectUi
{
    Q_OBJECT

public:
    // Control IDs of the dialog's controls.
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    static constexpr int kUnusedComboId = 1000;
    static constexpr int kAddPortId = 1003;
    static constexpr int kDeletePortId = 1004;
    static constexpr int kHeadingId = 1018;
    static constexpr int kHintId = 1019;
    static constexpr int kListId = 1020;
    static constexpr int kSelectLanguageId = 1026;
    static constexpr int kPictureId = 1027;
    static constexpr int kUnusedLabelId = 1031;
    static constexpr int kLanguageLabelId = 1032;

    // Message boxes: a warning (answer ignored) or a Yes/No question (true for Yes).
    enum class MessageKind
    {
        Warning,
        Question,
    };
    using MessageHandler =
        std::function<bool(QWidget* parent, MessageKind kind, const QString& text)>;
    // Runs the add-port dialog with a copy of the state, the binding and the "PORT_ADD_DLG"
    // texts; the record it built when it ended with OK, else none.
    using AddPortRunner = std::function<std::optional<PortInfo>(
        QWidget* parent, const AppState& state, CommLibTable* commLib, const CLangResStore& texts)>;

    explicit CPrinterSelectDlg(QWidget* parent = nullptr);
    ~CPrinterSelectDlg() override;

    // Before the dialog runs.
    // Also hands the core the registry of the state's data manager, for the saved copies.
    void SetState(const AppState& state);
    void SetCommLib(CommLibTable* table) { m_core.SetCommLib(table); }
    void SetDriverNameFilter(const QString& filter) { m_core.SetDriverNameFilter(filter); }
    void SetPrinterNameFilter(const QString& filter) { m_core.SetPrinterNameFilter(filter); }
    // The printer queues of driver mode; by default the system's CUPS scheduler.
    void SetSpooler(std::unique_ptr<IPrinterSpooler> spooler);
    void SetMessageHandler(MessageHandler handler) { m_messages = std::move(handler); }
    void SetAddPortRunner(AddPortRunner runner) { m_addPort = std::move(runner); }

    // The dialog's copy of the application state.
    const AppState& State() const { return m_core.State(); }
    PrinterSelectCore& Core() { return m_core; }

    // For start-up (see PrinterSelectCore).
    const PortInfo* SelectByPortName(const QString& portName)
    {
        return m_core.SelectByPortName(portName);
    }
    int32_t CommunicationCheck(bool checkModel, PortInfo* port)
    {
        return m_core.CommunicationCheck(checkModel, port, this);
    }
    int32_t OpenPort(PortInfo* port) { return m_core.OpenPort(port); }
    void StoreSelection(const PortInfo& port) { m_core.StoreSelection(port); }
    std::optional<QString> ChosenDriverPrinterName() const
    {
        return m_core.ChosenDriverPrinterName();
    }
    int32_t LastTestResult() const { return m_core.LastTestResult(); }

    QTreeWidget* PrinterList() const { return m_list; }
    CSelectLangDlg* LanguageDialog() const { return m_languageDlg; }
    // The index of the selected row, -1 when none.
    int SelectedRow() const;

    // Cancel: saves the language choice, then closes with Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void InitDialog();
    bool LoadTexts();
    void RefreshList();
    void FillList();
    void SelectRow(int row);
    void UpdateButtons();
    void UpdateRowHeight();

    void OnOk();
    void OnAddPort();
    void OnDeletePort();
    void OnSelectLanguage();
    void BringToFront();

    // IPrinterSelectUi
    void ShowMessage(int number) override;
    bool AskMessage(int number) override;
    void Accept() override;
    bool ShowBox(MessageKind kind, const QString& text);

    PrinterSelectCore m_core;
    std::unique_ptr<IPrinterSpooler> m_spooler;
    CLangResStore m_texts;
    CLangResStore m_addPortTexts;
    MessageHandler m_messages;
    AddPortRunner m_addPort;
    bool m_initialised = false;
    int m_rowHeight = 0;

    // Children of the dialog.
    CSelectLangDlg* m_languageDlg = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_addPortButton = nullptr;
    QPushButton* m_deletePort = nullptr;
    QPushButton* m_selectLanguage = nullptr;
    QLabel* m_languageLabel = nullptr;
    QLabel* m_hint = nullptr;
    CStaticItem* m_heading = nullptr;
    CStaticPictureItem* m_picture = nullptr;
    QComboBox* m_unusedCombo = nullptr;
    QLabel* m_unusedLabel = nullptr;
    platform::ActivationServer* m_activation = nullptr;
};

// The add-port dialog as the selection dialog runs it by default.
std::optional<PortInfo> RunAddPortDialog(QWidget* parent, const AppState& state,
                                         CommLibTable* commLib, const CLangResStore& texts);
