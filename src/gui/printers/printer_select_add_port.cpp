// The selection dialog's default way of running the add-port dialog.
#include "printers/communication_setting_dlg.h"
#include "printers/printer_select_dlg.h"

std::optional<PortInfo> RunAddPortDialog(QWidget* parent, const AppState& state,
                                         CommLibTable* commLib, const CLangResStore& /*texts*/)
{
    // The add-port dialog opens the "PORT_ADD_DLG" texts of the state's language itself.
    CCommunicationSettingDlg dialog(state, commLib, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Result();
}
