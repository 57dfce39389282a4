// Printer commands for plug-ins: the shared settings library's PrinterLink, under the
// plug-in SDK's namespace. Call it from a page job's worker thread; every call blocks.
#pragma once

#include <qpu/settings/printer_link.h>

namespace qpu::sdk {
using namespace qpu::settings;
} // namespace qpu::sdk
