#pragma once

#include "printers/printer_select_logic.h"

#include <qpu/app_state.h>

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class IPrinterSpooler;
class PrinterRegistry;

// What the printer selection dialog's decisions need from its window: message boxes and
// closing with OK.
class IPrinterSelectUi
{
public:
    virtual ~IPrinterSelectUi() = default;
    // A warning box with the dialog's message of that number.
    virtual void ShowMessage(int number) = 0;
    // A Yes/No question with the dialog's message of that number; true for Yes.
    virtual bool AskMessage(int number) = 0;
    // Saves the language choice and closes the dialog with OK.
    virtual void Accept() = 0;
};

// The state and decisions of the printer selection dialog, without a window: the copy of
// AppState it works on, the library's port list, the rows of driver mode, the listed rows,
// the communication check, OK, Add Port and Delete Port. The dialog owns one and shows
// what it holds; start-up also uses it without showing the dialog (SelectByPortName,
// CommunicationCheck, OpenPort, StoreSelection, ChosenDriverPrinterName).
class PrinterSelectCore
{
public:
    PrinterSelectCore();
    ~PrinterSelectCore();
    PrinterSelectCore(const PrinterSelectCore&) = delete;
    PrinterSelectCore& operator=(const PrinterSelectCore&) = delete;

    // The dialog's copy of the application state; start-up copies it in before and back
    // after the dialog.
    AppState& State() { return *m_state; }
    const AppState& State() const { return *m_state; }
    void SetState(const AppState& state);

    // The library binding (not owned; null or unbound: every library step gives
    // QPC_ERR_NOT_BOUND).
    void SetCommLib(CommLibTable* table) { m_commLib = table; }
    CommLibTable* CommLib() const { return m_commLib; }

    // The system's printer queues for driver mode (not owned; null lists none).
    void SetSpooler(IPrinterSpooler* spooler) { m_spooler = spooler; }
    // Non-empty: driver mode, listing queues whose driver name contains the filter.
    void SetDriverNameFilter(const QString& filter) { m_driverNameFilter = filter; }
    QString DriverNameFilter() const { return m_driverNameFilter; }
    bool IsDriverMode() const { return !m_driverNameFilter.isEmpty(); }
    // Non-empty: only the queue of exactly this name is listed.
    void SetPrinterNameFilter(const QString& filter) { m_printerNameFilter = filter; }

    // Where saved settings are looked up; without one, nothing has saved settings.
    void SetRegistry(const PrinterRegistry* registry) { m_registry = registry; }
    const PrinterRegistry* Registry() const { return m_registry; }
    bool HasSavedSettings(const PortInfo& port) const;

    // Lists the library's ports; only when that succeeds are the driver rows (driver mode)
    // and the listed rows built anew. On failure the rows and the records they point to
    // stay as they were. Returns the library's result.
    int32_t Refresh();
    const std::vector<printer_select::ListRow>& Rows() const { return m_rows; }
    const std::vector<printer_select::DriverPrinterRow>& DriverRows() const { return m_driverRows; }

    // Tests the port: QPC_ERR_INVALID_ARGUMENT for no port, else the library's answer,
    // remembered as the last test result. With checkModel, a printer that answered must
    // report the served model (exactly; in driver mode any model of its series): otherwise
    // message 2 is shown (when ui is given) and the result is kWrongModel.
    int32_t CommunicationCheck(bool checkModel, PortInfo* port, IPrinterSelectUi* ui = nullptr);
    int32_t LastTestResult() const { return m_lastTestResult; }

    // Selects and opens the port: QPC_SetPort, QPC_GetPort, QPC_Open(1), QPC_Initialize,
    // stopping at the first failure, whose result is returned.
    int32_t OpenPort(PortInfo* port);
    int32_t ClosePort();

    // Copies port into the state and sets the state's port type from its keyword (another
    // keyword keeps the previous type).
    void StoreSelection(const PortInfo& port);

    // Without the window: lists the ports and builds the driver rows, finds the first
    // library port whose driver port path has a '/' and ends in portName after its last
    // one, makes the first driver row whose record's port path ends in a text beginning
    // with portName the chosen one, and stores the port found as the selection. Returns
    // the state's copy of it, or null when no port was found (nothing is stored then).
    const PortInfo* SelectByPortName(const QString& portName);

    // The queue name of the chosen driver row (SelectByPortName, or a driver row accepted
    // with OK), at most 259 characters; none when there is no chosen row.
    std::optional<QString> ChosenDriverPrinterName() const;

    // OK on the listed row (-1: none selected). Shows the messages through ui and calls
    // ui.Accept() at most once, after storing the selection. Returns whether it accepted.
    bool RunOk(int row, IPrinterSelectUi& ui);

    // Registers record with the library when its keyword is not empty. On success the list
    // is refreshed and the index of the first row with the record's keyword and port name
    // is returned (-1 when it is not listed); on failure -1. result, when given, receives
    // the library's answer (QPC_ERR_INVALID_ARGUMENT for an empty keyword).
    int AddPort(const PortInfo& record, int32_t* result = nullptr);

    // Asks message 1; on Yes removes the listed row's port from the library and refreshes
    // the list. The printer registry is not changed. Returns whether the port was removed.
    bool DeletePort(int row, IPrinterSelectUi& ui);

    // Takes the language identifier (number and text) that the language choice gave.
    void TakeLanguage(const AppState& chosen);

private:
    void BuildRows();
    void AcceptRow(const printer_select::ListRow& row, IPrinterSelectUi& ui, bool& accepted);

    std::unique_ptr<AppState> m_state;
    CommLibTable* m_commLib = nullptr;
    IPrinterSpooler* m_spooler = nullptr;
    const PrinterRegistry* m_registry = nullptr;
    QString m_driverNameFilter;
    QString m_printerNameFilter;
    printer_select::PortList m_ports;
    std::vector<printer_select::DriverPrinterRow> m_driverRows;
    std::vector<printer_select::ListRow> m_rows;
    int m_chosenDriverRow = -1;
    int32_t m_lastTestResult = QPC_ERR_NOT_BOUND;
};
