// qp60ctl: identity, status and settings of QP-R60 printers from a shell.
#include "cli.h"
#include "job_pool.h"
#include "port_commands.h"
#include "printer_commands.h"
#include "report.h"

#include <QStringList>

#include <unistd.h>

#include <cstdio>

using namespace qp60ctl;

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (arguments.size() == 2 && arguments[0] == QLatin1String("--worker"))
        return RunWorker(arguments[1]);

    ReportStreams streams;
    streams.outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    streams.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    UsageError error;
    const auto invocation = ParseCommandLine(arguments, &error);
    if (!invocation) {
        std::fprintf(stderr, "qp60ctl: %s\nTry 'qp60ctl --help'.\n", qPrintable(error.text));
        return kExitUsage;
    }
    switch (invocation->command) {
    case Command::Help:
        std::fputs(qPrintable(HelpText()), stdout);
        return kExitOk;
    case Command::Version:
        std::printf("%s\n", qPrintable(VersionText()));
        return kExitOk;
    case Command::Ports:
    case Command::Discover:
    case Command::AddPort:
    case Command::RemovePort:
        return RunPortCommand(*invocation, streams);
    default:
        return RunPrinterCommand(*invocation, streams);
    }
}
