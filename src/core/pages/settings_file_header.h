/* The 136-byte header of a per-printer settings file ("<device>_Setting.DAT"). The data
 * blocks follow it back to back, each beginning with its DataBlockHeader. Little-endian,
 * zero-filled before the fields are written. */
#pragma once

#include <qpu/qpu_types.h>

#define QPU_SETTINGS_FILE_HEADER_SIZE 136
#define QPU_SETTINGS_FILE_MAGIC "PSD"
#define QPU_SETTINGS_FILE_PRODUCT "QP-R60 Utility"
#define QPU_SETTINGS_FILE_MAKER "VORKA"
/* Header values written at exit. */
#define QPU_SETTINGS_FILE_VALUE 0x10000u
/* The model name field always keeps at least one terminating zero. */
#define QPU_SETTINGS_FILE_MODEL_UNITS 56

typedef struct SettingsFileHeader
{
    char magic[4];       /* "PSD" and a zero byte */
    uint32_t valueA;     /* 0x10000 */
    uint32_t valueB;     /* 0x10000 */
    uint32_t blockCount; /* number of blocks that follow */
    char product[16];    /* "QP-R60 Utility" without terminator, then zeros */
    uint8_t zero1[16];
    char maker[32];                                /* "VORKA" without terminator, then zeros */
    char modelName[QPU_SETTINGS_FILE_MODEL_UNITS]; /* 8-bit text, zero-padded */
} SettingsFileHeader;

QPU_STATIC_ASSERT(sizeof(SettingsFileHeader) == QPU_SETTINGS_FILE_HEADER_SIZE,
                  "SettingsFileHeader size");
QPU_STATIC_ASSERT(offsetof(SettingsFileHeader, magic) == 0, "SettingsFileHeader layout");
QPU_STATIC_ASSERT(offsetof(SettingsFileHeader, valueA) == 4, "SettingsFileHeader layout");
QPU_STATIC_ASSERT(offsetof(SettingsFileHeader, valueB) == 8, "SettingsFileHeader layout");
QPU_STATIC_ASSERT(offsetof(SettingsFileHeader, blockCount) == 12, "SettingsFileHeader layout");
QPU_STATIC_ASSERT(offsetof(SettingsFileHeader, product) == 16, "SettingsFileHeader layout");
QPU_STATIC_ASSERT(offsetof(SettingsFileHeader, zero1) == 32, "SettingsFileHeader layout");
QPU_STATIC_ASSERT(offsetof(SettingsFileHeader, maker) == 48, "SettingsFileHeader layout");
QPU_STATIC_ASSERT(offsetof(SettingsFileHeader, modelName) == 80, "SettingsFileHeader layout");
QPU_STATIC_ASSERT(sizeof(QPU_SETTINGS_FILE_PRODUCT) - 1 == 14, "product text fills 16..29");
QPU_STATIC_ASSERT(sizeof(QPU_SETTINGS_FILE_MAKER) - 1 == 5, "maker text fills 48..52");
