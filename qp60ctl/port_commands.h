#pragma once

#include "cli.h"
#include "report.h"

// The commands about ports rather than printers: ports, discover, add-port, remove-port.
// They run in this process and answer the exit status.
namespace qp60ctl {

int RunPortCommand(const Invocation& invocation, const ReportStreams& streams);

} // namespace qp60ctl
