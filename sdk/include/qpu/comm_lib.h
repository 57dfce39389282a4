/* The communication library libQPComm.so: the QPC_* entry points and CommLibTable, the
 * binding that the utility publishes in AppState and hands to the printer information
 * library and to plug-ins.
 *
 * Every entry point uses the C calling convention, 32-bit arguments and a 32-bit signed
 * result: 0 for success, 0x8000xxxx for failures. */
#pragma once

#include "port_info.h"
#include "qpu_types.h"

/* Result codes. */
#define QPC_OK 0
#define QPC_ERR_NOT_BOUND ((int32_t)0x80000000u)        /* library or entry point not bound */
#define QPC_ERR_INVALID_ARGUMENT ((int32_t)0x80000001u) /* null pointer, bad code or keyword */
#define QPC_ERR_NOT_OPEN ((int32_t)0x80000002u)         /* no port selected or port not open */
#define QPC_ERR_TIMEOUT ((int32_t)0x80000003u)          /* the printer did not answer in time */
#define QPC_ERR_NOT_FOUND ((int32_t)0x80000004u)  /* device absent, port not registered */
#define QPC_ERR_IO ((int32_t)0x80000005u)         /* read, write or connect failed */
#define QPC_ERR_BAD_ANSWER ((int32_t)0x80000006u) /* the answer broke the command's framing */
#define QPC_ERR_BUFFER_TOO_SMALL ((int32_t)0x80000007u) /* text cut to fit the buffer */
#define QPC_ERR_FILE ((int32_t)0x80000008u) /* port list or backup file unreadable/unwritable */
#define QPC_ERR_CONNECTION_LOST ((int32_t)0x80000009u) /* link dropped; reopened next call */
#define QPC_ERR_ALREADY_OPEN ((int32_t)0x8000000Au)    /* QPC_Open while a port is open */
#define QPC_ERR_PORT_IN_USE ((int32_t)0x8000000Bu)     /* another process holds the port */
#define QPC_ERR_ACCESS_DENIED ((int32_t)0x8000000Cu)   /* no permission to open the device */
#define QPC_ERR_NOT_SUPPORTED ((int32_t)0x8000000Du)   /* means nothing for this printer */
#define QPC_ERR_NO_MEMORY ((int32_t)0x8000000Eu)

/* Serial parameter codes of PortInfo (COM and BT records with serialParamsPresent = 1).
 * They are the item values of the add-port dialog's lists in the language files.
 * - baudRateCode: the rate itself: 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200.
 * - dataBitsCode: the number of data bits, 5 to 8.
 * - parityCode: QPC_PARITY_NONE, QPC_PARITY_ODD or QPC_PARITY_EVEN.
 * One stop bit. Flow control has no field in PortInfo: none (the printer's DTR/DSR line is
 * not used) unless QPC_SetFlowCtrlForced(1) asked for RTS/CTS. Without serial parameters
 * the line runs at 9600 baud, 8 bits, no parity. */
#define QPC_PARITY_NONE 0
#define QPC_PARITY_ODD 1
#define QPC_PARITY_EVEN 2

/* Status codes passed to status procedures and returned by QPC_GetStatus: the status
 * view's table 0 to 22, and 100 when a lasting ink or cleaning condition (10, 11, 12, 13,
 * 15, 20, 21) ends. */
#define QPC_STATUS_ONLINE 0
#define QPC_STATUS_OFFLINE 1
#define QPC_STATUS_NO_STATUS 2
#define QPC_STATUS_LASTING_ENDED 100

/* Status procedure: called on a thread of the library with a status code 0 to 22 (and
 * 100 when a lasting condition ends) whenever the printer's status changes. */
typedef int32_t (*QPC_StatusProc)(int32_t status, void* context);

/* QPC_GetAccessVersion: the interface version of this library, 0xMMmm. */
#define QPC_ACCESS_VERSION 0x0140u

/* QPC_IsSupported features. Each answers 1 (supported) or 0 in *supported. */
#define QPC_FEATURE_AUTOMATIC_STATUS 1 /* the printer sends its status by itself */
#define QPC_FEATURE_REALTIME_STATUS 2  /* real-time status requests 10 04 n, n = 1..8 */
#define QPC_FEATURE_PRINTER_ID 3       /* printer ID texts and model ID (1D 49 n) */
#define QPC_FEATURE_USER_SETTING 4     /* customized values and memory switches (1D 28 45) */
#define QPC_FEATURE_BACKUP_RESTORE 5   /* QPC_Backup, QPC_Restore, QPC_FileCheck */
#define QPC_FEATURE_STATUS_PROC 100    /* status procedures with the status codes above */

/* QPC_IsEnableCommand(category, function, parameter, &enabled) categories:
 * - QPC_COMMAND_USER_SETTING: 1D 28 45 function fn with setting number a: fn 1 and 2
 *   (enter and leave the user-setting mode, a ignored), 3 and 4 (memory switch a, 1..8),
 *   5 and 6 (customized value a, 0..255).
 * - QPC_COMMAND_PRINTER_ID: 1D 49 n, function = n (1, 0x41..0x45), parameter ignored.
 * - QPC_COMMAND_REALTIME_STATUS: 10 04 n, function = n (1..8), parameter ignored.
 * Anything else answers 0. */
#define QPC_COMMAND_USER_SETTING 1
#define QPC_COMMAND_PRINTER_ID 2
#define QPC_COMMAND_REALTIME_STATUS 3

/* Entry points (all thread-safe; calls on the open port are serialised):
 * - EnumPort(list, capacity, count): registered ports. list NULL or capacity 0: *count =
 *   the number registered. Otherwise copies into list[0..] and *count = the number copied.
 * - AddPort / RemovePort: register (or replace: same keyword and port name) / forget a
 *   port; RemovePort of an unknown port: QPC_ERR_NOT_FOUND. PortSetting(port): replace the
 *   record of a registered port (serial codes, device name); QPC_ERR_NOT_FOUND otherwise.
 * - SetPort / GetPort: select the port that Open opens / copy the selected record.
 * - Open(mode >= 0; the utility passes 1): opens the selected port read-write, takes it
 *   exclusively (QPC_ERR_PORT_IN_USE when another process holds it) and starts the status
 *   monitor. Open of the port already open: 0; of another one: QPC_ERR_ALREADY_OPEN.
 * - Close: ends the monitor, turns the printer's automatic status off again and closes
 *   the port (0 also when nothing was open).
 * - Initialize: purges what the printer sent and asks for a fresh status.
 * - Read(buffer, capacity, received, timeoutMs): answer bytes the printer sent (automatic
 *   status blocks left out); waits up to timeoutMs for the first; QPC_ERR_TIMEOUT when none.
 * - Write(data, length, written): sends bytes; *written = length on success.
 * - Purge: drops answer bytes not read yet. Reset: closes the link and opens it again.
 * - GetStatus(status): the status code as the status view shows it (a lasting code when it
 *   outranks the ordinary one); QPC_STATUS_NO_STATUS before the first answer.
 * - RegisterStatusProc(proc, context): proc(status, context) on the library's own thread
 *   for every change; a procedure registered while a port is open is first told the
 *   current code. UnregisterStatusProc(): removes every status procedure and returns when
 *   none runs any more; called from inside a procedure it returns at once, and no
 *   procedure is called after the running one returns. RegisterDeviceStateCallback /
 *   UnregisterDeviceStateCallback: a second, independent set with the same codes (the
 *   printer information library uses it).
 * - CommunicationTest(port): opens the record's port (or uses it when it is the open
 *   port), asks the model name (1D 49 43) into port->deviceName, closes; 0 on an answer.
 * - EnumDevPort(keyword, list, capacity, count): devices present for "COM", "SERIAL"
 *   (serial and Bluetooth serial), "LPT", "USB", "BT", or printers answering discovery for
 *   "NET". *count = every device found, even beyond capacity (grow the list and ask again);
 *   the first capacity records are filled.
 * - GetDeviceName / GetSerialNumber / GetFirmVersion(buffer, units): the printer's model
 *   name / serial number / firmware text, asked on the open port; GetPortName: the selected
 *   port's name. QPC_ERR_BUFFER_TOO_SMALL when the text was cut (still zero-terminated).
 * - Backup(path) / Restore(path) / FileCheck(path): the printer's customized values 0..255
 *   and memory switches 1..8 to / from a text file ("QPR60-BACKUP 1", "model=...",
 *   "custom A=V", "memsw A=BBBBBBBB" lines), in the printer's user-setting mode; leaving it
 *   restarts the printer, and both wait until it answers again. FileCheck validates a file.
 * - FindPort(port): 0 when the record's device is present (NET: accepts a connection); a USB
 *   record gets the name under which its printer is present now.
 * - ReopenPort: closes and opens the open port again; a USB printer is found again by its
 *   identification even under another device number.
 * - SetFlowCtrlForced(1): RTS/CTS on serial ports opened from now on.
 * - SetModelType(0): the QP-R60, the only model served; others QPC_ERR_NOT_SUPPORTED.
 * - SetCaller(0..4) / GetCaller: the caller type. GetAccessVersion: QPC_ACCESS_VERSION.
 * - IsSupported / IsEnableCommand: see the feature and command codes above.
 *   IsWatermarkSupported, IsARPSupported, IsPortConnectorEnabled answer 0 in *out.
 * - SetDisableOffOffline, SetResponseACK, RecoverySending, SetPortConnector,
 *   RegisterBatStatusProc, UnregisterBatStatusProc mean nothing for this printer and answer
 *   QPC_ERR_NOT_SUPPORTED.
 * Ports: "NET" is TCP port 9100 of the address, or of "a.b.c.d:port", or $QPCOMM_NET_PORT.
 * Serial, Bluetooth and parallel port names are device names under $QPCOMM_DEV_DIR
 * (default /dev), or absolute paths; USB port "001" is usb/lp0.
 * Driver-path records (driverPortFlag 1, empty interface keyword; the utility's start mode
 * 3) are taken by SetPort, Open, CommunicationTest and FindPort, and resolved at every
 * opening as PortInfo.driverPortPath describes: a registered port by its driver port path,
 * an IPv4 host of a "//host/..." path, or a serial-line or printer device node (serial
 * lines without a registered port run at 9600 baud, 8 bits, no parity). GetPort hands the
 * record back as it was given. Two driver-path records are the same port when their paths
 * are equal. */
typedef int32_t (*QPC_EnumPort_t)(PortInfo** list, uint32_t capacity, uint32_t* count);
typedef int32_t (*QPC_AddPort_t)(PortInfo* port);
typedef int32_t (*QPC_RemovePort_t)(PortInfo* port);
typedef int32_t (*QPC_SetPort_t)(PortInfo* port);
typedef int32_t (*QPC_GetPort_t)(PortInfo* port);
typedef int32_t (*QPC_PortSetting_t)(PortInfo* port);
typedef int32_t (*QPC_Open_t)(int32_t mode);
typedef int32_t (*QPC_Close_t)(void);
typedef int32_t (*QPC_Read_t)(uint8_t* buffer, uint32_t capacity, uint32_t* received,
                              uint32_t timeoutMs);
typedef int32_t (*QPC_Write_t)(const uint8_t* data, uint32_t length, uint32_t* written);
typedef int32_t (*QPC_GetStatus_t)(int32_t* status);
typedef int32_t (*QPC_Initialize_t)(void);
typedef int32_t (*QPC_Purge_t)(void);
typedef int32_t (*QPC_Reset_t)(void);
typedef int32_t (*QPC_RegisterStatusProc_t)(QPC_StatusProc proc, void* context);
typedef int32_t (*QPC_UnregisterStatusProc_t)(void);
typedef int32_t (*QPC_CommunicationTest_t)(PortInfo* port);
typedef int32_t (*QPC_EnumDevPort_t)(const QpuChar16* keyword, PortInfo** list,
                                     uint32_t capacity, uint32_t* count);
typedef int32_t (*QPC_Backup_t)(const QpuChar16* filePath);
typedef int32_t (*QPC_Restore_t)(const QpuChar16* filePath);
typedef int32_t (*QPC_FileCheck_t)(const QpuChar16* filePath);
typedef int32_t (*QPC_SetDisableOffOffline_t)(int32_t disable);
typedef int32_t (*QPC_SetResponseACK_t)(int32_t enable);
typedef int32_t (*QPC_GetDeviceName_t)(QpuChar16* buffer, uint32_t units);
typedef int32_t (*QPC_GetPortName_t)(QpuChar16* buffer, uint32_t units);
typedef int32_t (*QPC_SetFlowCtrlForced_t)(int32_t forced);
typedef int32_t (*QPC_Terminate_t)(void);
typedef int32_t (*QPC_GetSerialNumber_t)(QpuChar16* buffer, uint32_t units);
typedef int32_t (*QPC_GetAccessVersion_t)(uint32_t* version);
typedef int32_t (*QPC_FindPort_t)(PortInfo* port);
typedef int32_t (*QPC_RegisterDeviceStateCallback_t)(QPC_StatusProc proc, void* context);
typedef int32_t (*QPC_UnregisterDeviceStateCallback_t)(void);
typedef int32_t (*QPC_RecoverySending_t)(void);
typedef int32_t (*QPC_ReopenPort_t)(void);
typedef int32_t (*QPC_GetFirmVersion_t)(QpuChar16* buffer, uint32_t units);
typedef int32_t (*QPC_SetModelType_t)(int32_t modelType);
typedef int32_t (*QPC_IsWatermarkSupported_t)(int32_t* supported);
typedef int32_t (*QPC_IsARPSupported_t)(int32_t* supported);
typedef int32_t (*QPC_SetPortConnector_t)(int32_t connector);
typedef int32_t (*QPC_IsSupported_t)(int32_t feature, int32_t* supported);
typedef int32_t (*QPC_IsPortConnectorEnabled_t)(int32_t* enabled);
typedef int32_t (*QPC_RegisterBatStatusProc_t)(QPC_StatusProc proc, void* context);
typedef int32_t (*QPC_UnregisterBatStatusProc_t)(void);
typedef int32_t (*QPC_IsEnableCommand_t)(int32_t a, int32_t b, int32_t c, int32_t* enabled);
typedef int32_t (*QPC_SetCaller_t)(int32_t callerType);
typedef int32_t (*QPC_GetCaller_t)(int32_t* callerType);

/* The 46 entry points in binding order. X(name) is expanded once per entry point; the
 * export is named QPC_##name. */
#define QPU_COMM_ENTRY_POINTS(X)                                                                   \
    X(EnumPort) X(AddPort) X(RemovePort) X(SetPort) X(GetPort) X(PortSetting) X(Open) X(Close)     \
    X(Read) X(Write) X(GetStatus) X(Initialize) X(Purge) X(Reset) X(RegisterStatusProc)            \
    X(UnregisterStatusProc) X(CommunicationTest) X(EnumDevPort) X(Backup) X(Restore) X(FileCheck)  \
    X(SetDisableOffOffline) X(SetResponseACK) X(GetDeviceName) X(GetPortName)                      \
    X(SetFlowCtrlForced) X(Terminate) X(GetSerialNumber) X(GetAccessVersion) X(FindPort)           \
    X(RegisterDeviceStateCallback) X(UnregisterDeviceStateCallback) X(RecoverySending)             \
    X(ReopenPort) X(GetFirmVersion) X(SetModelType) X(IsWatermarkSupported) X(IsARPSupported)      \
    X(SetPortConnector) X(IsSupported) X(IsPortConnectorEnabled) X(RegisterBatStatusProc)          \
    X(UnregisterBatStatusProc) X(IsEnableCommand) X(SetCaller) X(GetCaller)

#define QPU_COMM_ENTRY_POINT_COUNT 46

/* 47 consecutive pointer slots: the module handle (null when not bound), then the entry
 * points. Packed to 4 bytes: 188 bytes on a 32-bit build, 376 on 64-bit. */
#pragma pack(push, 4)
typedef struct CommLibTable {
    void* module;
#define QPU_COMM_TABLE_FIELD(name) QPC_##name##_t name;
    QPU_COMM_ENTRY_POINTS(QPU_COMM_TABLE_FIELD)
#undef QPU_COMM_TABLE_FIELD
} CommLibTable;
#pragma pack(pop)

QPU_STATIC_ASSERT(sizeof(CommLibTable) == 47 * sizeof(void*), "CommLibTable size");
QPU_STATIC_ASSERT(offsetof(CommLibTable, module) == 0, "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, EnumPort) == 1 * sizeof(void*), "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, Open) == 7 * sizeof(void*), "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, RegisterStatusProc) == 15 * sizeof(void*),
                  "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, CommunicationTest) == 17 * sizeof(void*),
                  "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, Terminate) == 27 * sizeof(void*), "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, SetModelType) == 36 * sizeof(void*),
                  "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, IsSupported) == 40 * sizeof(void*),
                  "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, IsEnableCommand) == 44 * sizeof(void*),
                  "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, SetCaller) == 45 * sizeof(void*), "CommLibTable layout");
QPU_STATIC_ASSERT(offsetof(CommLibTable, GetCaller) == 46 * sizeof(void*), "CommLibTable layout");
