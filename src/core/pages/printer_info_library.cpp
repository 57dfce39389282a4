#include "pages/printer_info_library.h"

#include "platform/log_categories.h"

PrinterInfoLibrary::~PrinterInfoLibrary()
{
    Release();
}

int PrinterInfoLibrary::Bind(const QString& programFolder, const CommLibTable* commLib,
                             const QString& libraryName)
{
    Release();
    if (!m_library.Load(libraryName, programFolder)) {
        qCWarning(lcPrtInf).noquote()
            << "printer information library not loaded:" << m_library.ErrorString();
        return kMissing;
    }
    const auto initialize = m_library.ResolveAs<PrtInf_Initialize_t>("Initialize");
    const auto finalize = m_library.ResolveAs<PrtInf_Finalize_t>("Finalize");
    const auto registerCallback =
        m_library.ResolveAs<PrtInf_RegisterCallback_t>("RegisterCallback");
    const auto unregisterCallback =
        m_library.ResolveAs<PrtInf_UnregisterCallback_t>("UnregisterCallback");
    const auto information =
        m_library.ResolveAs<PrtInf_GetPrinterInformation_t>("GetPrinterInformation");
    const auto name = m_library.ResolveAs<PrtInf_GetPrinterName_t>("GetPrinterName");
    const auto deviceId = m_library.ResolveAs<PrtInf_GetDeviceID_t>("GetDeviceID");
    // Either all seven are bound or none; the library itself stays loaded until Release.
    if (!initialize || !finalize || !registerCallback || !unregisterCallback || !information ||
        !name || !deviceId) {
        qCWarning(lcPrtInf).noquote() << m_library.FilePath() << "lacks an entry point";
        return kMissing;
    }
    m_initialize = initialize;
    m_finalize = finalize;
    m_registerCallback = registerCallback;
    m_unregisterCallback = unregisterCallback;
    m_getPrinterInformation = information;
    m_getPrinterName = name;
    m_getDeviceId = deviceId;
    m_connection = m_initialize(commLib);
    // Without the communication library (start mode 4) the refusal is expected.
    if (m_connection == nullptr && commLib != nullptr && commLib->module != nullptr)
        qCWarning(lcPrtInf).noquote() << m_library.FilePath() << "refused to initialise";
    return m_connection != nullptr ? kBound : kMissing;
}

void PrinterInfoLibrary::Release()
{
    if (m_finalize != nullptr && m_connection != nullptr)
        m_finalize(&m_connection);
    m_connection = nullptr;
    m_initialize = nullptr;
    m_finalize = nullptr;
    m_registerCallback = nullptr;
    m_unregisterCallback = nullptr;
    m_getPrinterInformation = nullptr;
    m_getPrinterName = nullptr;
    m_getDeviceId = nullptr;
    m_library.Unload();
}

int32_t PrinterInfoLibrary::GetPrinterName(char* buffer, int32_t size)
{
    if (m_getPrinterName == nullptr || m_connection == nullptr)
        return PRTINF_FAILED;
    return m_getPrinterName(m_connection, buffer, size);
}

int32_t PrinterInfoLibrary::GetDeviceID(int32_t* deviceId)
{
    if (m_getDeviceId == nullptr || m_connection == nullptr)
        return PRTINF_FAILED;
    return m_getDeviceId(m_connection, deviceId);
}

int32_t PrinterInfoLibrary::GetPrinterInformation(PrinterInformation* info)
{
    if (m_getPrinterInformation == nullptr)
        return kMissing;
    return m_getPrinterInformation(m_connection, info, 0);
}
