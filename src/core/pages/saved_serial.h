#pragma once

#include <QString>

class PrinterRegistry;

// The serial number in the saved copy of a registered printer's settings (the identity
// block 0x10001 of its settings file); empty when the printer is not registered, has no
// saved copy, or the copy names none. Reads the file; a damaged file gives empty.
QString SavedSerialNumber(const PrinterRegistry* registry, const QString& deviceName,
                          const QString& portName);
