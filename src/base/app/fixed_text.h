#pragma once

#include <qpu/qpu_types.h>

#include <QString>

// Texts of the fixed records (AppState, PortInfo): UTF-16, at most 259 units and a
// terminating zero in a field of 260 units.

// Stores text with its terminating zero and clears the rest of the field. A text that does
// not fit (more than 259 units) or that holds a zero unit would come back as a different
// value; it is refused, the field keeps its old contents and the result is false.
bool SetFixedText(QpuChar16 (&field)[QPU_TEXT_UNITS], const QString& text);

// The text of a field, up to its first zero unit; a field without one (written by code
// outside the program) is read to its end, never beyond.
QString FixedText(const QpuChar16 (&field)[QPU_TEXT_UNITS]);
