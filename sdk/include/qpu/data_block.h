/* The 32-byte header that begins every setting data block, and the identifiers and
 * sizes of the blocks that the utility itself reads. */
#pragma once

#include "qpu_types.h"

#define QPU_BLOCK_HEADER_SIZE 32
/* A block carries at least one payload byte after its header. */
#define QPU_BLOCK_MIN_SIZE 33

/* Printer information block of the built-in printer setting page. */
#define QPU_BLOCK_PRINTER_INFO_ID 0x10001u
#define QPU_BLOCK_PRINTER_INFO_VERSION 0x10000u
#define QPU_BLOCK_PRINTER_INFO_SIZE 992
/* Blocks of the shipped plug-ins that the printer setting page reads. */
#define QPU_BLOCK_PRINT_SETTINGS_ID 0x10005u
#define QPU_BLOCK_PRINT_SETTINGS_SIZE 152
#define QPU_BLOCK_MEMORY_SWITCH_ID 0x10007u
#define QPU_BLOCK_MEMORY_SWITCH_SIZE 68

/* Little-endian on disk and in memory. */
typedef struct DataBlockHeader {
    char magic[4];      /* "PND" and a zero byte */
    uint32_t id;        /* block identifier */
    uint32_t version;   /* e.g. 0x10000 for 1.0 */
    uint32_t totalSize; /* header included */
    uint8_t zero[16];
} DataBlockHeader;

QPU_STATIC_ASSERT(sizeof(DataBlockHeader) == QPU_BLOCK_HEADER_SIZE, "DataBlockHeader size");
QPU_STATIC_ASSERT(offsetof(DataBlockHeader, magic) == 0, "DataBlockHeader layout");
QPU_STATIC_ASSERT(offsetof(DataBlockHeader, id) == 4, "DataBlockHeader layout");
QPU_STATIC_ASSERT(offsetof(DataBlockHeader, version) == 8, "DataBlockHeader layout");
QPU_STATIC_ASSERT(offsetof(DataBlockHeader, totalSize) == 12, "DataBlockHeader layout");
QPU_STATIC_ASSERT(offsetof(DataBlockHeader, zero) == 16, "DataBlockHeader layout");
