/* The printer information library libPrtInfMgrDLL.so. It talks to the printer only
 * through the CommLibTable it is given (the utility's own binding of libQPComm.so), on the
 * port that the utility has opened. Exports have 8-bit names without a prefix. */
#pragma once

#include "comm_lib.h"
#include "qpu_types.h"

/* A connection handle; null is failure. */
typedef void* PrtInfHandle;

#define PRTINF_OK 1     /* success result of the query functions */
#define PRTINF_FAILED 0 /* any failure of the query functions */
/* *deviceId after a GetDeviceID failure other than a printer without a device ID (no
 * answer to the request): link error, garbage answer, invalid handle. */
#define PRTINF_DEVICE_ID_FAILED (-1)
#define PRTINF_TEXT_COUNT 5
#define PRTINF_REQUEST_ALL 31u /* request mask: all five texts */
/* Buffer size for GetPrinterName. */
#define PRTINF_PRINTER_NAME_BYTES 90

/* Filled by GetPrinterInformation. The texts are 8-bit (code page 437), zero-terminated,
 * owned by the connection and valid until the next GetPrinterInformation on it or
 * Finalize: 0 serial number, 1 model name, 2 maker, 3 firmware text, 4 character set. */
typedef struct PrinterInformation {
    const char* texts[PRTINF_TEXT_COUNT];
    int32_t filledMask;   /* bit i set: texts[i] was read from the printer */
    uint32_t requestMask; /* bit i set: read text i; the caller sets it */
} PrinterInformation;

typedef PrtInfHandle (*PrtInf_Initialize_t)(const CommLibTable* commLib);
typedef void (*PrtInf_Finalize_t)(PrtInfHandle* handle); /* sets *handle to null */
/* 1 when buffer holds the connected printer's model name (8-bit, zero-terminated). */
typedef int32_t (*PrtInf_GetPrinterName_t)(PrtInfHandle handle, char* buffer, int32_t size);
/* 1 on success; otherwise *deviceId stays 0 when the printer has no device ID. */
typedef int32_t (*PrtInf_GetDeviceID_t)(PrtInfHandle handle, int32_t* deviceId);
/* 1 when every requested text was filled. flags: 0. */
typedef int32_t (*PrtInf_GetPrinterInformation_t)(PrtInfHandle handle, PrinterInformation* info,
                                                  int32_t flags);
typedef int32_t (*PrtInf_RegisterCallback_t)(PrtInfHandle handle, QPC_StatusProc proc,
                                             void* context);
typedef int32_t (*PrtInf_UnregisterCallback_t)(PrtInfHandle handle);

#define PRTINF_LIBRARY_NAME "PrtInfMgrDLL.dll" /* libPrtInfMgrDLL.so on this platform */
