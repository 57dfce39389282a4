#pragma once

// Code page 437, the 8-bit character set of the printer's texts (names, firmware text,
// character set). Bytes 0x00-0x7F are ASCII, control characters included; 0x80-0xFF are
// the accented letters, box drawing and mathematical signs of the code page. Every
// character of the code page is one UTF-16 unit.
namespace posix::cp437 {

// The character of a byte.
char16_t ToUnicode(unsigned char byte);

// The byte of a character, or -1 when the code page has no such character.
int FromUnicode(char16_t unit);

} // namespace posix::cp437
