// A stand-in communication library for the binding tests: every entry point records that it
// was called; a few keep their arguments. Built with all 46 exports, without QPC_Terminate
// (FAKE_COMM_OMIT_TERMINATE), and answering another interface version
// (FAKE_COMM_ACCESS_VERSION).
#include <qpu/comm_lib.h>

#include <cstring>
#include <map>
#include <string>

namespace {

std::map<std::string, int>& Calls()
{
    static std::map<std::string, int> calls;
    return calls;
}

int32_t g_callerType = -1;
int32_t g_openMode = -1;
int32_t g_isEnableCommandArgs[3] = {0, 0, 0};

int32_t Record(const char* name)
{
    ++Calls()[name];
    return QPC_OK;
}

} // namespace

#define FAKE_ENTRY(name, ...)                                                                      \
    QPU_EXPORT int32_t QPC_##name(__VA_ARGS__)                                                     \
    {                                                                                              \
        return Record(#name);                                                                      \
    }

FAKE_ENTRY(EnumPort, PortInfo**, uint32_t, uint32_t*)
FAKE_ENTRY(AddPort, PortInfo*)
FAKE_ENTRY(RemovePort, PortInfo*)
FAKE_ENTRY(SetPort, PortInfo*)
FAKE_ENTRY(GetPort, PortInfo*)
FAKE_ENTRY(PortSetting, PortInfo*)
QPU_EXPORT int32_t QPC_Open(int32_t mode)
{
    g_openMode = mode;
    return Record("Open");
}
FAKE_ENTRY(Close, void)
FAKE_ENTRY(Read, uint8_t*, uint32_t, uint32_t*, uint32_t)
FAKE_ENTRY(Write, const uint8_t*, uint32_t, uint32_t*)
FAKE_ENTRY(GetStatus, int32_t*)
FAKE_ENTRY(Initialize, void)
FAKE_ENTRY(Purge, void)
FAKE_ENTRY(Reset, void)
FAKE_ENTRY(RegisterStatusProc, QPC_StatusProc, void*)
FAKE_ENTRY(UnregisterStatusProc, void)
FAKE_ENTRY(CommunicationTest, PortInfo*)
FAKE_ENTRY(EnumDevPort, const QpuChar16*, PortInfo**, uint32_t, uint32_t*)
FAKE_ENTRY(Backup, const QpuChar16*)
FAKE_ENTRY(Restore, const QpuChar16*)
FAKE_ENTRY(FileCheck, const QpuChar16*)
FAKE_ENTRY(SetDisableOffOffline, int32_t)
FAKE_ENTRY(SetResponseACK, int32_t)
FAKE_ENTRY(GetDeviceName, QpuChar16*, uint32_t)
FAKE_ENTRY(GetPortName, QpuChar16*, uint32_t)
FAKE_ENTRY(SetFlowCtrlForced, int32_t)
#ifndef FAKE_COMM_OMIT_TERMINATE
FAKE_ENTRY(Terminate, void)
#endif
FAKE_ENTRY(GetSerialNumber, QpuChar16*, uint32_t)
#ifndef FAKE_COMM_ACCESS_VERSION
#define FAKE_COMM_ACCESS_VERSION QPC_ACCESS_VERSION
#endif
QPU_EXPORT int32_t QPC_GetAccessVersion(uint32_t* version)
{
    *version = FAKE_COMM_ACCESS_VERSION;
    return Record("GetAccessVersion");
}
FAKE_ENTRY(FindPort, PortInfo*)
FAKE_ENTRY(RegisterDeviceStateCallback, QPC_StatusProc, void*)
FAKE_ENTRY(UnregisterDeviceStateCallback, void)
FAKE_ENTRY(RecoverySending, void)
FAKE_ENTRY(ReopenPort, void)
FAKE_ENTRY(GetFirmVersion, QpuChar16*, uint32_t)
FAKE_ENTRY(SetModelType, int32_t)
FAKE_ENTRY(IsWatermarkSupported, int32_t*)
FAKE_ENTRY(IsARPSupported, int32_t*)
FAKE_ENTRY(SetPortConnector, int32_t)
FAKE_ENTRY(IsSupported, int32_t, int32_t*)
FAKE_ENTRY(IsPortConnectorEnabled, int32_t*)
FAKE_ENTRY(RegisterBatStatusProc, QPC_StatusProc, void*)
FAKE_ENTRY(UnregisterBatStatusProc, void)
QPU_EXPORT int32_t QPC_IsEnableCommand(int32_t a, int32_t b, int32_t c, int32_t* enabled)
{
    g_isEnableCommandArgs[0] = a;
    g_isEnableCommandArgs[1] = b;
    g_isEnableCommandArgs[2] = c;
    *enabled = 1;
    return Record("IsEnableCommand");
}
QPU_EXPORT int32_t QPC_SetCaller(int32_t callerType)
{
    g_callerType = callerType;
    return Record("SetCaller");
}
QPU_EXPORT int32_t QPC_GetCaller(int32_t* callerType)
{
    *callerType = g_callerType;
    return Record("GetCaller");
}

// Inspection for the tests.
QPU_EXPORT int FakeComm_CallCount(const char* name)
{
    const auto it = Calls().find(name);
    return it == Calls().end() ? 0 : it->second;
}
QPU_EXPORT int FakeComm_TotalCalls(void)
{
    int total = 0;
    for (const auto& [name, count] : Calls())
        total += count;
    return total;
}
QPU_EXPORT int32_t FakeComm_OpenMode(void)
{
    return g_openMode;
}
QPU_EXPORT void FakeComm_IsEnableCommandArgs(int32_t* args)
{
    std::memcpy(args, g_isEnableCommandArgs, sizeof g_isEnableCommandArgs);
}
