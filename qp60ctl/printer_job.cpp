#include "printer_job.h"

#include "setting_names.h"

#include "app/fixed_text.h"
#include "app/model_profile.h"
#include "comm/comm_error_text.h"
#include "comm/comm_lib_binding.h"

#include <qpu/settings/backup_file.h>
#include <qpu/settings/printer_settings.h>
#include <qpu/status_texts.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <chrono>
#include <thread>

namespace qp60ctl {

using qpu::settings::kPrinterOk;
using qpu::settings::PrinterLink;

namespace {

constexpr uint8_t kMakerText = 0x42;
constexpr uint8_t kCharacterSetText = 0x45;
constexpr uint32_t kTextUnits = QPU_TEXT_UNITS;

// A failed job: the library result in words, naming the device where there is one.
Failure LibraryFailure(int32_t result, const PortInfo& port)
{
    return {ResultCodeName(result), CommErrorCause(result, PortDevicePath(port))};
}

// A PrinterLink operation's failure as a library result: what the library said last,
// else a garbled answer when bytes came, else no answer.
int32_t LinkResult(const PrinterLink& link, int32_t rc)
{
    if (rc == qpu::settings::kPrinterNotBound)
        return QPC_ERR_NOT_BOUND;
    if (rc == qpu::settings::kPrinterBadArgument)
        return QPC_ERR_INVALID_ARGUMENT;
    if (link.LastLibraryResult() != QPC_OK)
        return link.LastLibraryResult();
    return link.LastAnswer().empty() ? QPC_ERR_TIMEOUT : QPC_ERR_BAD_ANSWER;
}

// A text of the printer, through one of the library's text procedures.
bool ReadText(CommLibBinding& binding, int32_t (*CommLibTable::*entry)(QpuChar16*, uint32_t),
              const PortInfo& port, QString* text, Failure* failure)
{
    QpuChar16 buffer[kTextUnits] = {};
    const int32_t rc = binding.Call(entry, buffer, kTextUnits);
    if (rc != QPC_OK && rc != QPC_ERR_BUFFER_TOO_SMALL) {
        *failure = LibraryFailure(rc, port);
        return false;
    }
    *text = FixedText(buffer);
    return true;
}

// One open printer: the bound library, the open port and its identity.
class PrinterSession
{
public:
    explicit PrinterSession(const JobRequest& request) : m_request(request) {}
    ~PrinterSession()
    {
        if (m_binding.IsBound()) {
            m_binding.Call(&CommLibTable::Close);
            m_binding.Call(&CommLibTable::Terminate);
        }
    }
    PrinterSession(const PrinterSession&) = delete;
    PrinterSession& operator=(const PrinterSession&) = delete;

    // Binds, opens and checks the model; fills `result` with the identity read so far.
    bool Open(QJsonObject* result, Failure* failure);
    bool Run(QJsonObject* result, Failure* failure);

private:
    const CommLibTable* Table() const { return m_binding.Table(); }
    PrinterLink Link() const { return PrinterLink(Table(), uint32_t(m_request.timeoutMs)); }
    bool ReadValues(const std::vector<uint8_t>& custom, const std::vector<uint8_t>& switches,
                    PrinterValues* values, Failure* failure);
    int32_t WaitForStatus();

    bool Info(QJsonObject* result, Failure* failure);
    bool Status(QJsonObject* result);
    bool Get(QJsonObject* result, Failure* failure);
    bool Set(QJsonObject* result, Failure* failure);
    bool Backup(QJsonObject* result, Failure* failure);
    bool Restore(QJsonObject* result, Failure* failure);
    bool Diff(QJsonObject* result, Failure* failure);
    bool ReadBackupFile(const QString& path, qpu::settings::BackupContents* contents,
                        Failure* failure);

    const JobRequest& m_request;
    CommLibBinding m_binding;
    PortInfo m_port{};
    QString m_model;
    QString m_serial;
};

bool PrinterSession::Open(QJsonObject* result, Failure* failure)
{
    const bool opened = OpenPrinter(m_binding, m_request.printer, &m_port, &m_model, failure);
    // The model is known once it was read: when the printer opened or is another model.
    if (opened || failure->code == QLatin1String("wrong-model"))
        result->insert(QStringLiteral("model"), m_model);
    if (!opened)
        return false;
    if (!ReadText(m_binding, &CommLibTable::GetSerialNumber, m_port, &m_serial, failure))
        return false;
    result->insert(QStringLiteral("serial"), m_serial);
    return true;
}

int32_t PrinterSession::WaitForStatus()
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_request.timeoutMs);
    int32_t status = QPC_STATUS_NO_STATUS;
    while (m_binding.Call(&CommLibTable::GetStatus, &status) == QPC_OK &&
           status == QPC_STATUS_NO_STATUS && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return status;
}

bool PrinterSession::Status(QJsonObject* result)
{
    const int32_t status = WaitForStatus();
    result->insert(QStringLiteral("status"),
                   QJsonObject{{QStringLiteral("code"), status},
                               {QStringLiteral("text"), StatusText(status)}});
    return true;
}

bool PrinterSession::Info(QJsonObject* result, Failure* failure)
{
    QString firmware;
    if (!ReadText(m_binding, &CommLibTable::GetFirmVersion, m_port, &firmware, failure))
        return false;
    result->insert(QStringLiteral("firmware"), firmware);
    PrinterLink link = Link();
    for (const auto& [id, key] :
         {std::pair{kMakerText, "maker"}, std::pair{kCharacterSetText, "charset"}}) {
        std::string text;
        const int32_t rc = link.ReadPrinterText(id, &text);
        if (rc != kPrinterOk) {
            *failure = LibraryFailure(LinkResult(link, rc), m_port);
            return false;
        }
        result->insert(QLatin1String(key), QString::fromLatin1(text));
    }
    return Status(result);
}

bool PrinterSession::ReadValues(const std::vector<uint8_t>& custom,
                                const std::vector<uint8_t>& switches, PrinterValues* values,
                                Failure* failure)
{
    PrinterLink link = Link();
    const int32_t rc = qpu::settings::ReadSettings(link, custom, switches, &values->customValues,
                                                   &values->switches);
    if (rc != kPrinterOk) {
        *failure = LibraryFailure(LinkResult(link, rc), m_port);
        return false;
    }
    return true;
}

bool PrinterSession::Get(QJsonObject* result, Failure* failure)
{
    QList<SettingName> names;
    for (const QString& text : m_request.names)
        names.append(*ParseSettingName(text));
    if (names.isEmpty())
        names = DefaultSettingNames();
    std::vector<uint8_t> custom;
    std::vector<uint8_t> switches;
    SourcesOf(names, &custom, &switches);
    PrinterValues values;
    if (!ReadValues(custom, switches, &values, failure))
        return false;
    QJsonObject shown;
    for (const SettingName& name : names)
        shown.insert(name.Text(), ValueOf(name, values));
    result->insert(QStringLiteral("values"), shown);
    return true;
}

bool PrinterSession::Set(QJsonObject* result, Failure* failure)
{
    QList<Assignment> assignments;
    QString error;
    if (!ParseAssignments(m_request.assignments, &assignments, &error)) {
        *failure = {QStringLiteral("usage"), error};
        return false;
    }
    QList<SettingName> names;
    for (const Assignment& a : assignments)
        names.append(a.name);
    std::vector<uint8_t> custom;
    std::vector<uint8_t> switches;
    SourcesOf(names, &custom, &switches);
    PrinterValues before;
    if (!ReadValues(custom, switches, &before, failure))
        return false;
    const qpu::settings::SettingChanges changes = ChangesFor(assignments, before);
    PrinterValues after = before;
    if (!changes.Empty()) {
        PrinterLink link = Link();
        const int32_t rc = qpu::settings::WriteSettings(link, changes);
        if (rc != kPrinterOk) {
            *failure = LibraryFailure(LinkResult(link, rc), m_port);
            return false;
        }
        if (!ReadValues(custom, switches, &after, failure))
            return false;
    }
    QJsonObject shown;
    QStringList notKept;
    for (const Assignment& a : assignments) {
        const QJsonValue value = ValueOf(a.name, after);
        shown.insert(a.name.Text(), value);
        const QString text = value.isString() ? value.toString() : QString::number(value.toInt());
        if (text != a.value)
            notKept.append(a.name.Text());
    }
    result->insert(QStringLiteral("values"), shown);
    result->insert(QStringLiteral("changed"), !changes.Empty());
    if (!notKept.isEmpty()) {
        *failure = {QStringLiteral("not-kept"),
                    QStringLiteral("The printer did not keep %1.").arg(notKept.join(u", "))};
        return false;
    }
    return true;
}

bool PrinterSession::Backup(QJsonObject* result, Failure* failure)
{
    const std::u16string path = m_request.path.toStdU16String();
    const int32_t rc =
        m_binding.Call(&CommLibTable::Backup, reinterpret_cast<const QpuChar16*>(path.c_str()));
    if (rc != QPC_OK) {
        *failure = LibraryFailure(rc, m_port);
        return false;
    }
    result->insert(QStringLiteral("file"), m_request.path);
    return true;
}

bool PrinterSession::ReadBackupFile(const QString& path, qpu::settings::BackupContents* contents,
                                    Failure* failure)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *failure = {QStringLiteral("no-backup"),
                    QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString())};
        return false;
    }
    std::string error;
    if (!qpu::settings::ParseBackup(file.readAll().toStdString(), contents, &error)) {
        *failure = {QStringLiteral("bad-backup"), QStringLiteral("%1 is not a usable backup: %2")
                                                      .arg(path, QString::fromStdString(error))};
        return false;
    }
    const QString model = QString::fromStdString(contents->model);
    if (!ModelSeriesMatch(model)) {
        *failure = {QStringLiteral("wrong-model"),
                    QStringLiteral("%1 is a backup of a '%2', not of a %3.")
                        .arg(path, model, QString::fromUtf16(kServedModelName))};
        return false;
    }
    return true;
}

bool PrinterSession::Restore(QJsonObject* result, Failure* failure)
{
    QString path = m_request.path;
    if (m_request.pathIsFolder) {
        const QString name = BackupFileName(m_serial);
        if (name.isEmpty()) {
            *failure = {QStringLiteral("no-backup"),
                        QStringLiteral("The printer reports no serial number to find its backup "
                                       "by.")};
            return false;
        }
        path = QDir(path).filePath(name);
    }
    qpu::settings::BackupContents contents;
    if (!ReadBackupFile(path, &contents, failure))
        return false;
    const std::u16string wide = path.toStdU16String();
    const int32_t rc =
        m_binding.Call(&CommLibTable::Restore, reinterpret_cast<const QpuChar16*>(wide.c_str()));
    if (rc != QPC_OK) {
        *failure = LibraryFailure(rc, m_port);
        return false;
    }
    result->insert(QStringLiteral("file"), path);
    return true;
}

bool PrinterSession::Diff(QJsonObject* result, Failure* failure)
{
    qpu::settings::BackupContents contents;
    if (!ReadBackupFile(m_request.path, &contents, failure))
        return false;
    std::vector<uint8_t> custom;
    std::vector<uint8_t> switches;
    for (const auto& entry : contents.customValues)
        custom.push_back(static_cast<uint8_t>(entry.first));
    for (const auto& entry : contents.memorySwitches)
        switches.push_back(static_cast<uint8_t>(entry.first));
    PrinterValues values;
    if (!ReadValues(custom, switches, &values, failure))
        return false;
    QJsonArray differences;
    for (const auto& [number, value] : contents.customValues) {
        const uint16_t held = values.customValues.at(static_cast<uint8_t>(number));
        if (held != value)
            differences.append(
                QJsonObject{{QStringLiteral("name"), QStringLiteral("custom%1").arg(number)},
                            {QStringLiteral("printer"), held},
                            {QStringLiteral("file"), value}});
    }
    for (const auto& [number, bits] : contents.memorySwitches) {
        const uint8_t held = values.switches.at(static_cast<uint8_t>(number));
        if (held != bits)
            differences.append(
                QJsonObject{{QStringLiteral("name"), QStringLiteral("memsw%1").arg(number)},
                            {QStringLiteral("printer"),
                             QString::fromStdString(qpu::settings::SwitchBitText(held))},
                            {QStringLiteral("file"),
                             QString::fromStdString(qpu::settings::SwitchBitText(bits))}});
    }
    result->insert(QStringLiteral("file"), m_request.path);
    result->insert(QStringLiteral("identical"), differences.isEmpty());
    result->insert(QStringLiteral("differences"), differences);
    return true;
}

bool PrinterSession::Run(QJsonObject* result, Failure* failure)
{
    switch (m_request.command) {
    case Command::Info:
        return Info(result, failure);
    case Command::Status:
        return Status(result);
    case Command::Get:
        return Get(result, failure);
    case Command::Set:
        return Set(result, failure);
    case Command::Backup:
        return Backup(result, failure);
    case Command::Restore:
        return Restore(result, failure);
    case Command::Diff:
        return Diff(result, failure);
    default:
        *failure = {QStringLiteral("usage"), QStringLiteral("not a printer command")};
        return false;
    }
}

// The commands a worker runs on one printer.
bool IsPrinterCommand(Command command)
{
    switch (command) {
    case Command::Info:
    case Command::Status:
    case Command::Get:
    case Command::Set:
    case Command::Backup:
    case Command::Restore:
    case Command::Diff:
        return true;
    default:
        return false;
    }
}

QStringList StringList(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list.append(item.toString());
    return list;
}

} // namespace

QJsonObject JobRequest::ToJson() const
{
    return {
        {QStringLiteral("command"), CommandName(command)},
        {QStringLiteral("kind"), int(printer.kind)},
        {QStringLiteral("printer"), printer.text},
        {QStringLiteral("names"), QJsonArray::fromStringList(names)},
        {QStringLiteral("assignments"), QJsonArray::fromStringList(assignments)},
        {QStringLiteral("path"), path},
        {QStringLiteral("pathIsFolder"), pathIsFolder},
        {QStringLiteral("timeoutMs"), timeoutMs},
    };
}

bool JobRequest::FromJson(const QJsonObject& object, JobRequest* request)
{
    JobRequest read;
    const int kind = object.value(QStringLiteral("kind")).toInt(-1);
    const std::optional<Command> command =
        CommandNamed(object.value(QStringLiteral("command")).toString());
    if (!command || !IsPrinterCommand(*command) || kind < int(PrinterSpec::Kind::Registered) ||
        kind > int(PrinterSpec::Kind::Device))
        return false;
    read.command = *command;
    read.printer = {PrinterSpec::Kind(kind), object.value(QStringLiteral("printer")).toString()};
    read.names = StringList(object.value(QStringLiteral("names")));
    read.assignments = StringList(object.value(QStringLiteral("assignments")));
    read.path = object.value(QStringLiteral("path")).toString();
    read.pathIsFolder = object.value(QStringLiteral("pathIsFolder")).toBool();
    read.timeoutMs = object.value(QStringLiteral("timeoutMs")).toInt(2000);
    *request = read;
    return true;
}

QString BackupFileName(const QString& serialNumber)
{
    if (serialNumber.isEmpty())
        return {};
    QString name;
    for (const QChar c : serialNumber) {
        const bool safe = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                          (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' || c == u'-';
        name += safe ? c : QChar(u'_');
    }
    // "." and ".." must not become a hidden name or a step up.
    if (name.startsWith(QLatin1Char('.')))
        name[0] = u'_';
    return name + QStringLiteral(".bak");
}

QJsonObject FailureObject(const QString& code, const QString& text)
{
    return {{QStringLiteral("ok"), false},
            {QStringLiteral("error"),
             QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("text"), text}}}};
}

bool OpenPrinter(CommLibBinding& binding, const PrinterSpec& printer, PortInfo* port,
                 QString* model, Failure* failure)
{
    if (binding.Bind() != QPC_OK) {
        *failure = {QStringLiteral("no-library"),
                    QStringLiteral("The communication library could not be loaded: %1")
                        .arg(binding.ErrorString())};
        return false;
    }
    int32_t rc = PortRecordFor(binding.Table(), printer, port);
    if (rc == QPC_ERR_NOT_FOUND && printer.kind == PrinterSpec::Kind::Registered) {
        *failure = {QStringLiteral("not-found"),
                    QStringLiteral("No registered port is named '%1'.").arg(printer.text)};
        return false;
    }
    if (rc == QPC_OK)
        rc = binding.Call(&CommLibTable::SetPort, port);
    if (rc == QPC_OK)
        rc = binding.Call(&CommLibTable::Open, int32_t{1});
    if (rc != QPC_OK) {
        *failure = LibraryFailure(rc, *port);
        return false;
    }
    if (!ReadText(binding, &CommLibTable::GetDeviceName, *port, model, failure))
        return false;
    if (!ModelSeriesMatch(*model)) {
        *failure = {QStringLiteral("wrong-model"),
                    QStringLiteral("The printer is a '%1', not a %2.")
                        .arg(*model, QString::fromUtf16(kServedModelName))};
        return false;
    }
    return true;
}

QString StatusText(int32_t code)
{
    if (code >= 0 && code < QPU_STATUS_CODE_COUNT)
        return QString::fromLatin1(kQpuStatusTexts[code].english);
    if (code == QPC_STATUS_LASTING_ENDED)
        return QStringLiteral("Lasting condition ended");
    return QStringLiteral("Unknown");
}

QString ResultCodeName(int32_t result)
{
    switch (result) {
    case QPC_ERR_TIMEOUT:
        return QStringLiteral("timeout");
    case QPC_ERR_PORT_IN_USE:
        return QStringLiteral("port-in-use");
    case QPC_ERR_ACCESS_DENIED:
        return QStringLiteral("access-denied");
    case QPC_ERR_NOT_FOUND:
        return QStringLiteral("not-found");
    case QPC_ERR_BAD_ANSWER:
        return QStringLiteral("bad-answer");
    case QPC_ERR_IO:
        return QStringLiteral("io");
    case QPC_ERR_CONNECTION_LOST:
        return QStringLiteral("connection-lost");
    case QPC_ERR_FILE:
        return QStringLiteral("file");
    case QPC_ERR_NOT_SUPPORTED:
        return QStringLiteral("not-supported");
    case QPC_ERR_INVALID_ARGUMENT:
        return QStringLiteral("invalid-port");
    default:
        return QStringLiteral("library-error");
    }
}

QJsonObject RunJob(const JobRequest& request)
{
    PrinterSession session(request);
    QJsonObject result;
    Failure failure;
    const bool done = session.Open(&result, &failure) && session.Run(&result, &failure);
    if (!done) {
        const QJsonObject failed = FailureObject(failure.code, failure.text);
        for (auto it = failed.begin(); it != failed.end(); ++it)
            result.insert(it.key(), it.value());
        return result;
    }
    result.insert(QStringLiteral("ok"), true);
    return result;
}

} // namespace qp60ctl
