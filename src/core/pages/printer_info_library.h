#pragma once

#include "platform/library.h"

#include <qpu/prtinf.h>

#include <QString>

// What the printer check asks of the printer: its name and its device ID. The printer
// information library answers it; tests answer it with a script.
class IPrinterIdentity
{
public:
    virtual ~IPrinterIdentity() = default;
    virtual bool HasConnection() const = 0;
    // 1 when buffer holds the printer's name (8-bit, zero-terminated).
    virtual int32_t GetPrinterName(char* buffer, int32_t size) = 0;
    // 1 on success; otherwise *deviceId is 0 for a printer without a device ID.
    virtual int32_t GetDeviceID(int32_t* deviceId) = 0;
};

// The binding of the printer information library (libPrtInfMgrDLL.so): the library, its
// seven exports and the connection handle that "Initialize" gives for the communication
// library table. The connection is finalised and the library released on destruction.
class PrinterInfoLibrary final : public IPrinterIdentity
{
public:
    static constexpr int kBound = 1;
    static constexpr int kMissing = -24; // library, export or connection missing

    PrinterInfoLibrary() = default;
    ~PrinterInfoLibrary() override;
    PrinterInfoLibrary(const PrinterInfoLibrary&) = delete;
    PrinterInfoLibrary& operator=(const PrinterInfoLibrary&) = delete;

    // Loads the library (programFolder first; empty: the executable's folder), resolves
    // all seven exports and opens a connection over commLib. 1, or -24 when the library
    // cannot be loaded, an export is missing (the library then stays loaded until
    // Release) or "Initialize" gives no connection. A binding held before is released.
    int Bind(const QString& programFolder, const CommLibTable* commLib,
             const QString& libraryName = QStringLiteral(PRTINF_LIBRARY_NAME));
    // "Finalize" on the connection, if there is one, then the library is released.
    void Release();

    bool IsLoaded() const { return m_library.IsLoaded(); }
    bool HasConnection() const override { return m_connection != nullptr; }
    bool HasInformationExport() const { return m_getPrinterInformation != nullptr; }

    // The library's answers; 0 (failure) without a connection or export.
    int32_t GetPrinterName(char* buffer, int32_t size) override;
    int32_t GetDeviceID(int32_t* deviceId) override;
    // -24 without the export; otherwise the library's answer (1 when the texts are filled).
    int32_t GetPrinterInformation(PrinterInformation* info);

private:
    platform::Library m_library;
    PrtInfHandle m_connection = nullptr;
    PrtInf_Initialize_t m_initialize = nullptr;
    PrtInf_Finalize_t m_finalize = nullptr;
    PrtInf_RegisterCallback_t m_registerCallback = nullptr;
    PrtInf_UnregisterCallback_t m_unregisterCallback = nullptr;
    PrtInf_GetPrinterInformation_t m_getPrinterInformation = nullptr;
    PrtInf_GetPrinterName_t m_getPrinterName = nullptr;
    PrtInf_GetDeviceID_t m_getDeviceId = nullptr;
};
