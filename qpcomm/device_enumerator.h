#pragma once

#include <qpu/port_info.h>

#include <optional>
#include <string>
#include <vector>

namespace qpcomm {

// A port record of the interface `keyword` and the port name, with the two reserved fields
// at -1 as the library hands its port records out.
PortInfo newPortRecord(const char* keyword, const std::string& portName);

// Finds the printer devices present, under $QPCOMM_DEV_DIR (default /dev), and the USB
// identification of USB printers under $QPCOMM_SYS_DIR (default /sys):
// <sys>/class/usbmisc/lpN/device/ieee1284_id and the USB serial number
// <sys>/class/usbmisc/lpN/device/../serial.
//
// Port names: serial and Bluetooth ttys and parallel ports by their device name
// ("ttyUSB0", "rfcomm0", "lp0"); USB printers by the device number plus one, three digits
// ("001" is usb/lp0), which the utility shows as "USB-001".
class DeviceEnumerator
{
public:
    DeviceEnumerator();

    // keyword "COM", "SERIAL" (serial and Bluetooth), "LPT", "USB" or "BT".
    // False for another keyword.
    bool enumerate(const std::string& keyword, std::vector<PortInfo>* ports) const;

    // The device node of a port record, following a USB printer to its current device
    // number by its identification when it has one. Empty when the device is absent.
    std::string devicePath(const std::string& keyword, const std::string& portName,
                           const uint8_t* usbDeviceId) const;

    // The identification of usb/lpN: "SN:<serial>;" when the device has a serial number,
    // else its IEEE-1284 ID. Empty when neither can be read.
    std::string usbIdentification(int deviceNumber) const;
    // MDL field of the device's IEEE-1284 ID.
    std::string usbModel(int deviceNumber) const;

    const std::string& devDir() const { return m_devDir; }

private:
    std::vector<std::string> entries(const std::string& folder,
                                     const std::vector<std::string>& prefixes) const;
    std::string readSys(int deviceNumber, const std::string& relative) const;

    std::string m_devDir;
    std::string m_sysDir;
};

} // namespace qpcomm
