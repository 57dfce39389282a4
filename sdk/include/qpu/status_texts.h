/* The texts of the printer status codes 0 to 22 that the communication library reports:
 * the English text and its number in the "PRT_STATUS" language section. The status strip
 * and the printer information page show the same text for a code. */
#pragma once

#include "qpu_types.h"

#define QPU_STATUS_CODE_COUNT 23
/* Number of the text shown for a code outside 0..22 ("Unknown"). */
#define QPU_STATUS_UNKNOWN_TEXT_NUMBER 21

typedef struct QpuStatusText
{
    const char* english;
    int32_t number; /* in the PRT_STATUS texts */
} QpuStatusText;

/* Indexed by status code. */
static const QpuStatusText kQpuStatusTexts[QPU_STATUS_CODE_COUNT] = {
    {"Online", 0},
    {"Offline", 1},
    {"Cannot Get Status", 2},
    {"Fatal Error", 3},
    {"Recoverable error", 4},
    {"Auto recoverable error", 5},
    {"Cover is open", 6},
    {"Out of paper", 7},
    {"Out of journal", 8},
    {"Auto cutter error", 9},
    {"No Ink Cartridge 1", 10},
    {"No Ink Cartridge 2", 11},
    {"Out of ink 1", 12},
    {"Out of ink 2", 13},
    {"Feeding paper", 14},
    {"Cleaning", 27},
    {"Offline", 15},
    {"Awaiting paper removal", 16},
    {"Paper near-end", 17},
    {"Journal near-end", 18},
    {"Ink 1 near-end", 19},
    {"Ink 2 near-end", 20},
    {"Paper layout error", 29},
};

/* The text of a status code, or null outside 0..22. */
static inline const QpuStatusText* qpu_status_text(int32_t code)
{
    return code >= 0 && code < QPU_STATUS_CODE_COUNT ? &kQpuStatusTexts[code] : 0;
}
