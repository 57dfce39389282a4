#include "pages/cp437_codec.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

QByteArray AllBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    return bytes;
}

TEST(Cp437, EveryByteRoundTrips)
{
    const QString decoded = cp437::Decode(AllBytes());
    ASSERT_EQ(decoded.size(), 256);
    EXPECT_EQ(cp437::Encode(decoded), AllBytes());
    QSet<char16_t> units;
    for (const QChar unit : decoded)
        units.insert(unit.unicode());
    EXPECT_EQ(units.size(), 256) << "every byte has a character of its own";
}

TEST(Cp437, KnownCharacters)
{
    const QString decoded = cp437::Decode(AllBytes());
    EXPECT_EQ(decoded[0x00], QChar(0x0000));
    EXPECT_EQ(decoded[0x1B], QChar(0x001B)) << "control bytes stay control characters";
    EXPECT_EQ(decoded[0x7F], QChar(0x007F));
    EXPECT_EQ(decoded[0x80], QChar(0x00C7));
    EXPECT_EQ(decoded[0x9E], QChar(0x20A7));
    EXPECT_EQ(decoded[0x9F], QChar(0x0192));
    EXPECT_EQ(decoded[0xB0], QChar(0x2591));
    EXPECT_EQ(decoded[0xC5], QChar(0x253C));
    EXPECT_EQ(decoded[0xE1], QChar(0x00DF));
    EXPECT_EQ(decoded[0xE6], QChar(0x00B5));
    EXPECT_EQ(decoded[0xFA], QChar(0x00B7));
    EXPECT_EQ(decoded[0xFF], QChar(0x00A0));
}

TEST(Cp437, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(cp437::Encode(QStringLiteral(u"a\u0100b")), QByteArray("a?b"));
    EXPECT_EQ(cp437::Encode(QStringLiteral(u"\U0001F600x")), QByteArray("?x"))
        << "a surrogate pair is one character";
    EXPECT_EQ(cp437::Encode(QString(QChar(0xD800)) + "x"), QByteArray("?x"));
    EXPECT_EQ(cp437::Encode(QStringLiteral(u"\u00E9\u00A0")), QByteArray("\x82\xFF"));
}

TEST(Cp437, ZeroTerminatedDecodingStopsAtTheFirstZero)
{
    EXPECT_EQ(cp437::DecodeZeroTerminated(QByteArrayView("ab\0cd", 5)), "ab");
    EXPECT_EQ(cp437::DecodeZeroTerminated(QByteArrayView("abc", 3)), "abc");
    EXPECT_EQ(cp437::Decode(QByteArrayView("ab\0cd", 5)).size(), 5);
}

} // namespace
