/* The texts of the printer status codes 0 to 22 that the communication library reports:
 * the English text, its number in the "PRT_STATUS" language section and the kind of
 * condition, which gives its colour. The status strip and the printer information page
 * show the same text in the same colour for a code. */
#pragma once

#include "qpu_types.h"

#define QPU_STATUS_CODE_COUNT 23
/* Number of the text shown for a code outside 0..22 ("Unknown"). */
#define QPU_STATUS_UNKNOWN_TEXT_NUMBER 21

/* Kinds of condition: Online; one the printer prints through or that ends by itself
 * (feeding paper, cleaning, awaiting paper removal, the near-ends); one that stops printing
 * (offline, errors, cover open, paper or ink out, no status). */
#define QPU_STATUS_KIND_ONLINE 0
#define QPU_STATUS_KIND_WARNING 1
#define QPU_STATUS_KIND_STOPPED 2

typedef struct QpuStatusText
{
    const char* english;
    int32_t number; /* in the PRT_STATUS texts */
    int32_t kind;   /* QPU_STATUS_KIND_* */
} QpuStatusText;

/* Indexed by status code. */
static const QpuStatusText kQpuStatusTexts[QPU_STATUS_CODE_COUNT] = {
    {"Online", 0, QPU_STATUS_KIND_ONLINE},
    {"Offline", 1, QPU_STATUS_KIND_STOPPED},
    {"Cannot Get Status", 2, QPU_STATUS_KIND_STOPPED},
    {"Fatal Error", 3, QPU_STATUS_KIND_STOPPED},
    {"Recoverable error", 4, QPU_STATUS_KIND_STOPPED},
    {"Auto recoverable error", 5, QPU_STATUS_KIND_STOPPED},
    {"Cover is open", 6, QPU_STATUS_KIND_STOPPED},
    {"Out of paper", 7, QPU_STATUS_KIND_STOPPED},
    {"Out of journal", 8, QPU_STATUS_KIND_STOPPED},
    {"Auto cutter error", 9, QPU_STATUS_KIND_STOPPED},
    {"No Ink Cartridge 1", 10, QPU_STATUS_KIND_STOPPED},
    {"No Ink Cartridge 2", 11, QPU_STATUS_KIND_STOPPED},
    {"Out of ink 1", 12, QPU_STATUS_KIND_STOPPED},
    {"Out of ink 2", 13, QPU_STATUS_KIND_STOPPED},
    {"Feeding paper", 14, QPU_STATUS_KIND_WARNING},
    {"Cleaning", 27, QPU_STATUS_KIND_WARNING},
    {"Offline", 15, QPU_STATUS_KIND_STOPPED},
    {"Awaiting paper removal", 16, QPU_STATUS_KIND_WARNING},
    {"Paper near-end", 17, QPU_STATUS_KIND_WARNING},
    {"Journal near-end", 18, QPU_STATUS_KIND_WARNING},
    {"Ink 1 near-end", 19, QPU_STATUS_KIND_WARNING},
    {"Ink 2 near-end", 20, QPU_STATUS_KIND_WARNING},
    {"Paper layout error", 29, QPU_STATUS_KIND_STOPPED},
};

/* The colour of a kind of condition, 0xRRGGBB: green, amber, red. */
static inline uint32_t qpu_status_kind_rgb(int32_t kind)
{
    return kind == QPU_STATUS_KIND_ONLINE    ? 0x007000u
           : kind == QPU_STATUS_KIND_WARNING ? 0xA05000u
                                             : 0xB00000u;
}

/* The text of a status code, or null outside 0..22. */
static inline const QpuStatusText* qpu_status_text(int32_t code)
{
    return code >= 0 && code < QPU_STATUS_CODE_COUNT ? &kQpuStatusTexts[code] : 0;
}
