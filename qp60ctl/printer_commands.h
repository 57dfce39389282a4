#pragma once

#include "cli.h"
#include "report.h"

// The commands on printers: info, status, get, set, backup, restore, diff (each printer in
// a worker process), and status --watch (one printer, in this process).
namespace qp60ctl {

int RunPrinterCommand(const Invocation& invocation, const ReportStreams& streams);

// The time limit of one printer's job when --deadline does not give one: enough for the
// answers and, for commands that may pass through the user-setting mode, two restarts.
int DefaultDeadlineMs(Command command, int timeoutMs);

} // namespace qp60ctl
