#include "printers/printer_select_core.h"

#include "app/fixed_text.h"
#include "app/model_profile.h"
#include "comm/comm_lib_binding.h"
#include "printers/printer_registry.h"
#include "printers/printer_spooler.h"

#include <cstring>

using namespace printer_select;

PrinterSelectCore::PrinterSelectCore() : m_state(std::make_unique<AppState>())
{
    std::memset(m_state.get(), 0, sizeof(AppState));
}

PrinterSelectCore::~PrinterSelectCore() = default;

void PrinterSelectCore::SetState(const AppState& state)
{
    std::memcpy(m_state.get(), &state, sizeof(AppState));
}

bool PrinterSelectCore::HasSavedSettings(const PortInfo& port) const
{
    const PrinterRegistry* registry = m_registry;
    return registry &&
           registry->HasSavedSettings(FixedText(port.deviceName), FixedText(port.portName));
}

int32_t PrinterSelectCore::Refresh()
{
    const int32_t result = m_ports.Enumerate(m_commLib);
    if (result == QPC_OK) {
        if (IsDriverMode()) {
            BuildRows();
        } else {
            m_rows = ListedRows(false, m_driverRows, m_ports);
        }
    }
    return result;
}

void PrinterSelectCore::BuildRows()
{
    QList<SpoolerPrinter> printers;
    if (m_spooler) {
        m_spooler->ListPrinters(&printers); // an unreachable spooler lists no queues
    }
    // The rows point into the driver rows: drop them first.
    m_rows.clear();
    m_driverRows = BuildDriverRows(printers, m_ports, m_driverNameFilter, m_printerNameFilter);
    m_chosenDriverRow = -1;
    m_rows = ListedRows(IsDriverMode(), m_driverRows, m_ports);
}

int32_t PrinterSelectCore::CommunicationCheck(bool checkModel, PortInfo* port, IPrinterSelectUi* ui)
{
    if (!port) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    const int32_t result = QpcCall(m_commLib, &CommLibTable::CommunicationTest, port);
    m_lastTestResult = result;
    if (checkModel && result == QPC_OK) {
        const QString reported = FixedText(port->deviceName);
        const bool matches = IsDriverMode() ? ModelSeriesMatch(reported)
                                            : reported == QString::fromUtf16(kServedModelName);
        if (!matches) {
            if (ui) {
                ui->ShowMessage(kMsgWrongModel);
            }
            return kWrongModel;
        }
    }
    return result;
}

int32_t PrinterSelectCore::OpenPort(PortInfo* port)
{
    if (int32_t r = QpcCall(m_commLib, &CommLibTable::SetPort, port); r != QPC_OK) {
        return r;
    }
    if (int32_t r = QpcCall(m_commLib, &CommLibTable::GetPort, port); r != QPC_OK) {
        return r;
    }
    if (int32_t r = QpcCall(m_commLib, &CommLibTable::Open, 1); r != QPC_OK) {
        return r;
    }
    return QpcCall(m_commLib, &CommLibTable::Initialize);
}

int32_t PrinterSelectCore::ClosePort()
{
    return QpcCall(m_commLib, &CommLibTable::Close);
}

void PrinterSelectCore::StoreSelection(const PortInfo& port)
{
    std::memmove(&m_state->portInfo, &port, sizeof(PortInfo));
    if (const int type = PortTypeOfKeyword(FixedText(port.interfaceKeyword)); type != 0) {
        m_state->portType = type;
    }
}

const PortInfo* PrinterSelectCore::SelectByPortName(const QString& portName)
{
    m_ports.Enumerate(m_commLib); // on failure the previous list is searched
    BuildRows();
    PortInfo* found = nullptr;
    for (int i = 0; i < m_ports.Count(); ++i) {
        const QString path = FixedText(m_ports.At(i)->driverPortPath);
        if (path.contains(QLatin1Char('/')) && LastPathComponent(path) == portName) {
            found = m_ports.At(i);
            break;
        }
    }
    if (!found) {
        return nullptr;
    }
    for (size_t i = 0; i < m_driverRows.size(); ++i) {
        const QString path = FixedText(m_driverRows[i].port->driverPortPath);
        if (LastPathComponent(path).startsWith(portName)) {
            m_chosenDriverRow = static_cast<int>(i);
            break;
        }
    }
    StoreSelection(*found);
    return &m_state->portInfo;
}

std::optional<QString> PrinterSelectCore::ChosenDriverPrinterName() const
{
    if (m_chosenDriverRow < 0 || m_chosenDriverRow >= static_cast<int>(m_driverRows.size())) {
        return std::nullopt;
    }
    return m_driverRows[static_cast<size_t>(m_chosenDriverRow)].printerName.left(
        QPU_TEXT_MAX_CHARS);
}

void PrinterSelectCore::AcceptRow(const ListRow& row, IPrinterSelectUi& ui, bool& accepted)
{
    StoreSelection(*row.port);
    if (row.driverRow >= 0) {
        m_chosenDriverRow = row.driverRow;
    }
    if (!accepted) {
        accepted = true;
        ui.Accept();
    }
}

bool PrinterSelectCore::RunOk(int rowIndex, IPrinterSelectUi& ui)
{
    if (rowIndex < 0 || rowIndex >= static_cast<int>(m_rows.size())) {
        ui.ShowMessage(kMsgSelectPrinter);
        return false;
    }
    // The row may be replaced while message boxes are up; work on a copy of it. The
    // record it points to lives until the next successful refresh.
    const ListRow row = m_rows[static_cast<size_t>(rowIndex)];
    bool accepted = false;
    const int32_t r = CommunicationCheck(true, row.port, &ui);
    // The driver closes the dialog at once whatever the test gave; the messages follow.
    if (IsDriverMode() && r != 1) {
        AcceptRow(row, ui, accepted);
    }
    if (r == kWrongModel) {
        return accepted;
    }
    if (r == QPC_ERR_PORT_IN_USE) {
        ui.ShowMessage(kMsgPortInUse);
        return accepted;
    }
    if (r != QPC_OK) {
        ui.ShowMessage(kMsgNoAnswer);
    }
    const bool saved = HasSavedSettings(*row.port);
    if (r != QPC_OK && !saved) {
        return accepted;
    }
    const int32_t opened = OpenPort(row.port);
    if (opened == QPC_OK) {
        AcceptRow(row, ui, accepted);
        return accepted;
    }
    if (opened == QPC_ERR_PORT_IN_USE) {
        ui.ShowMessage(kMsgPortInUse);
        return accepted;
    }
    if (r == QPC_OK) {
        ui.ShowMessage(kMsgNoAnswer);
    }
    if (!saved) {
        ClosePort();
        return accepted;
    }
    AcceptRow(row, ui, accepted);
    return accepted;
}

int PrinterSelectCore::AddPort(const PortInfo& record, int32_t* result)
{
    const QString keyword = FixedText(record.interfaceKeyword);
    const QString portName = FixedText(record.portName);
    int32_t r = QPC_ERR_INVALID_ARGUMENT;
    if (!keyword.isEmpty()) {
        PortInfo copy = record; // the library may write to it
        r = QpcCall(m_commLib, &CommLibTable::AddPort, &copy);
    }
    if (result) {
        *result = r;
    }
    if (r != QPC_OK) {
        return -1;
    }
    Refresh();
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].keyword == keyword && m_rows[i].portName == portName) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool PrinterSelectCore::DeletePort(int rowIndex, IPrinterSelectUi& ui)
{
    if (!ui.AskMessage(kMsgConfirmDelete)) {
        return false;
    }
    if (rowIndex < 0 || rowIndex >= static_cast<int>(m_rows.size())) {
        return false;
    }
    if (QpcCall(m_commLib, &CommLibTable::RemovePort, m_rows[static_cast<size_t>(rowIndex)].port) !=
        QPC_OK) {
        return false;
    }
    Refresh();
    return true;
}

void PrinterSelectCore::TakeLanguage(const AppState& chosen)
{
    m_state->languageId = chosen.languageId;
    std::memcpy(m_state->languageIdText, chosen.languageIdText, sizeof(chosen.languageIdText));
}
