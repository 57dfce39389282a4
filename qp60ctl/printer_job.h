#pragma once

#include "cli.h"
#include "printer_spec.h"

#include "comm/comm_lib_binding.h"

#include <QJsonObject>
#include <QStringList>

// One command on one printer, as a worker process runs it: the request the main process
// hands over and the result object it gets back (the object --json prints).
namespace qp60ctl {

struct JobRequest
{
    Command command = Command::Info;
    PrinterSpec printer;
    QStringList names;       // get
    QStringList assignments; // set
    // backup: the file, or with pathIsFolder the file to write the backup to before the
    // main process names it by serial number; restore: the file, or the folder holding
    // SERIAL.bak; diff: the file.
    QString path;
    bool pathIsFolder = false;
    int timeoutMs = 2000;

    QJsonObject ToJson() const;
    static bool FromJson(const QJsonObject& object, JobRequest* request);
};

// The name of a printer's backup file in a folder: its serial number, with every character
// outside [A-Za-z0-9._-] replaced by '_', and ".bak"; empty for an empty serial number.
QString BackupFileName(const QString& serialNumber);

// Result codes of a job, in JSON: "ok" true, or false with "error": {"code", "text"}.
QJsonObject FailureObject(const QString& code, const QString& text);
// The code for a communication library result: "timeout", "port-in-use", ...
QString ResultCodeName(int32_t result);

// A failed step: its code for --json ("timeout", "wrong-model", ...) and its text.
struct Failure
{
    QString code;
    QString text;
};

// Binds the library, opens the printer's port and checks that a QP-R60 answers: fills
// port and model (the model also when it is another one).
bool OpenPrinter(CommLibBinding& binding, const PrinterSpec& printer, PortInfo* port,
                 QString* model, Failure* failure);

// A status code in words: the status texts, "Lasting condition ended", else "Unknown".
QString StatusText(int32_t code);

// Binds the communication library, opens the printer's port, checks that a QP-R60 answers
// and runs the command. Never throws; every failure is in the result.
QJsonObject RunJob(const JobRequest& request);

} // namespace qp60ctl
