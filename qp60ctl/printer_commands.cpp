#include "printer_commands.h"

#include "job_pool.h"
#include "printer_job.h"
#include "printer_spec.h"
#include "setting_names.h"

#include "comm/comm_error_text.h"
#include "comm/comm_lib_binding.h"

#include <qpu/settings/printer_settings.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <signal.h>
#include <unistd.h>

#include <mutex>

namespace qp60ctl {

namespace {

int Usage(const ReportStreams& streams, const QString& text)
{
    PrintLine(streams.err, QStringLiteral("qp60ctl: ") + text);
    return kExitUsage;
}

// The printers named on the command line, --all adding every registered port.
bool ResolvePrinters(const Invocation& invocation, QList<PrinterSpec>* printers, QString* error)
{
    CommLibBinding binding;
    QList<PortInfo> registered;
    bool needRegistered = invocation.options.all;
    const auto named = [&](const PrinterSpec& spec) {
        return std::any_of(printers->begin(), printers->end(), [&](const PrinterSpec& p) {
            return p.kind == spec.kind && p.text == spec.text;
        });
    };
    // A printer named twice is asked once: a second job would find its port in use.
    for (const QString& word : invocation.printers) {
        PrinterSpec spec;
        if (!ParsePrinterSpec(word, &spec, error))
            return false;
        needRegistered = needRegistered || spec.kind == PrinterSpec::Kind::Registered;
        if (!named(spec))
            printers->append(spec);
    }
    if (!needRegistered)
        return true;
    int32_t rc = binding.Bind();
    if (rc == QPC_OK)
        rc = RegisteredPorts(binding.Table(), &registered);
    binding.Call(&CommLibTable::Terminate);
    if (rc != QPC_OK) {
        *error = QStringLiteral("the registered ports cannot be read: %1").arg(CommErrorCause(rc));
        return false;
    }
    QStringList names;
    for (const PortInfo& port : registered)
        names.append(PortName(port));
    for (const PrinterSpec& spec : *printers) {
        if (spec.kind == PrinterSpec::Kind::Registered && !names.contains(spec.text)) {
            *error = QStringLiteral("no registered port is named '%1' (qp60ctl ports lists them)")
                         .arg(spec.text);
            return false;
        }
    }
    if (invocation.options.all) {
        for (const QString& name : names) {
            const PrinterSpec spec{PrinterSpec::Kind::Registered, name};
            if (!named(spec))
                printers->append(spec);
        }
    }
    return true;
}

// Checks the command's own arguments before any printer is asked.
bool CheckArguments(const Invocation& invocation, int printerCount, QString* error)
{
    if (invocation.command == Command::Get) {
        for (const QString& name : invocation.names)
            if (!IsSettingName(name)) {
                *error = QStringLiteral("unknown setting '%1'").arg(name);
                return false;
            }
    }
    if (invocation.command == Command::Set) {
        QList<Assignment> assignments;
        if (!ParseAssignments(invocation.assignments, &assignments, error))
            return false;
    }
    const QFileInfo path(invocation.path);
    switch (invocation.command) {
    case Command::Backup:
        if (printerCount > 1 && path.exists() && !path.isDir()) {
            *error =
                QStringLiteral("%1 is a file; the backups of several printers go into a folder")
                    .arg(invocation.path);
            return false;
        }
        return true;
    case Command::Restore:
        if (printerCount > 1 && !path.isDir()) {
            *error = QStringLiteral("%1 is not a folder; several printers are restored from a "
                                    "folder of SERIAL.bak files")
                         .arg(invocation.path);
            return false;
        }
        if (!path.exists()) {
            *error = QStringLiteral("%1 does not exist").arg(invocation.path);
            return false;
        }
        return true;
    case Command::Diff:
        if (!path.isFile()) {
            *error = QStringLiteral("%1 is not a file").arg(invocation.path);
            return false;
        }
        return true;
    default:
        return true;
    }
}

// Backups of several printers: each worker writes a temporary file in the folder, which
// is then named after the printer's serial number. Two printers that report the same
// serial number would overwrite each other's backup; the second is refused.
class BackupNaming
{
public:
    explicit BackupNaming(const QString& folder) : m_folder(folder) {}

    QString TemporaryPath(int index) const
    {
        return QDir(m_folder).filePath(
            QStringLiteral(".qp60ctl-%1-%2.tmp").arg(::getpid()).arg(index));
    }

    void Name(int index, QJsonObject* result)
    {
        const QString temporary = TemporaryPath(index);
        if (!result->value(QStringLiteral("ok")).toBool()) {
            QFile::remove(temporary);
            return;
        }
        const QString serial = result->value(QStringLiteral("serial")).toString();
        const QString name = BackupFileName(serial);
        QString failure;
        if (name.isEmpty())
            failure = QStringLiteral("The printer reports no serial number to name its backup by.");
        else if (m_names.contains(name))
            failure = QStringLiteral("Another printer of this run reports the same serial number "
                                     "'%1'; its backup was kept, this one dropped.")
                          .arg(serial);
        const QString final = QDir(m_folder).filePath(name);
        if (failure.isEmpty() && ::rename(QFile::encodeName(temporary).constData(),
                                          QFile::encodeName(final).constData()) != 0)
            failure = QStringLiteral("%1 cannot be written: %2")
                          .arg(final, QString::fromLocal8Bit(std::strerror(errno)));
        if (!failure.isEmpty()) {
            QFile::remove(temporary);
            const QJsonObject failed = FailureObject(QStringLiteral("file"), failure);
            for (auto it = failed.begin(); it != failed.end(); ++it)
                result->insert(it.key(), it.value());
            result->remove(QStringLiteral("file"));
            return;
        }
        m_names.insert(name);
        result->insert(QStringLiteral("file"), final);
    }

private:
    QString m_folder;
    QSet<QString> m_names;
};

// status --watch: one line per status change until SIGINT or SIGTERM.
class StatusWatch
{
public:
    StatusWatch(const Invocation& invocation, const ReportStreams& streams, PrinterSpec printer)
        : m_invocation(invocation), m_streams(streams), m_printer(std::move(printer))
    {}

    int Run()
    {
        // Block the ending signals before the library starts its threads, so that they
        // reach sigwait below.
        sigset_t endings;
        sigemptyset(&endings);
        sigaddset(&endings, SIGINT);
        sigaddset(&endings, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &endings, nullptr);
        PortInfo port{};
        QString model;
        if (Failure failure; !OpenPrinter(m_binding, m_printer, &port, &model, &failure)) {
            Print(FailureObject(QStringLiteral("failed"), failure.text));
            PrintLine(m_streams.err,
                      QStringLiteral("qp60ctl: %1: %2").arg(m_printer.Label(), failure.text));
            return kExitFailed;
        }
        m_binding.Call(&CommLibTable::RegisterStatusProc, &StatusWatch::OnStatus,
                       static_cast<void*>(this));
        int signal = 0;
        sigwait(&endings, &signal);
        m_binding.Call(&CommLibTable::UnregisterStatusProc);
        m_binding.Call(&CommLibTable::Close);
        m_binding.Call(&CommLibTable::Terminate);
        return kExitOk;
    }

private:
    static int32_t OnStatus(int32_t code, void* context)
    {
        auto* self = static_cast<StatusWatch*>(context);
        self->Print(
            {{QStringLiteral("ok"), true},
             {QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
             {QStringLiteral("status"), QJsonObject{{QStringLiteral("code"), code},
                                                    {QStringLiteral("text"), StatusText(code)}}}});
        return kExitOk;
    }

    void Print(QJsonObject object)
    {
        std::lock_guard lock(m_mutex);
        object.insert(QStringLiteral("printer"), m_printer.Label());
        if (m_invocation.options.json) {
            PrintLine(m_streams.out, QString::fromUtf8(JsonLine(object).trimmed()));
            return;
        }
        if (!object.value(QStringLiteral("ok")).toBool())
            return;
        const QJsonObject status = object.value(QStringLiteral("status")).toObject();
        PrintLine(m_streams.out, QStringLiteral("%1  %2  %3")
                                     .arg(object.value(QStringLiteral("time")).toString())
                                     .arg(status.value(QStringLiteral("code")).toInt(), 3)
                                     .arg(status.value(QStringLiteral("text")).toString()));
    }

    const Invocation& m_invocation;
    ReportStreams m_streams;
    PrinterSpec m_printer;
    CommLibBinding m_binding;
    std::mutex m_mutex;
};

} // namespace

int DefaultDeadlineMs(Command command, int timeoutMs)
{
    const int answers = 8 * timeoutMs + 3000;
    const bool mayRestart = command != Command::Info && command != Command::Status;
    return answers + (mayRestart ? 2 * int(qpu::settings::kRestartTimeoutMs) + 5000 : 0);
}

int RunPrinterCommand(const Invocation& invocation, const ReportStreams& streams)
{
    QList<PrinterSpec> printers;
    QString error;
    if (!ResolvePrinters(invocation, &printers, &error))
        return Usage(streams, error);
    if (printers.isEmpty())
        return Usage(streams, QStringLiteral("no printer to work on (no port is registered)"));
    if (!CheckArguments(invocation, int(printers.size()), &error))
        return Usage(streams, error);
    if (invocation.command == Command::Status && invocation.options.watch)
        return StatusWatch(invocation, streams, printers.first()).Run();

    const Options& options = invocation.options;
    const bool backupToFolder = invocation.command == Command::Backup &&
                                (printers.size() > 1 || QFileInfo(invocation.path).isDir());
    if (backupToFolder && !QDir().mkpath(invocation.path))
        return Usage(streams, QStringLiteral("the folder %1 cannot be made").arg(invocation.path));
    BackupNaming naming(invocation.path);

    QList<PoolJob> jobs;
    QStringList labels;
    for (qsizetype i = 0; i < printers.size(); ++i) {
        PoolJob job;
        job.request.command = invocation.command;
        job.request.printer = printers[i];
        job.request.names = invocation.names;
        job.request.assignments = invocation.assignments;
        job.request.path = backupToFolder ? naming.TemporaryPath(int(i)) : invocation.path;
        job.request.pathIsFolder =
            invocation.command == Command::Restore && QFileInfo(invocation.path).isDir();
        job.request.timeoutMs = options.timeoutMs;
        job.deadlineMs = options.deadlineMs > 0
                             ? options.deadlineMs
                             : DefaultDeadlineMs(invocation.command, options.timeoutMs);
        jobs.append(job);
        labels.append(printers[i].Label());
    }
    Report report(invocation.command, options.json, labels, streams);
    JobPool pool(options.jobs, [&](int index, const QJsonObject& result) {
        QJsonObject named = result;
        if (backupToFolder)
            naming.Name(index, &named);
        report.Finished(index, named);
    });
    pool.Run(jobs);
    return report.Finish();
}

} // namespace qp60ctl
