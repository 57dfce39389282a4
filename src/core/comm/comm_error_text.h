#pragma once

#include <qpu/port_info.h>

#include <QString>

#include <cstdint>

// The cause of a communication library result in words, in English: the second line of an
// error message, and what the command-line companion reports per printer. devicePath (may
// be empty) is the port's device node; access denied then names the group that owns it,
// which the user must join.
QString CommErrorCause(int32_t result, const QString& devicePath = {});

// The device node of a registered port: a serial, Bluetooth or parallel port by its name
// under the device folder ($QPCOMM_DEV_DIR, default /dev), a USB printer ("USB-001" or
// "001") as usb/lpN; a driver port by its path. Empty for an Ethernet port.
QString PortDevicePath(const PortInfo& port);

// The group that owns a file, empty when it cannot be found out.
QString OwningGroup(const QString& path);
