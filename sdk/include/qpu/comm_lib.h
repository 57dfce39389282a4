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
#define QPC_ERR_NOT_BOUND ((int32_t)0x80000000u)   /* library or entry point not bound */
#define QPC_ERR_PORT_IN_USE ((int32_t)0x8000000Bu) /* another process holds the port */

/* Status procedure: called on a thread of the library with a status code 0 to 22 (and
 * 100 when a lasting condition ends) whenever the printer's status changes. */
typedef int32_t (*QPC_StatusProc)(int32_t status, void* context);

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
