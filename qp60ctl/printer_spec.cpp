#include "printer_spec.h"

#include "app/fixed_text.h"

#include <QRegularExpression>

#include <cstring>
#include <vector>

namespace qp60ctl {

namespace {

bool ValidIpv4(const QString& address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    for (const QString& part : parts)
        if (part.toInt() > 255)
            return false;
    return parts.size() == 4;
}

void ClearRecord(PortInfo* port)
{
    std::memset(port, 0, sizeof *port);
    port->reserved1 = -1;
    port->reserved2 = -1;
}

} // namespace

QString PrinterSpec::Label() const
{
    return kind == Kind::Network ? QStringLiteral("net:") + text : text;
}

bool ParsePrinterSpec(const QString& word, PrinterSpec* spec, QString* error)
{
    if (word.startsWith(QLatin1String("net:"))) {
        static const QRegularExpression address(QStringLiteral(
            "^([0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3})(?::([0-9]{1,5}))?$"));
        const QString rest = word.mid(4);
        const QRegularExpressionMatch match = address.match(rest);
        bool portOk = true;
        const int port = match.hasCaptured(2) ? match.captured(2).toInt(&portOk) : 9100;
        if (!match.hasMatch() || !ValidIpv4(match.captured(1)) || !portOk || port < 1 ||
            port > 65535) {
            *error =
                QStringLiteral("'%1' is not net:ADDRESS[:PORT] with an IPv4 address").arg(word);
            return false;
        }
        *spec = {PrinterSpec::Kind::Network, rest};
        return true;
    }
    if (word.isEmpty()) {
        *error = QStringLiteral("an empty printer name");
        return false;
    }
    *spec = {word.startsWith(QLatin1Char('/')) ? PrinterSpec::Kind::Device
                                               : PrinterSpec::Kind::Registered,
             word};
    return true;
}

QString PortName(const PortInfo& port)
{
    return FixedText(port.portName);
}

int32_t RegisteredPorts(const CommLibTable* table, QList<PortInfo>* ports)
{
    uint32_t count = 0;
    int32_t rc = table->EnumPort(nullptr, 0, &count);
    if (rc != QPC_OK)
        return rc;
    std::vector<PortInfo> records(count);
    std::vector<PortInfo*> pointers;
    for (PortInfo& record : records) {
        std::memset(&record, 0, sizeof record);
        pointers.push_back(&record);
    }
    if (count > 0) {
        rc = table->EnumPort(pointers.data(), count, &count);
        if (rc != QPC_OK)
            return rc;
    }
    ports->clear();
    for (uint32_t i = 0; i < count && i < records.size(); ++i)
        ports->append(records[i]);
    return QPC_OK;
}

int32_t PortRecordFor(const CommLibTable* table, const PrinterSpec& spec, PortInfo* port)
{
    ClearRecord(port);
    switch (spec.kind) {
    case PrinterSpec::Kind::Network:
        SetFixedText(port->interfaceKeyword, QStringLiteral(QPU_PORT_KEYWORD_ETHERNET));
        SetFixedText(port->portName, spec.text);
        return QPC_OK;
    case PrinterSpec::Kind::Device:
        port->driverPortFlag = 1;
        return SetFixedText(port->driverPortPath, spec.text) ? QPC_OK : QPC_ERR_INVALID_ARGUMENT;
    case PrinterSpec::Kind::Registered:
        break;
    }
    QList<PortInfo> ports;
    if (const int32_t rc = RegisteredPorts(table, &ports); rc != QPC_OK)
        return rc;
    for (const PortInfo& registered : ports) {
        if (PortName(registered) == spec.text) {
            *port = registered;
            return QPC_OK;
        }
    }
    return QPC_ERR_NOT_FOUND;
}

} // namespace qp60ctl
