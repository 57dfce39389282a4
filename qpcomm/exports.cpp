// The exported QPC_* entry points: C calling convention, 32-bit arguments and results.
#include "capabilities.h"
#include "comm_library.h"
#include "printer_commands.h"

#include <qpu/comm_lib.h>

using qpcomm::CommLibrary;
using qpcomm::StatusDispatcher;

namespace {
CommLibrary& lib()
{
    return CommLibrary::instance();
}

int32_t answerFlag(int32_t* out, bool value)
{
    if (out == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    *out = value ? 1 : 0;
    return QPC_OK;
}

// Every export is noexcept at the C boundary: an exception (out of memory) becomes a code.
template <typename F> int32_t guarded(F&& f) noexcept
{
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return QPC_ERR_NO_MEMORY;
    } catch (...) {
        return QPC_ERR_IO;
    }
}
} // namespace

QPU_EXPORT int32_t QPC_EnumPort(PortInfo** list, uint32_t capacity, uint32_t* count)
{
    return guarded([&] { return lib().enumPort(list, capacity, count); });
}
QPU_EXPORT int32_t QPC_AddPort(PortInfo* port)
{
    return guarded([&] { return lib().addPort(port); });
}
QPU_EXPORT int32_t QPC_RemovePort(PortInfo* port)
{
    return guarded([&] { return lib().removePort(port); });
}
QPU_EXPORT int32_t QPC_SetPort(PortInfo* port)
{
    return guarded([&] { return lib().setPort(port); });
}
QPU_EXPORT int32_t QPC_GetPort(PortInfo* port)
{
    return guarded([&] { return lib().getPort(port); });
}
QPU_EXPORT int32_t QPC_PortSetting(PortInfo* port)
{
    return guarded([&] { return lib().updatePort(port); });
}
QPU_EXPORT int32_t QPC_Open(int32_t mode)
{
    return guarded([&] { return lib().open(mode); });
}
QPU_EXPORT int32_t QPC_Close(void)
{
    return guarded([&] { return lib().close(); });
}
QPU_EXPORT int32_t QPC_Read(uint8_t* buffer, uint32_t capacity, uint32_t* received,
                            uint32_t timeoutMs)
{
    return guarded([&] { return lib().read(buffer, capacity, received, timeoutMs); });
}
QPU_EXPORT int32_t QPC_Write(const uint8_t* data, uint32_t length, uint32_t* written)
{
    return guarded([&] { return lib().write(data, length, written); });
}
QPU_EXPORT int32_t QPC_GetStatus(int32_t* status)
{
    return guarded([&] { return lib().getStatus(status); });
}
QPU_EXPORT int32_t QPC_Initialize(void)
{
    return guarded([&] { return lib().initialize(); });
}
QPU_EXPORT int32_t QPC_Purge(void)
{
    return guarded([&] { return lib().purge(); });
}
QPU_EXPORT int32_t QPC_Reset(void)
{
    return guarded([&] { return lib().reset(); });
}
QPU_EXPORT int32_t QPC_RegisterStatusProc(QPC_StatusProc proc, void* context)
{
    return guarded(
        [&] { return lib().registerProc(StatusDispatcher::StatusProcs, proc, context); });
}
QPU_EXPORT int32_t QPC_UnregisterStatusProc(void)
{
    return guarded([&] { return lib().unregisterProcs(StatusDispatcher::StatusProcs); });
}
QPU_EXPORT int32_t QPC_CommunicationTest(PortInfo* port)
{
    return guarded([&] { return lib().communicationTest(port); });
}
QPU_EXPORT int32_t QPC_EnumDevPort(const QpuChar16* keyword, PortInfo** list, uint32_t capacity,
                                   uint32_t* count)
{
    return guarded([&] { return lib().enumDevPort(keyword, list, capacity, count); });
}
QPU_EXPORT int32_t QPC_Backup(const QpuChar16* filePath)
{
    return guarded([&] { return lib().backup(filePath); });
}
QPU_EXPORT int32_t QPC_Restore(const QpuChar16* filePath)
{
    return guarded([&] { return lib().restore(filePath); });
}
QPU_EXPORT int32_t QPC_FileCheck(const QpuChar16* filePath)
{
    return guarded([&] { return lib().fileCheck(filePath); });
}
QPU_EXPORT int32_t QPC_SetDisableOffOffline(int32_t /*disable*/)
{
    return QPC_ERR_NOT_SUPPORTED;
}
QPU_EXPORT int32_t QPC_SetResponseACK(int32_t /*enable*/)
{
    return QPC_ERR_NOT_SUPPORTED;
}
QPU_EXPORT int32_t QPC_GetDeviceName(QpuChar16* buffer, uint32_t units)
{
    return guarded(
        [&] { return lib().queryText(qpcomm::printer_commands::kModelName, buffer, units); });
}
QPU_EXPORT int32_t QPC_GetPortName(QpuChar16* buffer, uint32_t units)
{
    return guarded([&] { return lib().getPortName(buffer, units); });
}
QPU_EXPORT int32_t QPC_SetFlowCtrlForced(int32_t forced)
{
    return guarded([&] { return lib().setFlowControlForced(forced); });
}
QPU_EXPORT int32_t QPC_Terminate(void)
{
    return guarded([&] { return lib().terminate(); });
}
QPU_EXPORT int32_t QPC_GetSerialNumber(QpuChar16* buffer, uint32_t units)
{
    return guarded(
        [&] { return lib().queryText(qpcomm::printer_commands::kSerialNumber, buffer, units); });
}
QPU_EXPORT int32_t QPC_GetAccessVersion(uint32_t* version)
{
    if (version == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    *version = QPC_ACCESS_VERSION;
    return QPC_OK;
}
QPU_EXPORT int32_t QPC_FindPort(PortInfo* port)
{
    return guarded([&] { return lib().findPort(port); });
}
QPU_EXPORT int32_t QPC_RegisterDeviceStateCallback(QPC_StatusProc proc, void* context)
{
    return guarded(
        [&] { return lib().registerProc(StatusDispatcher::DeviceStateProcs, proc, context); });
}
QPU_EXPORT int32_t QPC_UnregisterDeviceStateCallback(void)
{
    return guarded([&] { return lib().unregisterProcs(StatusDispatcher::DeviceStateProcs); });
}
QPU_EXPORT int32_t QPC_RecoverySending(void)
{
    return QPC_ERR_NOT_SUPPORTED;
}
QPU_EXPORT int32_t QPC_ReopenPort(void)
{
    return guarded([&] { return lib().reopen(); });
}
QPU_EXPORT int32_t QPC_GetFirmVersion(QpuChar16* buffer, uint32_t units)
{
    return guarded(
        [&] { return lib().queryText(qpcomm::printer_commands::kFirmware, buffer, units); });
}
QPU_EXPORT int32_t QPC_SetModelType(int32_t modelType)
{
    return guarded([&] { return lib().setModelType(modelType); });
}
QPU_EXPORT int32_t QPC_IsWatermarkSupported(int32_t* supported)
{
    return answerFlag(supported, false);
}
QPU_EXPORT int32_t QPC_IsARPSupported(int32_t* supported)
{
    return answerFlag(supported, false);
}
QPU_EXPORT int32_t QPC_SetPortConnector(int32_t /*connector*/)
{
    return QPC_ERR_NOT_SUPPORTED;
}
QPU_EXPORT int32_t QPC_IsSupported(int32_t feature, int32_t* supported)
{
    return answerFlag(supported, qpcomm::isFeatureSupported(feature));
}
QPU_EXPORT int32_t QPC_IsPortConnectorEnabled(int32_t* enabled)
{
    return answerFlag(enabled, false);
}
QPU_EXPORT int32_t QPC_RegisterBatStatusProc(QPC_StatusProc /*proc*/, void* /*context*/)
{
    return QPC_ERR_NOT_SUPPORTED;
}
QPU_EXPORT int32_t QPC_UnregisterBatStatusProc(void)
{
    return QPC_ERR_NOT_SUPPORTED;
}
QPU_EXPORT int32_t QPC_IsEnableCommand(int32_t category, int32_t function, int32_t parameter,
                                       int32_t* enabled)
{
    return answerFlag(enabled, qpcomm::isCommandEnabled(category, function, parameter));
}
QPU_EXPORT int32_t QPC_SetCaller(int32_t callerType)
{
    return guarded([&] { return lib().setCaller(callerType); });
}
QPU_EXPORT int32_t QPC_GetCaller(int32_t* callerType)
{
    return guarded([&] { return lib().getCaller(callerType); });
}
