#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command line of qp60ctl: a command, the printers it works on, its own arguments,
// and options, which may stand anywhere after the command.
namespace qp60ctl {

// Exit statuses: every printer succeeded, some printer failed, bad usage.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

enum class Command
{
    Help,
    Version,
    Ports,
    Discover,
    AddPort,
    RemovePort,
    Info,
    Status,
    Get,
    Set,
    Backup,
    Restore,
    Diff,
};

struct Options
{
    bool json = false;
    bool all = false;
    bool watch = false;
    bool force = false;
    int jobs = 32;         // mostly waiting for printers, so more than the cores
    int timeoutMs = 2000;  // each answer of a printer
    int deadlineMs = 0;    // the whole job of one printer; 0: derived from the command
    int discoverMs = 1500; // discovery window
    int baudRate = 0;      // add-port: serial parameters (0: the library's default)
    int dataBits = 8;
    QString parity = QStringLiteral("none");
};

struct Invocation
{
    Command command = Command::Help;
    QString helpTopic;         // "qp60ctl help set": the command to describe
    QStringList printers;      // as given
    QStringList names;         // get: setting names
    QStringList assignments;   // set: NAME=VALUE
    QString path;              // backup DEST, restore SOURCE, diff FILE
    QStringList portArguments; // add-port KIND ADDRESS, remove-port NAME
    Options options;
};

struct UsageError
{
    QString text;
};

// The word that names a command on the command line ("add-port"), and back.
QString CommandName(Command command);
std::optional<Command> CommandNamed(const QString& word);

// Parses argv without the program name. A bad command line gives the error to print,
// which exits with status 2.
std::optional<Invocation> ParseCommandLine(const QStringList& arguments, UsageError* error);

// The text of --help: commands, options, setting names, exit codes.
QString HelpText();
// "qp60ctl VERSION".
QString VersionText();

} // namespace qp60ctl
