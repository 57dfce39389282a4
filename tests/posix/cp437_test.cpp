#include "posix/cp437.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using posix::cp437::FromUnicode;
using posix::cp437::ToUnicode;

TEST(Cp437, EveryByteHasACharacterOfItsOwnThatEncodesBackToIt)
{
    std::set<char16_t> units;
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t unit = ToUnicode(static_cast<unsigned char>(byte));
        if (byte < 0x80) {
            EXPECT_EQ(unit, byte) << "bytes below 0x80 are themselves";
        }
        EXPECT_EQ(FromUnicode(unit), byte) << "byte " << byte;
        units.insert(unit);
    }
    EXPECT_EQ(units.size(), 256u);
}

TEST(Cp437, KnownCharacters)
{
    const struct
    {
        unsigned char byte;
        char16_t unit;
    } cases[] = {
        {0x00, 0x0000}, {0x1B, 0x001B}, {0x7F, 0x007F}, {0x80, 0x00C7},
        {0x9E, 0x20A7}, {0x9F, 0x0192}, {0xB0, 0x2591}, {0xC5, 0x253C},
        {0xE1, 0x00DF}, {0xE6, 0x00B5}, {0xFA, 0x00B7}, {0xFF, 0x00A0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUnicode(c.byte), c.unit) << "byte " << int(c.byte);
}

TEST(Cp437, CharactersOutsideTheCodePageHaveNoByte)
{
    for (const char16_t unit : {0x0100, 0x00A4, 0x20AC, 0xD800, 0xDC00, 0xFFFD})
        EXPECT_EQ(FromUnicode(unit), -1) << "unit " << int(unit);
}

} // namespace
