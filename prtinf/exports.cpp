// Exports of the printer information library: 8-bit names without a prefix.
#include "printer_info_session.h"
#include "status_relay.h"

#include <qpu/prtinf.h>

#include <new>

using prtinf::PrinterInfoSession;

namespace {
PrinterInfoSession* sessionOf(PrtInfHandle handle)
{
    return static_cast<PrinterInfoSession*>(handle);
}
} // namespace

QPU_EXPORT PrtInfHandle Initialize(const CommLibTable* commLib)
{
    if (!PrinterInfoSession::usable(commLib)) {
        return nullptr;
    }
    return new (std::nothrow) PrinterInfoSession(commLib);
}

QPU_EXPORT void Finalize(PrtInfHandle* handle)
{
    if (handle == nullptr || *handle == nullptr) {
        return;
    }
    prtinf::StatusRelay::instance().remove(*handle);
    delete sessionOf(*handle);
    *handle = nullptr;
}

QPU_EXPORT int32_t GetPrinterName(PrtInfHandle handle, char* buffer, int32_t size)
{
    return handle == nullptr ? 0 : sessionOf(handle)->printerName(buffer, size);
}

QPU_EXPORT int32_t GetDeviceID(PrtInfHandle handle, int32_t* deviceId)
{
    if (handle == nullptr) {
        if (deviceId != nullptr) {
            *deviceId = PRTINF_DEVICE_ID_FAILED;
        }
        return 0;
    }
    return sessionOf(handle)->deviceId(deviceId);
}

QPU_EXPORT int32_t GetPrinterInformation(PrtInfHandle handle, PrinterInformation* info,
                                         int32_t /*flags*/)
{
    if (handle == nullptr) {
        return 0;
    }
    try {
        return sessionOf(handle)->printerInformation(info);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

QPU_EXPORT int32_t RegisterCallback(PrtInfHandle handle, QPC_StatusProc proc, void* context)
{
    if (handle == nullptr) {
        return 0;
    }
    return prtinf::StatusRelay::instance().add(handle, sessionOf(handle)->commLib(), proc, context);
}

QPU_EXPORT int32_t UnregisterCallback(PrtInfHandle handle)
{
    return handle == nullptr ? 0 : prtinf::StatusRelay::instance().remove(handle);
}
