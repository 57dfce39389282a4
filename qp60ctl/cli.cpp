#include "cli.h"

#include "setting_names.h"

#include <qpu/version.h>

namespace qp60ctl {

namespace {

struct CommandWord
{
    const char* word;
    Command command;
};

constexpr CommandWord kCommandWords[] = {
    {"help", Command::Help},        {"version", Command::Version},
    {"ports", Command::Ports},      {"discover", Command::Discover},
    {"add-port", Command::AddPort}, {"remove-port", Command::RemovePort},
    {"info", Command::Info},        {"status", Command::Status},
    {"get", Command::Get},          {"set", Command::Set},
    {"backup", Command::Backup},    {"restore", Command::Restore},
    {"diff", Command::Diff},
};

// Options that take a value, with the range the value must lie in.
struct ValueOption
{
    const char* name;
    int lowest;
    int highest;
    int Options::*field;
};

constexpr ValueOption kValueOptions[] = {
    {"--jobs", 1, 256, &Options::jobs},
    {"--timeout", 50, 600000, &Options::timeoutMs},
    {"--deadline", 100, 3600000, &Options::deadlineMs},
    {"--baud", 1200, 115200, &Options::baudRate},
    {"--data-bits", 5, 8, &Options::dataBits},
};

bool Fail(UsageError* error, const QString& text)
{
    error->text = text;
    return false;
}

// Takes an option at arguments[*i] (and its value); false with an error for a bad one.
bool TakeOption(const QStringList& arguments, qsizetype* i, Invocation* invocation,
                UsageError* error)
{
    QString name = arguments[*i];
    QString value;
    bool hasValue = false;
    if (const qsizetype equals = name.indexOf(QLatin1Char('=')); equals > 0) {
        value = name.mid(equals + 1);
        name = name.left(equals);
        hasValue = true;
    }
    Options& options = invocation->options;
    const auto takeValue = [&]() -> bool {
        if (hasValue)
            return true;
        if (*i + 1 >= arguments.size())
            return Fail(error, QStringLiteral("option %1 needs a value").arg(name));
        value = arguments[++*i];
        return true;
    };
    const auto flag = [&](bool* field) -> bool {
        if (hasValue)
            return Fail(error, QStringLiteral("option %1 takes no value").arg(name));
        *field = true;
        return true;
    };
    if (name == QLatin1String("--json"))
        return flag(&options.json);
    if (name == QLatin1String("--all"))
        return flag(&options.all);
    if (name == QLatin1String("--watch"))
        return flag(&options.watch);
    if (name == QLatin1String("--force"))
        return flag(&options.force);
    if (name == QLatin1String("--parity")) {
        if (!takeValue())
            return false;
        if (value != QLatin1String("none") && value != QLatin1String("odd") &&
            value != QLatin1String("even"))
            return Fail(error, QStringLiteral("--parity must be none, odd or even"));
        options.parity = value;
        return true;
    }
    for (const ValueOption& option : kValueOptions) {
        if (name != QLatin1String(option.name))
            continue;
        if (!takeValue())
            return false;
        bool isNumber = false;
        const int number = value.toInt(&isNumber);
        if (!isNumber || number < option.lowest || number > option.highest)
            return Fail(error, QStringLiteral("%1 must be a number from %2 to %3, not '%4'")
                                   .arg(name)
                                   .arg(option.lowest)
                                   .arg(option.highest)
                                   .arg(value));
        options.*option.field = number;
        // discover --timeout is the length of the search, not an answer time-out.
        if (option.field == &Options::timeoutMs)
            options.discoverMs = number;
        return true;
    }
    return Fail(error, QStringLiteral("unknown option %1").arg(name));
}

// Sorts the operands of the command into printers and its own arguments.
bool PlaceOperands(const QStringList& operands, Invocation* inv, UsageError* error)
{
    const bool all = inv->options.all;
    const auto needPrinters = [&](qsizetype count) -> bool {
        if (count == 0 && !all)
            return Fail(error, QStringLiteral("name a printer, or give --all"));
        return true;
    };
    switch (inv->command) {
    case Command::Help:
        if (operands.size() > 1)
            return Fail(error, QStringLiteral("help takes one command name"));
        inv->helpTopic = operands.value(0);
        return true;
    case Command::Version:
    case Command::Ports:
    case Command::Discover:
        if (!operands.isEmpty())
            return Fail(error, QStringLiteral("unexpected argument '%1'").arg(operands.first()));
        return true;
    case Command::AddPort:
        if (operands.size() != 2)
            return Fail(error, QStringLiteral("add-port needs a kind (net, com, bt, usb, lpt) and "
                                              "an address or device"));
        inv->portArguments = operands;
        return true;
    case Command::RemovePort:
        if (operands.size() != 1)
            return Fail(error, QStringLiteral("remove-port needs one port name"));
        inv->portArguments = operands;
        return true;
    case Command::Info:
        inv->printers = operands;
        return needPrinters(operands.size());
    case Command::Status:
        inv->printers = operands;
        if (inv->options.watch && (all || operands.size() != 1))
            return Fail(error, QStringLiteral("status --watch follows one printer"));
        return needPrinters(operands.size());
    case Command::Get:
        for (const QString& operand : operands)
            (IsSettingName(operand) ? inv->names : inv->printers).append(operand);
        return needPrinters(inv->printers.size());
    case Command::Set:
        for (const QString& operand : operands)
            (operand.contains(QLatin1Char('=')) ? inv->assignments : inv->printers).append(operand);
        if (inv->assignments.isEmpty())
            return Fail(error, QStringLiteral("set needs at least one NAME=VALUE"));
        return needPrinters(inv->printers.size());
    case Command::Backup:
    case Command::Restore:
    case Command::Diff:
        if (operands.isEmpty())
            return Fail(error, QStringLiteral("the last argument must be a file or folder"));
        inv->path = operands.last();
        inv->printers = operands.mid(0, operands.size() - 1);
        if (inv->command == Command::Diff && (all || inv->printers.size() != 1))
            return Fail(error, QStringLiteral("diff compares one printer with one file"));
        return needPrinters(inv->printers.size());
    }
    return false;
}

} // namespace

QString CommandName(Command command)
{
    for (const CommandWord& entry : kCommandWords)
        if (entry.command == command)
            return QString::fromLatin1(entry.word);
    return {};
}

std::optional<Command> CommandNamed(const QString& word)
{
    for (const CommandWord& entry : kCommandWords)
        if (word == QLatin1String(entry.word))
            return entry.command;
    return std::nullopt;
}

std::optional<Invocation> ParseCommandLine(const QStringList& arguments, UsageError* error)
{
    Invocation invocation;
    bool haveCommand = false;
    bool optionsEnded = false;
    QStringList operands;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            // --help and --version win over everything else.
            if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
                invocation.command = Command::Help;
                invocation.helpTopic.clear();
                return invocation;
            }
            if (argument == QLatin1String("--version")) {
                invocation.command = Command::Version;
                return invocation;
            }
            if (!TakeOption(arguments, &i, &invocation, error))
                return std::nullopt;
            continue;
        }
        if (!haveCommand) {
            const std::optional<Command> named = CommandNamed(argument);
            if (!named) {
                error->text = QStringLiteral("unknown command '%1'").arg(argument);
                return std::nullopt;
            }
            invocation.command = *named;
            haveCommand = true;
            continue;
        }
        operands.append(argument);
    }
    if (!haveCommand) {
        error->text = QStringLiteral("name a command");
        return std::nullopt;
    }
    if (!PlaceOperands(operands, &invocation, error))
        return std::nullopt;
    return invocation;
}

QString VersionText()
{
    return QStringLiteral("qp60ctl " QPU_VERSION_TEXT);
}

QString HelpText()
{
    QString text = QStringLiteral(
        "Usage: qp60ctl COMMAND [PRINTER...] [ARGUMENTS] [OPTIONS]\n"
        "Identity, status and settings of QP-R60 receipt printers from a shell.\n"
        "\n"
        "Printers:\n"
        "  NAME                  a registered port, as 'qp60ctl ports' lists it\n"
        "  net:ADDRESS[:PORT]    a printer on the network (TCP port 9100 by default)\n"
        "  /dev/...              a device: /dev/ttyUSB0, /dev/usb/lp0, /dev/rfcomm0, ...\n"
        "  --all                 every registered port\n"
        "\n"
        "Commands:\n"
        "  ports                         list the registered ports\n"
        "  discover [--timeout MS]       search the network for printers\n"
        "  add-port KIND ADDRESS         register a port: net 192.0.2.10, com ttyUSB0,\n"
        "                                bt rfcomm0, usb 001, lpt lp0 (--baud, --data-bits,\n"
        "                                --parity for serial ports; --force skips the test)\n"
        "  remove-port NAME              forget a registered port\n"
        "  info PRINTER...               model, serial number, firmware, character set,\n"
        "                                status\n"
        "  status PRINTER... [--watch]   status; --watch prints every change of one\n"
        "                                printer until interrupted\n"
        "  get PRINTER... [NAME...]      read settings (default: density, speed, memsw1-8)\n"
        "  set PRINTER... NAME=VALUE...  write the settings that differ; the printer\n"
        "                                restarts; reports changed true or false\n"
        "  backup PRINTER... DEST        save the settings (several printers: DEST is a\n"
        "                                folder with one SERIAL.bak per printer)\n"
        "  restore PRINTER... SOURCE     write saved settings back (a folder for several\n"
        "                                printers; a backup of another model is refused)\n"
        "  diff PRINTER FILE             compare a printer's settings with a backup\n"
        "\n"
        "Settings:\n");
    for (const SettingHelp& help : SettingHelpLines())
        text += QStringLiteral("  %1%2\n").arg(help.name, -22).arg(help.description);
    text += QStringLiteral(
        "\n"
        "Options (before or after the printers):\n"
        "  --json            one JSON object per printer (or port) and line, no decoration\n"
        "  --jobs N          printers worked on at once (default 32)\n"
        "  --timeout MS      time-out of each answer of a printer (default 2000); for\n"
        "                    discover, the length of the search (default 1500)\n"
        "  --deadline MS     time limit of the whole job of one printer\n"
        "  --all             every registered port\n"
        "  --help, --version\n"
        "\n"
        "Exit status: 0 all printers succeeded, 1 some printer failed, 2 bad usage.\n");
    return text;
}

} // namespace qp60ctl
