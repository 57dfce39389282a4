/* Common definitions for the binary contracts between the QP-R60 Utility, its
 * communication library, its printer information library and setting-page plug-ins.
 * Usable from C (C11) and C++. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define QPU_EXTERN_C extern "C"
#define QPU_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
/* UTF-16 code unit of the fixed text fields. */
typedef char16_t QpuChar16;
#else
#define QPU_EXTERN_C
#define QPU_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
typedef uint16_t QpuChar16;
#endif

/* Symbols that a library or plug-in exports; everything else stays hidden. */
#define QPU_EXPORT QPU_EXTERN_C __attribute__((visibility("default")))

/* Fixed text fields hold at most 259 UTF-16 units and a terminating zero. */
#define QPU_TEXT_UNITS 260
#define QPU_TEXT_MAX_CHARS 259

/* Width of a pointer slot in the records that hold pointers (AppState, CommLibTable):
 * 4 on a 32-bit build, where every offset equals the original layout, 8 on 64-bit. */
#define QPU_PTR_SIZE ((size_t)sizeof(void*))
