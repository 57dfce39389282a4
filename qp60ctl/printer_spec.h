#pragma once

#include <qpu/comm_lib.h>

#include <QList>
#include <QString>

#include <memory>

// How a printer is named on the command line, and the port record the communication
// library opens for it.
namespace qp60ctl {

struct PrinterSpec
{
    enum class Kind
    {
        Registered, // a registered port, by its port name
        Network,    // net:ADDRESS[:PORT]
        Device,     // a device path
    };
    Kind kind = Kind::Registered;
    QString text; // the port name, "ADDRESS[:PORT]" or the path

    // As the user names it: "net:192.0.2.1", "/dev/ttyUSB0", "ttyUSB0".
    QString Label() const;
};

// Sorts a command-line word into a spec; false with the reason for a malformed
// net: address.
bool ParsePrinterSpec(const QString& word, PrinterSpec* spec, QString* error);

// The port name under which the selection dialog and "qp60ctl ports" list a record.
QString PortName(const PortInfo& port);

// The registered ports (QPC_EnumPort). False with the library's result on failure.
int32_t RegisteredPorts(const CommLibTable* table, QList<PortInfo>* ports);

// The record to open: a registered port by name, a NET record for an address, a
// driver-path record for a device path (resolved by the library as the utility's start
// mode 3 does). QPC_ERR_NOT_FOUND when no registered port has the name.
int32_t PortRecordFor(const CommLibTable* table, const PrinterSpec& spec, PortInfo* port);

} // namespace qp60ctl
