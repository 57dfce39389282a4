#pragma once

#include <qpu/qpu_types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace qpcomm {

// The fixed text fields of the binary records hold UTF-16; the library works in UTF-8.
std::string toUtf8(const QpuChar16* text, std::size_t maxUnits = QPU_TEXT_UNITS);
std::u16string toUtf16(std::string_view utf8);

// Copies text into a field of `units` code units, cut to units - 1 and zero-terminated.
void copyToField(std::string_view utf8, QpuChar16* field, std::size_t units = QPU_TEXT_UNITS);

// Whether two text fields hold the same text (compared up to the terminator or `units`).
bool sameField(const QpuChar16* a, const QpuChar16* b, std::size_t units = QPU_TEXT_UNITS);

// Code page 437 bytes as UTF-8 (the printer's 8-bit texts).
std::string fromCodePage437(std::string_view bytes);

} // namespace qpcomm
