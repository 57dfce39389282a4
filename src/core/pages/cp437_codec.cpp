#include "pages/cp437_codec.h"

#include "posix/cp437.h"

namespace cp437 {
namespace {

// The byte of a character, or kReplacement when the code page has none.
char EncodeUnit(char16_t unit)
{
    const int byte = posix::cp437::FromUnicode(unit);
    return byte < 0 ? kReplacement : char(byte);
}

} // namespace

QString Decode(QByteArrayView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* unit = out.data();
    for (const char byte : text)
        *unit++ = QChar(posix::cp437::ToUnicode(static_cast<unsigned char>(byte)));
    return out;
}

QString DecodeZeroTerminated(QByteArrayView text)
{
    const qsizetype end = text.indexOf('\0');
    return Decode(end < 0 ? text : text.first(end));
}

QByteArray Encode(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += kReplacement;
            ++i;
            continue;
        }
        out += EncodeUnit(unit.unicode());
    }
    return out;
}

} // namespace cp437
