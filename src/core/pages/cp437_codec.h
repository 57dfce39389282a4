#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The printer's 8-bit texts (names, firmware text, character set) use code page 437.
// Bytes 0x00-0x7F are ASCII, control characters included; 0x80-0xFF are the accented
// letters, box drawing and mathematical signs of the code page.
namespace cp437 {

// The byte written for a character that the code page cannot represent.
inline constexpr char kReplacement = '?';

// Decodes every byte of text; each byte gives exactly one UTF-16 unit.
QString Decode(QByteArrayView text);
// Decodes up to the first zero byte, or the whole view when it holds none.
QString DecodeZeroTerminated(QByteArrayView text);
// Encodes text character by character; characters outside the code page (a surrogate
// pair counts as one character) become kReplacement.
QByteArray Encode(QStringView text);

} // namespace cp437
