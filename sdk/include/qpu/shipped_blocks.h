/* Payload layouts of the data blocks of the shipped setting-page plug-ins. The utility
 * reads two of them: the output file of start mode 4 takes the print density and the
 * print speed from offsets 40 and 44 of block 0x10005. Little-endian, no pointers: the
 * same bytes on every platform and in the settings file. */
#pragma once

#include "data_block.h"

#define QPU_BLOCK_PRINT_SETTINGS_VERSION 0x10000u
#define QPU_BLOCK_MEMORY_SWITCH_VERSION 0x10000u
/* Block of the printer information page: its test-print options. */
#define QPU_BLOCK_PRINTER_INFO_PAGE_ID 0x10003u
#define QPU_BLOCK_PRINTER_INFO_PAGE_VERSION 0x10000u
#define QPU_BLOCK_PRINTER_INFO_PAGE_SIZE 40

/* Customized values of the printer that block 0x10005 holds. */
#define QPU_CUSTOM_PRINT_DENSITY 5
#define QPU_CUSTOM_PRINT_SPEED 6
/* Factory values of the printer. */
#define QPU_DEFAULT_PRINT_DENSITY 100
#define QPU_DEFAULT_PRINT_SPEED 3

/* Block 0x10005, print settings (152 bytes). */
typedef struct PrintSettingsBlock
{
    DataBlockHeader header;
    uint32_t readFlag;    /* 1 once the values were read from the printer */
    uint32_t reserved36;  /* zero */
    int32_t printDensity; /* customized value 5, percent */
    int32_t printSpeed;   /* customized value 6, speed level */
    uint8_t reserved48[104];
} PrintSettingsBlock;

QPU_STATIC_ASSERT(sizeof(PrintSettingsBlock) == QPU_BLOCK_PRINT_SETTINGS_SIZE,
                  "PrintSettingsBlock size");
QPU_STATIC_ASSERT(offsetof(PrintSettingsBlock, readFlag) == 32, "PrintSettingsBlock layout");
QPU_STATIC_ASSERT(offsetof(PrintSettingsBlock, printDensity) == 40, "PrintSettingsBlock layout");
QPU_STATIC_ASSERT(offsetof(PrintSettingsBlock, printSpeed) == 44, "PrintSettingsBlock layout");
QPU_STATIC_ASSERT(offsetof(PrintSettingsBlock, reserved48) == 48, "PrintSettingsBlock layout");

#define QPU_MEMORY_SWITCH_COUNT 8

/* Block 0x10007, memory switches 1 to 8 (68 bytes). Bit 0 of a switch value is bit 1 of
 * the printer's switch (the first character of its "0"/"1" text). */
typedef struct MemorySwitchBlock
{
    DataBlockHeader header;
    uint32_t readFlag;                          /* 1 once the switches were read from the printer */
    uint32_t switches[QPU_MEMORY_SWITCH_COUNT]; /* low 8 bits used */
} MemorySwitchBlock;

QPU_STATIC_ASSERT(sizeof(MemorySwitchBlock) == QPU_BLOCK_MEMORY_SWITCH_SIZE,
                  "MemorySwitchBlock size");
QPU_STATIC_ASSERT(offsetof(MemorySwitchBlock, readFlag) == 32, "MemorySwitchBlock layout");
QPU_STATIC_ASSERT(offsetof(MemorySwitchBlock, switches) == 36, "MemorySwitchBlock layout");

/* Block 0x10003, printer information page (40 bytes). */
typedef struct PrinterInfoPageBlock
{
    DataBlockHeader header;
    uint32_t testPrintWithSettings; /* 1: the test print lists the print settings */
    uint32_t reserved36;
} PrinterInfoPageBlock;

QPU_STATIC_ASSERT(sizeof(PrinterInfoPageBlock) == QPU_BLOCK_PRINTER_INFO_PAGE_SIZE,
                  "PrinterInfoPageBlock size");
QPU_STATIC_ASSERT(offsetof(PrinterInfoPageBlock, testPrintWithSettings) == 32,
                  "PrinterInfoPageBlock layout");
