#pragma once

#include "lang/lang_res_store.h"
#include "printers/communication_setting_logic.h"
#include "printers/companion_tools.h"
#include "printers/tool_progress_dlg.h"

#include <qpu/app_state.h>
#include <qpu/comm_lib.h>
#include <qpu/port_info.h>

#include <QDialog>
#include <QPointer>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>

class CIpAddressEdit;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QPushButton;

// The add-port dialog ("Add Port"): the user picks an interface and a port (or, for
// Ethernet, types or searches the printer's address), sets the serial line, and proves with
// a communication test that the served model answers there. OK closes the dialog only after
// a successful test; Result() then holds the tested port, ready for QPC_AddPort.
//
//   CCommunicationSettingDlg dlg(state, commLib, this);
//   if (dlg.exec() == QDialog::Accepted)
//       QpcCall(commLib, &CommLibTable::AddPort, &dlg.Result());
//
// The dialog reads the start mode, the offered interfaces and the language (folder and
// identifier) from its copy of the state, and opens the texts of window "PORT_ADD_DLG"
// itself. From it the user also starts the companion tools (network configuration tool,
// port assignment tool, Bluetooth connector).
class CCommunicationSettingDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr char kWindowName[] = "PORT_ADD_DLG";

    // state is copied; commLib (may be null or unbound) must outlive the dialog.
    CCommunicationSettingDlg(const AppState& state, const CommLibTable* commLib,
                             QWidget* parent = nullptr);
    ~CCommunicationSettingDlg() override;

    // The tested port; valid after the dialog ended with OK (zeroed before).
    const PortInfo& Result() const { return *m_result; }
    PortInfo& Result() { return *m_result; }

    // The interface shown (button index 0 serial .. 4 Bluetooth).
    int CurrentInterface() const { return m_current; }
    const tools::ToolPaths& ToolPaths() const { return m_toolPaths; }
    // The address last read from or written to the address control (0: none).
    uint32_t LastAddress() const { return m_lastAddress; }
    // The progress window of a running tool, or null.
    CToolProgressDlg* ProgressWindow() const { return m_progress; }

    // How a folder found for the port assignment tool is opened (default: the desktop's
    // file manager through QDesktopServices::openUrl), and how a program is started
    // (default: a detached process). Replaceable for tests.
    using OpenUrlHandler = std::function<bool(const QUrl&)>;
    using StartProgramHandler = std::function<bool(const QString&)>;
    void SetOpenUrlHandler(OpenUrlHandler handler) { m_openUrl = std::move(handler); }
    void SetStartProgramHandler(StartProgramHandler handler)
    {
        m_startProgram = std::move(handler);
    }

    // Runs the communication test of the current choice, with its messages (error, wrong
    // model); true on success, when Result() holds the tested port.
    bool RunCommunicationTest();

    // The companion tools (buttons 1015, 1023, 1034).
    void RunNetworkTool();
    void RunPortTool();
    void RunConnector();

    // OK: read the choice, run the test; closes only on success.
    void accept() override;

protected:
    // The worker notifications of the companion tools.
    bool event(QEvent* event) override;

private:
    void BuildControls();
    void InitDialog();
    void SelectInterface(int index);
    void ApplyLayout(int index);
    void ApplyToolButtons(const tools::ToolButtons& buttons);
    void FillPortCombo();
    void FillSerialLists();
    void UpdateTestButtons();
    void EnableTest(bool enable);
    void SearchNetwork();
    void SearchPorts();
    void OnFoundPrinterChosen();
    void OnAddressEdited();
    void OnPortTextEdited();
    void ShowSearchResult(int found);
    QString FoundPrinterText(const PortInfo& record) const;
    addport::PortSetting ReadChoice();
    // A typed port or an address the dialog refuses before any test, with the message
    // that says why; empty when the choice may be tested.
    QString Refusal(const addport::PortSetting& setting) const;
    QString CommErrorText(int32_t result, const addport::PortSetting& setting) const;
    void OnCommunicationTestClicked();

    intptr_t OnConnectorStarted();
    intptr_t OnConnectorEnded();
    intptr_t OnNetworkToolMessage(intptr_t wParam);
    void SetConnectorControlsEnabled(bool enabled);

    QString Text(int number, const char* fallback) const;
    QString Message(int number, const char* fallback) const;
    QWidget* Control(int controlId) const;
    bool BluetoothOffered() const;

    std::unique_ptr<AppState> m_state;
    const CommLibTable* m_commLib = nullptr;
    CLangResStore m_store;
    bool m_hasTexts = false;
    std::unique_ptr<PortInfo> m_result;

    int m_current = addport::kInitialInterface;
    uint32_t m_lastAddress = 0;
    addport::DeviceBuffer m_devices;
    tools::ToolPaths m_toolPaths;
    std::unique_ptr<tools::ToolWorker> m_networkWorker;
    std::unique_ptr<tools::ToolWorker> m_connectorWorker;
    QPointer<CToolProgressDlg> m_progress;
    OpenUrlHandler m_openUrl;
    StartProgramHandler m_startProgram;

    QLabel* m_instruction = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
    std::array<QPushButton*, addport::kInterfaceCount> m_interfaceButtons{};
    QButtonGroup* m_interfaceGroup = nullptr;
    QLabel* m_portLabel = nullptr;
    QComboBox* m_portCombo = nullptr;
    QLabel* m_searchResult = nullptr;
    CIpAddressEdit* m_address = nullptr;
    QPushButton* m_networkSearch = nullptr;
    QPushButton* m_portSearch = nullptr;
    QListWidget* m_foundPrinters = nullptr;
    QComboBox* m_bitLength = nullptr;
    QComboBox* m_baudRate = nullptr;
    QComboBox* m_parity = nullptr;
    QComboBox* m_flowControl = nullptr;
    QPushButton* m_networkTool = nullptr;
    QPushButton* m_portTool = nullptr;
    QPushButton* m_connector = nullptr;
    QPushButton* m_test = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
