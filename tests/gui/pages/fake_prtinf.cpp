// Stand-ins for the printer information library, for the binding's failure paths: one
// without "GetDeviceID" (FAKE_PRTINF_NO_DEVICE_ID) and one whose "Initialize" gives no
// connection. Each is built as libPrtInfMgrDLL.so in a folder of its own.
#include <qpu/prtinf.h>

namespace {

[[maybe_unused]] int g_connection = 0;
int g_finalized = 0;

} // namespace

QPU_EXPORT int FakePrtInf_Finalized(void)
{
    return g_finalized;
}

QPU_EXPORT PrtInfHandle Initialize(const CommLibTable*)
{
#ifdef FAKE_PRTINF_NO_CONNECTION
    return nullptr;
#else
    return &g_connection;
#endif
}

QPU_EXPORT void Finalize(PrtInfHandle* handle)
{
    ++g_finalized;
    if (handle != nullptr)
        *handle = nullptr;
}

QPU_EXPORT int32_t RegisterCallback(PrtInfHandle, QPC_StatusProc, void*)
{
    return 1;
}

QPU_EXPORT int32_t UnregisterCallback(PrtInfHandle)
{
    return 1;
}

QPU_EXPORT int32_t GetPrinterInformation(PrtInfHandle, PrinterInformation*, int32_t)
{
    return PRTINF_FAILED;
}

QPU_EXPORT int32_t GetPrinterName(PrtInfHandle, char*, int32_t)
{
    return PRTINF_FAILED;
}

#ifndef FAKE_PRTINF_NO_DEVICE_ID
QPU_EXPORT int32_t GetDeviceID(PrtInfHandle, int32_t*)
{
    return PRTINF_FAILED;
}
#endif
