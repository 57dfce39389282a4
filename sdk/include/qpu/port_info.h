/* PortInfo: the 5764-byte port record exchanged with the communication library.
 * It holds no pointers, so its layout is byte-exact on every platform. */
#pragma once

#include "qpu_types.h"

/* Interface kind of a port and its keyword in PortInfo.interfaceKeyword. */
typedef enum PortType {
    PortTypeNone = 0,      /* any other keyword */
    PortTypeSerial = 1,    /* "COM" */
    PortTypeParallel = 2,  /* "LPT" */
    PortTypeUsb = 3,       /* "USB" */
    PortTypeEthernet = 4,  /* "NET" */
    PortTypeBluetooth = 5  /* "BT" */
} PortType;

#define QPU_PORT_KEYWORD_SERIAL "COM"
#define QPU_PORT_KEYWORD_PARALLEL "LPT"
#define QPU_PORT_KEYWORD_USB "USB"
#define QPU_PORT_KEYWORD_ETHERNET "NET"
#define QPU_PORT_KEYWORD_BLUETOOTH "BT"

/* PortInfo.origin of a record synthesised for a driver printer without a library port. */
#define QPU_PORT_ORIGIN_DRIVER_PRINTER 3

typedef struct PortInfo {
    QpuChar16 interfaceKeyword[QPU_TEXT_UNITS]; /* "COM", "LPT", "USB", "NET" or "BT" */
    QpuChar16 portName[QPU_TEXT_UNITS];         /* as enumerated; Ethernet: dotted IPv4 */
    int32_t reserved1;                          /* -1 in records the utility builds */
    int32_t reserved2;                          /* -1 in records the utility builds */
    uint32_t driverPortFlag;                    /* 1: built from a command-line port path */
    /* '/'-separated; its last part is the printer port a driver prints to. A record with
     * driverPortFlag 1 and no interface keyword names its port by this path alone, and the
     * communication library opens, in this order: the registered port whose driver port
     * path equals it, else the first whose last part equals its last part (that port's own
     * settings); for "//a.b.c.d[:port]/..." TCP to that address (port 9100 by default); a
     * device node (absolute, or below the device folder): the registered port on the same
     * device, else a serial line at 9600 baud 8N1 or a USB/parallel printer node. Other
     * devices are never opened (QPC_ERR_NOT_SUPPORTED); nothing by the path gives
     * QPC_ERR_NOT_FOUND. */
    QpuChar16 driverPortPath[QPU_TEXT_UNITS];
    uint8_t usbDeviceId[260];                   /* opaque USB identification */
    uint8_t unused1[260];
    QpuChar16 deviceName[QPU_TEXT_UNITS];       /* model name reported by the printer */
    int32_t serialParamsPresent;                /* 1 in serial records of the add-port dialog */
    int32_t dataBitsCode;                       /* item value of the bit-length list */
    int32_t baudRateCode;                       /* item value of the baud-rate list */
    int32_t parityCode;                         /* item value of the parity list */
    uint8_t unused2[3132];
    int32_t origin;                             /* QPU_PORT_ORIGIN_DRIVER_PRINTER or 0 */
} PortInfo;

QPU_STATIC_ASSERT(sizeof(PortInfo) == 5764, "PortInfo size");
QPU_STATIC_ASSERT(offsetof(PortInfo, interfaceKeyword) == 0, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, portName) == 520, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, reserved1) == 1040, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, reserved2) == 1044, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, driverPortFlag) == 1048, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, driverPortPath) == 1052, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, usbDeviceId) == 1572, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, unused1) == 1832, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, deviceName) == 2092, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, serialParamsPresent) == 2612, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, dataBitsCode) == 2616, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, baudRateCode) == 2620, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, parityCode) == 2624, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, unused2) == 2628, "PortInfo layout");
QPU_STATIC_ASSERT(offsetof(PortInfo, origin) == 5760, "PortInfo layout");
