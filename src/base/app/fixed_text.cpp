#include "app/fixed_text.h"

#include <algorithm>

bool SetFixedText(QpuChar16 (&field)[QPU_TEXT_UNITS], const QString& text)
{
    if (text.size() > QPU_TEXT_MAX_CHARS || text.contains(QChar(0)))
        return false;
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    std::fill(std::copy(units, units + text.size(), field), field + QPU_TEXT_UNITS, u'\0');
    return true;
}

QString FixedText(const QpuChar16 (&field)[QPU_TEXT_UNITS])
{
    const QpuChar16* end = std::find(field, field + QPU_TEXT_UNITS, u'\0');
    return QString::fromUtf16(field, end - field);
}
