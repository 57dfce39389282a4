/* The data manager as plug-ins reach it: a C function table that the utility publishes.
 *
 * AppState.dataMgr is an opaque handle to the utility's store of setting data blocks. A
 * plug-in never links against the utility, so it finds the functions that work on that
 * handle at run time: the utility exports one C function, QPU_GetDataMgrApi, from its
 * executable, and a plug-in looks it up in the running process with
 * dlsym(RTLD_DEFAULT, QPU_DATA_MGR_API_SYMBOL). AppState keeps its layout, and the handle
 * keeps its meaning for the utility's own code.
 *
 * Every function takes the handle (AppState.dataMgr) first and answers the codes of the
 * store: 0 done, -1 no such block, -3 bad argument (no buffer, size below 33), -5 bad
 * size, -7 out of memory. FindBlock answers the index or -1; GetBlockSize the size in
 * bytes (header included) or -1. A null handle answers -3.
 *
 * The store belongs to the user-interface thread; a plug-in's ReadPrinterSettings, which
 * runs on the page job's worker thread while that thread waits in the progress dialog,
 * may use it too. */
#pragma once

#include "qpu_types.h"

#define QPU_DATA_MGR_API_SYMBOL "QPU_GetDataMgrApi"
#define QPU_DATA_MGR_API_VERSION 1u

typedef struct QpuDataMgrApi
{
    uint32_t structSize; /* sizeof(QpuDataMgrApi) of the publisher: later versions only append */
    uint32_t version;    /* QPU_DATA_MGR_API_VERSION */
    int32_t (*FindBlock)(void* dataMgr, uint32_t blockId);
    /* Appends a zero block with the header's magic, identifier and version; the caller
     * then writes its data with SetBlockData. Does not look for an existing block. */
    int32_t (*AddBlock)(void* dataMgr, uint32_t blockId, uint32_t blockVersion, int32_t sizeBytes);
    /* Copies min(length, block size) bytes, header included. */
    int32_t (*GetBlockData)(void* dataMgr, uint32_t blockId, void* buffer, int32_t length);
    /* Stores sizeBytes of buffer, which begins with the block header, as the block's data;
     * writes sizeBytes into the header's size field of buffer first. */
    int32_t (*SetBlockData)(void* dataMgr, uint32_t blockId, int32_t sizeBytes, void* buffer);
    int32_t (*GetBlockSize)(void* dataMgr, uint32_t blockId);
} QpuDataMgrApi;

/* The exported function: answers the utility's table, which lives as long as the process. */
typedef const QpuDataMgrApi* (*QPU_GetDataMgrApi_t)(void);

QPU_STATIC_ASSERT(offsetof(QpuDataMgrApi, structSize) == 0, "QpuDataMgrApi layout");
QPU_STATIC_ASSERT(offsetof(QpuDataMgrApi, version) == 4, "QpuDataMgrApi layout");
QPU_STATIC_ASSERT(offsetof(QpuDataMgrApi, FindBlock) == 8, "QpuDataMgrApi layout");
QPU_STATIC_ASSERT(offsetof(QpuDataMgrApi, GetBlockSize) == 8 + 4 * sizeof(void*),
                  "QpuDataMgrApi layout");
QPU_STATIC_ASSERT(sizeof(QpuDataMgrApi) == 8 + 5 * sizeof(void*), "QpuDataMgrApi size");
