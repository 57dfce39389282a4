#include "serial_transport.h"

#include "port_lock.h"

#include <qpu/comm_lib.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

namespace qpcomm {

namespace {

constexpr int kCloseDrainMs = 200;

speed_t speedOf(int baudRate)
{
    switch (baudRate) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

int32_t openLocked(const std::string& path, posix::UniqueFd* fd)
{
    posix::UniqueFd device(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!device.valid()) {
        return resultFromErrno(errno);
    }
    if (const int32_t locked = PortLock::lockDescriptor(device.get()); locked != QPC_OK) {
        return locked;
    }
    *fd = std::move(device);
    return QPC_OK;
}

// The termios character size for 5 to 8 data bits.
tcflag_t characterSize(int dataBits)
{
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

} // namespace

void applySerialSettings(const SerialSettings& settings, termios* tio)
{
    ::cfmakeraw(tio);
    tio->c_cflag |= CLOCAL | CREAD;
    tio->c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio->c_cflag |= characterSize(settings.dataBits);
    if (settings.parity != QPC_PARITY_NONE) {
        tio->c_cflag |= PARENB;
        if (settings.parity == QPC_PARITY_ODD) {
            tio->c_cflag |= PARODD;
        }
    }
    if (settings.rtsCts) {
        tio->c_cflag |= CRTSCTS;
    }
    tio->c_iflag &= ~(IXON | IXOFF | IXANY);
    tio->c_cc[VMIN] = 0;
    tio->c_cc[VTIME] = 0;
    const speed_t speed = speedOf(settings.baudRate);
    ::cfsetispeed(tio, speed);
    ::cfsetospeed(tio, speed);
}

bool serialSettingsFromCodes(int32_t present, int32_t dataBitsCode, int32_t baudRateCode,
                             int32_t parityCode, SerialSettings* settings)
{
    *settings = SerialSettings{};
    if (present == 0) {
        return true;
    }
    if (speedOf(baudRateCode) == B0 || (dataBitsCode < 5 || dataBitsCode > 8) ||
        parityCode < QPC_PARITY_NONE || parityCode > QPC_PARITY_EVEN) {
        return false;
    }
    settings->baudRate = baudRateCode;
    settings->dataBits = dataBitsCode;
    settings->parity = parityCode;
    return true;
}

SerialTransport::SerialTransport(std::string path, SerialSettings settings)
    : m_path(std::move(path)), m_settings(settings)
{}

int32_t SerialTransport::openDescriptor(int /*timeoutMs*/, posix::UniqueFd* fd)
{
    posix::UniqueFd device;
    if (const int32_t result = openLocked(m_path, &device); result != QPC_OK) {
        return result;
    }
    termios tio{};
    if (::tcgetattr(device.get(), &tio) != 0) {
        return errno == ENOTTY ? QPC_ERR_INVALID_ARGUMENT : resultFromErrno(errno);
    }
    applySerialSettings(m_settings, &tio);
    if (::tcsetattr(device.get(), TCSANOW, &tio) != 0) {
        return resultFromErrno(errno);
    }
    ::tcflush(device.get(), TCIOFLUSH);
    *fd = std::move(device);
    return QPC_OK;
}

void SerialTransport::purge()
{
    if (isOpen()) {
        ::tcflush(fd(), TCIFLUSH);
    }
}

void SerialTransport::close()
{
    if (isOpen()) {
        // Give the last bytes a moment to leave; output held back by flow control beyond
        // that is dropped, since close() would otherwise wait for it to drain.
        bool drained = false;
        for (int waitedMs = 0; waitedMs < kCloseDrainMs; waitedMs += 2) {
            int pending = 0;
            if (::ioctl(fd(), TIOCOUTQ, &pending) != 0 || pending == 0) {
                drained = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // Output that has left is not flushed: on a pseudo-terminal that would also drop
        // what the other end has not read yet (the last request, sent just before).
        ::tcflush(fd(), drained ? TCIFLUSH : TCIOFLUSH);
    }
    FdTransport::close();
}

int32_t DeviceTransport::openDescriptor(int /*timeoutMs*/, posix::UniqueFd* fd)
{
    return openLocked(m_path, fd);
}

} // namespace qpcomm
