// A stand-in printer information library for the device-ID query. Built twice: complete,
// and without GetDeviceID (FAKE_PRTINF_NO_DEVICE_ID).
#include <qpu/prtinf.h>

namespace {

struct Connection
{
    const CommLibTable* commLib;
};

Connection g_connection{nullptr};
const CommLibTable* g_lastCommLib = nullptr;
int g_initializeCalls = 0;
int g_finalizeCalls = 0;
int g_openConnections = 0;
bool g_refuseConnection = false;
int32_t g_deviceId = 0;
int32_t g_deviceIdResult = PRTINF_OK;

} // namespace

QPU_EXPORT PrtInfHandle Initialize(const CommLibTable* commLib)
{
    ++g_initializeCalls;
    g_lastCommLib = commLib;
    if (g_refuseConnection)
        return nullptr;
    ++g_openConnections;
    g_connection.commLib = commLib;
    return &g_connection;
}

QPU_EXPORT void Finalize(PrtInfHandle* handle)
{
    ++g_finalizeCalls;
    if (handle && *handle == &g_connection)
        --g_openConnections;
    if (handle)
        *handle = nullptr;
}

#ifndef FAKE_PRTINF_NO_DEVICE_ID
QPU_EXPORT int32_t GetDeviceID(PrtInfHandle handle, int32_t* deviceId)
{
    if (handle != &g_connection)
        return 0;
    *deviceId = g_deviceId;
    return g_deviceIdResult;
}
#endif

// Control and inspection for the tests.
QPU_EXPORT void FakePrtInf_Configure(int32_t deviceId, int32_t result, int refuseConnection)
{
    g_deviceId = deviceId;
    g_deviceIdResult = result;
    g_refuseConnection = refuseConnection != 0;
}
QPU_EXPORT void FakePrtInf_Counts(int* initializeCalls, int* finalizeCalls, int* openConnections)
{
    *initializeCalls = g_initializeCalls;
    *finalizeCalls = g_finalizeCalls;
    *openConnections = g_openConnections;
}
QPU_EXPORT const CommLibTable* FakePrtInf_LastCommLib(void)
{
    return g_lastCommLib;
}
