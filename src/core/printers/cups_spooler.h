#pragma once

#include "printers/printer_spooler.h"

// The printer queues of a CUPS scheduler, asked directly with one CUPS-Get-Printers
// request (no network discovery): queue name, the last component of the queue's device
// URI as the port and its make-and-model as the driver name. Classes have no device and
// are left out.
class CupsPrinterSpooler final : public IPrinterSpooler
{
public:
    // server: empty for the system's scheduler (the CUPS client configuration decides),
    // else a host name or the path of a scheduler's local socket.
    explicit CupsPrinterSpooler(QString server = {}, int timeoutMs = 5000);

    bool ListPrinters(QList<SpoolerPrinter>* printers) override;
    QString errorString() const override { return m_error; }

    // The port of a device URI: the text after its last '/' with any query left on, so
    // "socket://127.0.0.1:9100" gives "127.0.0.1:9100", "usb://VORKA/QP-R60?serial=1"
    // gives "QP-R60?serial=1" and "lpd://host/queue/" gives "".
    static QString PortOfDeviceUri(const QString& deviceUri);

private:
    QString m_server;
    int m_timeoutMs;
    QString m_error;
};
