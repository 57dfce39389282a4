#pragma once

#include "fd_transport.h"

#include <string>

#include <termios.h>

namespace qpcomm {

// Line settings of a serial or Bluetooth serial port.
struct SerialSettings
{
    int baudRate = 9600;
    int dataBits = 8;
    int parity = 0; // QPC_PARITY_*
    bool rtsCts = false;
};

// Validates the PortInfo codes; false for a code outside the documented lists.
bool serialSettingsFromCodes(int32_t present, int32_t dataBitsCode, int32_t baudRateCode,
                             int32_t parityCode, SerialSettings* settings);

// Puts tio into raw mode with the line settings: speed, data bits, parity, one stop bit,
// RTS/CTS only when asked for, no software flow control, non-blocking reads.
void applySerialSettings(const SerialSettings& settings, termios* tio);

// A tty (serial line, USB serial adapter, rfcomm, pseudo-terminal) in raw mode.
class SerialTransport final : public FdTransport
{
public:
    SerialTransport(std::string path, SerialSettings settings);

    void purge() override;
    void close() override;
    std::string describe() const override { return m_path; }

protected:
    int32_t openDescriptor(int timeoutMs, posix::UniqueFd* fd) override;

private:
    std::string m_path;
    SerialSettings m_settings;
};

// A printer-class device node: USB (/dev/usb/lp*) or parallel (/dev/lp*).
class DeviceTransport final : public FdTransport
{
public:
    explicit DeviceTransport(std::string path) : m_path(std::move(path)) {}

    std::string describe() const override { return m_path; }

protected:
    int32_t openDescriptor(int timeoutMs, posix::UniqueFd* fd) override;

private:
    std::string m_path;
};

} // namespace qpcomm
