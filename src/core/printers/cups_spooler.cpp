#include "printers/cups_spooler.h"

#include <cups/cups.h>

#include <memory>

namespace {

struct HttpCloser
{
    void operator()(http_t* http) const { httpClose(http); }
};
struct IppDeleter
{
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using HttpPtr = std::unique_ptr<http_t, HttpCloser>;
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

QString TextOf(ipp_attribute_t* attribute)
{
    const char* text = ippGetString(attribute, 0, nullptr);
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

CupsPrinterSpooler::CupsPrinterSpooler(QString server, int timeoutMs)
    : m_server(std::move(server)), m_timeoutMs(timeoutMs)
{}

QString CupsPrinterSpooler::PortOfDeviceUri(const QString& deviceUri)
{
    return deviceUri.mid(deviceUri.lastIndexOf(QLatin1Char('/')) + 1);
}

bool CupsPrinterSpooler::ListPrinters(QList<SpoolerPrinter>* printers)
{
    printers->clear();
    m_error.clear();
    const QByteArray host = m_server.isEmpty() ? QByteArray(cupsServer()) : m_server.toUtf8();
    const int port = host.startsWith('/') ? 0 : ippPort();
    HttpPtr http(httpConnect2(host.constData(), port, nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              m_timeoutMs, nullptr));
    if (!http) {
        m_error =
            QStringLiteral("cannot reach the print spooler at %1").arg(QString::fromUtf8(host));
        return false;
    }
    httpSetTimeout(http.get(), m_timeoutMs / 1000.0, nullptr, nullptr);

    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    static const char* const kAttributes[] = {"printer-name", "device-uri",
                                              "printer-make-and-model", "printer-type"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(std::size(kAttributes)), nullptr, kAttributes);
    // cupsDoRequest takes the request and frees it.
    const IppPtr response(cupsDoRequest(http.get(), request, "/"));
    const ipp_status_t status = cupsLastError();
    if (status == IPP_STATUS_ERROR_NOT_FOUND) {
        return true; // a scheduler without queues
    }
    if (!response || status > IPP_STATUS_OK_CONFLICTING) {
        m_error = QStringLiteral("the print spooler refused the printer list: %1")
                      .arg(QString::fromUtf8(cupsLastErrorString()));
        return false;
    }

    // Each printer is one run of attributes; runs are separated by group separators.
    SpoolerPrinter current;
    QString deviceUri;
    int type = 0;
    const auto finishPrinter = [&] {
        const bool isClass = (type & (CUPS_PRINTER_CLASS | CUPS_PRINTER_IMPLICIT)) != 0;
        if (!current.printerName.isEmpty() && !isClass) {
            current.portName = PortOfDeviceUri(deviceUri);
            printers->append(current);
        }
        current = SpoolerPrinter();
        deviceUri.clear();
        type = 0;
    };
    for (ipp_attribute_t* attribute = ippFirstAttribute(response.get()); attribute;
         attribute = ippNextAttribute(response.get())) {
        const char* name = ippGetName(attribute);
        if (!name) {
            finishPrinter();
            continue;
        }
        if (ippGetGroupTag(attribute) != IPP_TAG_PRINTER) {
            continue;
        }
        const QByteArray key(name);
        if (key == "printer-name") {
            current.printerName = TextOf(attribute);
        } else if (key == "device-uri") {
            deviceUri = TextOf(attribute);
        } else if (key == "printer-make-and-model") {
            current.driverName = TextOf(attribute);
        } else if (key == "printer-type") {
            type = ippGetInteger(attribute, 0);
        }
    }
    finishPrinter();
    return true;
}
