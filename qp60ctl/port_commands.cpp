#include "port_commands.h"

#include "printer_job.h"
#include "printer_spec.h"

#include "app/fixed_text.h"
#include "app/model_profile.h"
#include "comm/comm_error_text.h"
#include "comm/comm_lib_binding.h"

#include <QHash>
#include <QJsonArray>

#include <cstring>
#include <functional>
#include <vector>

namespace qp60ctl {

namespace {

class PortCommand
{
public:
    PortCommand(const Invocation& invocation, const ReportStreams& streams)
        : m_invocation(invocation), m_streams(streams)
    {}

    int Run();

private:
    int Ports();
    int Discover();
    int AddPort();
    int RemovePort();
    int Fail(int status, const QString& text, const QString& code = QStringLiteral("failed"));
    void PrintPortRows(const QList<QJsonObject>& rows, const QStringList& columns);

    const Invocation& m_invocation;
    ReportStreams m_streams;
    CommLibBinding m_binding;
};

QJsonObject PortObject(const PortInfo& port)
{
    QJsonObject object{{QStringLiteral("name"), PortName(port)},
                       {QStringLiteral("kind"), FixedText(port.interfaceKeyword)},
                       {QStringLiteral("model"), FixedText(port.deviceName)}};
    const QString device = PortDevicePath(port);
    if (!device.isEmpty())
        object.insert(QStringLiteral("device"), device);
    return object;
}

int PortCommand::Fail(int status, const QString& text, const QString& code)
{
    if (m_invocation.options.json)
        PrintLine(m_streams.out,
                  QString::fromUtf8(JsonLine({{QStringLiteral("ok"), false},
                                              {QStringLiteral("error"),
                                               QJsonObject{{QStringLiteral("code"), code},
                                                           {QStringLiteral("text"), text}}}})
                                        .trimmed()));
    PrintLine(m_streams.err, QStringLiteral("qp60ctl: ") + text);
    return status;
}

void PortCommand::PrintPortRows(const QList<QJsonObject>& rows, const QStringList& columns)
{
    if (m_invocation.options.json) {
        for (const QJsonObject& row : rows)
            PrintLine(m_streams.out, QString::fromUtf8(JsonLine(row).trimmed()));
        return;
    }
    QList<qsizetype> widths;
    for (const QString& column : columns)
        widths.append(column.size());
    for (const QJsonObject& row : rows)
        for (qsizetype i = 0; i < columns.size(); ++i)
            widths[i] = std::max(widths[i], row.value(columns[i].toLower()).toString().size());
    const auto line = [&](const std::function<QString(qsizetype)>& cell) {
        QString text;
        for (qsizetype i = 0; i < columns.size(); ++i)
            text += i + 1 < columns.size() ? cell(i).leftJustified(widths[i] + 2) : cell(i);
        PrintLine(m_streams.out, text.trimmed());
    };
    line([&](qsizetype i) { return columns[i]; });
    for (const QJsonObject& row : rows)
        line([&](qsizetype i) { return row.value(columns[i].toLower()).toString(); });
}

int PortCommand::Ports()
{
    QList<PortInfo> ports;
    if (const int32_t rc = RegisteredPorts(m_binding.Table(), &ports); rc != QPC_OK)
        return Fail(kExitFailed, CommErrorCause(rc), ResultCodeName(rc));
    QList<QJsonObject> rows;
    for (const PortInfo& port : ports)
        rows.append(PortObject(port));
    PrintPortRows(rows, {QStringLiteral("NAME"), QStringLiteral("KIND"), QStringLiteral("MODEL"),
                         QStringLiteral("DEVICE")});
    return kExitOk;
}

int PortCommand::Discover()
{
    std::vector<PortInfo> records(16);
    uint32_t count = 0;
    for (;;) {
        std::vector<PortInfo*> pointers;
        for (PortInfo& record : records) {
            std::memset(&record, 0, sizeof record);
            pointers.push_back(&record);
        }
        const int32_t rc = m_binding.Call(&CommLibTable::EnumDevPort, u"NET", pointers.data(),
                                          uint32_t(records.size()), &count);
        if (rc != QPC_OK)
            return Fail(kExitFailed, CommErrorCause(rc), ResultCodeName(rc));
        if (count <= records.size())
            break;
        records.resize(count);
    }
    QList<QJsonObject> rows;
    for (uint32_t i = 0; i < count; ++i) {
        QJsonObject row = PortObject(records[i]);
        row.insert(QStringLiteral("printer"), QStringLiteral("net:") + PortName(records[i]));
        rows.append(row);
    }
    PrintPortRows(rows, {QStringLiteral("PRINTER"), QStringLiteral("MODEL")});
    return kExitOk;
}

int PortCommand::AddPort()
{
    static const QHash<QString, const char*> keywords = {
        {QStringLiteral("net"), QPU_PORT_KEYWORD_ETHERNET},
        {QStringLiteral("com"), QPU_PORT_KEYWORD_SERIAL},
        {QStringLiteral("bt"), QPU_PORT_KEYWORD_BLUETOOTH},
        {QStringLiteral("usb"), QPU_PORT_KEYWORD_USB},
        {QStringLiteral("lpt"), QPU_PORT_KEYWORD_PARALLEL}};
    const QString kind = m_invocation.portArguments[0].toLower();
    QString name = m_invocation.portArguments[1];
    if (!keywords.contains(kind))
        return Fail(kExitUsage,
                    QStringLiteral("the kind of port must be net, com, bt, usb or lpt, "
                                   "not '%1'")
                        .arg(kind),
                    QStringLiteral("usage"));
    if (kind == QLatin1String("net")) {
        PrinterSpec spec;
        QString error;
        if (!ParsePrinterSpec(QStringLiteral("net:") + name, &spec, &error))
            return Fail(kExitUsage, error, QStringLiteral("usage"));
    } else if (name.startsWith(QLatin1String("/dev/")) && kind != QLatin1String("usb")) {
        name = name.mid(5); // registered by the name under the device folder
    }
    PortInfo port{};
    port.reserved1 = -1;
    port.reserved2 = -1;
    SetFixedText(port.interfaceKeyword, QLatin1String(keywords.value(kind)));
    if (!SetFixedText(port.portName, name))
        return Fail(kExitUsage, QStringLiteral("the port name is too long"),
                    QStringLiteral("usage"));
    const Options& options = m_invocation.options;
    if ((kind == QLatin1String("com") || kind == QLatin1String("bt")) && options.baudRate > 0) {
        port.serialParamsPresent = 1;
        port.baudRateCode = options.baudRate;
        port.dataBitsCode = options.dataBits;
        port.parityCode = options.parity == QLatin1String("odd")    ? QPC_PARITY_ODD
                          : options.parity == QLatin1String("even") ? QPC_PARITY_EVEN
                                                                    : QPC_PARITY_NONE;
    }
    if (!options.force) {
        const int32_t rc = m_binding.Call(&CommLibTable::CommunicationTest, &port);
        if (rc != QPC_OK)
            return Fail(kExitFailed,
                        QStringLiteral("%1: %2 (--force registers it all the same)")
                            .arg(name, CommErrorCause(rc, PortDevicePath(port))),
                        ResultCodeName(rc));
        if (!ModelSeriesMatch(FixedText(port.deviceName)))
            return Fail(
                kExitFailed,
                QStringLiteral("%1: the printer is a '%2', not a %3")
                    .arg(name, FixedText(port.deviceName), QString::fromUtf16(kServedModelName)),
                QStringLiteral("wrong-model"));
    }
    if (const int32_t rc = m_binding.Call(&CommLibTable::AddPort, &port); rc != QPC_OK)
        return Fail(kExitFailed, CommErrorCause(rc), ResultCodeName(rc));
    QJsonObject row = PortObject(port);
    row.insert(QStringLiteral("ok"), true);
    if (m_invocation.options.json)
        PrintLine(m_streams.out, QString::fromUtf8(JsonLine(row).trimmed()));
    else
        PrintLine(m_streams.out,
                  QStringLiteral("registered %1 (%2)").arg(name, FixedText(port.deviceName)));
    return kExitOk;
}

int PortCommand::RemovePort()
{
    const QString name = m_invocation.portArguments[0];
    PortInfo port{};
    int32_t rc = PortRecordFor(m_binding.Table(), {PrinterSpec::Kind::Registered, name}, &port);
    if (rc == QPC_OK)
        rc = m_binding.Call(&CommLibTable::RemovePort, &port);
    if (rc == QPC_ERR_NOT_FOUND)
        return Fail(kExitFailed, QStringLiteral("no registered port is named '%1'").arg(name),
                    QStringLiteral("not-found"));
    if (rc != QPC_OK)
        return Fail(kExitFailed, CommErrorCause(rc), ResultCodeName(rc));
    if (m_invocation.options.json)
        PrintLine(m_streams.out, QString::fromUtf8(JsonLine({{QStringLiteral("name"), name},
                                                             {QStringLiteral("ok"), true}})
                                                       .trimmed()));
    else
        PrintLine(m_streams.out, QStringLiteral("removed %1").arg(name));
    return kExitOk;
}

int PortCommand::Run()
{
    if (m_invocation.command == Command::Discover)
        qputenv("QPCOMM_DISCOVERY_MS", QByteArray::number(m_invocation.options.discoverMs));
    if (m_binding.Bind() != QPC_OK)
        return Fail(kExitFailed,
                    QStringLiteral("the communication library could not be loaded: %1")
                        .arg(m_binding.ErrorString()),
                    QStringLiteral("no-library"));
    int status = kExitUsage;
    switch (m_invocation.command) {
    case Command::Ports:
        status = Ports();
        break;
    case Command::Discover:
        status = Discover();
        break;
    case Command::AddPort:
        status = AddPort();
        break;
    case Command::RemovePort:
        status = RemovePort();
        break;
    default:
        break;
    }
    m_binding.Call(&CommLibTable::Terminate);
    return status;
}

} // namespace

int RunPortCommand(const Invocation& invocation, const ReportStreams& streams)
{
    return PortCommand(invocation, streams).Run();
}

} // namespace qp60ctl
