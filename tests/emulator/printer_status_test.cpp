#include "printer_status.h"

#include <gtest/gtest.h>

#include <array>

using namespace qpr60;

namespace {

struct CodeRow
{
    int code;
    std::array<uint8_t, 8> realTime; // answers to 10 04 1..8
    AutoStatus asb;
};

// The bytes each status code must produce, worked out by hand from the documented layout.
const CodeRow kRows[] = {
    {0, {0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12}, {0x10, 0x00, 0x00, 0x00}},
    {1, {0x1A, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12}, {0x18, 0x00, 0x00, 0x00}},
    {3, {0x1A, 0x52, 0x32, 0x12, 0x12, 0x12, 0x12, 0x12}, {0x18, 0x20, 0x00, 0x00}},
    {4, {0x1A, 0x52, 0x16, 0x12, 0x12, 0x12, 0x12, 0x12}, {0x18, 0x04, 0x00, 0x00}},
    {5, {0x1A, 0x52, 0x52, 0x12, 0x12, 0x12, 0x12, 0x12}, {0x18, 0x40, 0x00, 0x00}},
    {6, {0x1A, 0x16, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12}, {0x38, 0x00, 0x00, 0x00}},
    {7, {0x1A, 0x32, 0x12, 0x7E, 0x12, 0x12, 0x12, 0x12}, {0x18, 0x00, 0x0F, 0x00}},
    {8, {0x1A, 0x12, 0x12, 0x12, 0x7E, 0x12, 0x12, 0x12}, {0x18, 0x00, 0x60, 0x00}},
    {9, {0x1A, 0x52, 0x1A, 0x12, 0x12, 0x12, 0x12, 0x12}, {0x18, 0x08, 0x00, 0x00}},
    {10, {0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x32, 0x12}, {0x10, 0x00, 0x00, 0x03}},
    {11, {0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x32}, {0x10, 0x00, 0x00, 0x0C}},
    {12, {0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x1A, 0x12}, {0x10, 0x00, 0x00, 0x02}},
    {13, {0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x1A}, {0x10, 0x00, 0x00, 0x08}},
    {14, {0x5A, 0x1A, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12}, {0x58, 0x00, 0x00, 0x00}},
    {15, {0x12, 0x12, 0x12, 0x12, 0x12, 0x1A, 0x12, 0x12}, {0x10, 0x01, 0x00, 0x00}},
    {16, {0x3A, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12}, {0x1C, 0x00, 0x00, 0x00}},
    {17, {0x1A, 0x12, 0x12, 0x12, 0x12, 0x16, 0x12, 0x12}, {0x18, 0x02, 0x00, 0x00}},
    {18, {0x12, 0x12, 0x12, 0x1E, 0x12, 0x12, 0x12, 0x12}, {0x10, 0x00, 0x03, 0x00}},
    {19, {0x12, 0x12, 0x12, 0x12, 0x1E, 0x12, 0x12, 0x12}, {0x10, 0x00, 0x20, 0x00}},
    {20, {0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x16, 0x12}, {0x10, 0x00, 0x00, 0x01}},
    {21, {0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x16}, {0x10, 0x00, 0x00, 0x04}},
    {22, {0x1A, 0x12, 0x12, 0x12, 0x12, 0x32, 0x12, 0x12}, {0x18, 0x00, 0x00, 0x20}},
};

bool isLasting(int code)
{
    return code == 10 || code == 11 || code == 12 || code == 13 || code == 15 || code == 20 ||
           code == 21;
}

// What a reader that sees only the four automatic-status bytes makes of them, following
// the rules written down for library authors.
std::pair<int, int> decodeAutoStatus(const AutoStatus& s)
{
    int ordinary = 0;
    if (s[1] & 0x20)
        ordinary = 3;
    else if (s[1] & 0x04)
        ordinary = 4;
    else if (s[1] & 0x08)
        ordinary = 9;
    else if (s[1] & 0x40)
        ordinary = 5;
    else if (s[0] & 0x20)
        ordinary = 6;
    else if ((s[2] & 0x0C) == 0x0C)
        ordinary = 7;
    else if ((s[2] & 0x40))
        ordinary = 8;
    else if (s[3] & 0x20)
        ordinary = 22;
    else if (s[1] & 0x02)
        ordinary = 17;
    else if (s[0] & 0x40)
        ordinary = 14;
    else if (s[0] & 0x04)
        ordinary = 16;
    else if (s[0] & 0x08)
        ordinary = 1;
    else if ((s[2] & 0x03) == 0x03)
        ordinary = 18;
    else if (s[2] & 0x20)
        ordinary = 19;
    const int ink1 = s[3] & 3;
    const int ink2 = (s[3] >> 2) & 3;
    int lasting = 100;
    if (ink1 == 3)
        lasting = 10;
    else if (ink2 == 3)
        lasting = 11;
    else if (ink1 == 2)
        lasting = 12;
    else if (ink2 == 2)
        lasting = 13;
    else if (s[1] & 0x01)
        lasting = 15;
    else if (ink1 == 1)
        lasting = 20;
    else if (ink2 == 1)
        lasting = 21;
    return {ordinary, lasting};
}

void expectFraming(const PrinterConditions& c)
{
    for (int n = 1; n <= 8; ++n)
        EXPECT_EQ(*realTimeStatus(c, n) & 0x93, 0x12) << "n=" << n;
    const AutoStatus s = autoStatus(c);
    EXPECT_EQ(s[0] & 0x93, 0x10);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(s[i] & 0x90, 0x00) << "byte " << i + 1;
}

} // namespace

TEST(PrinterStatus, EachStatusCodeHasItsDocumentedBytes)
{
    for (const CodeRow& row : kRows) {
        SCOPED_TRACE("code " + std::to_string(row.code));
        const auto c = conditionsForCode(row.code);
        ASSERT_TRUE(c.has_value());
        for (int n = 1; n <= 8; ++n)
            EXPECT_EQ(*realTimeStatus(*c, n), row.realTime[n - 1]) << "n=" << n;
        EXPECT_EQ(autoStatus(*c), row.asb);
        if (isLasting(row.code)) {
            EXPECT_EQ(lastingStatusCode(*c), row.code);
            EXPECT_EQ(ordinaryStatusCode(*c), 0);
        } else {
            EXPECT_EQ(ordinaryStatusCode(*c), row.code);
            EXPECT_EQ(lastingStatusCode(*c), kNoLastingCode);
        }
        const auto [ordinary, lasting] = decodeAutoStatus(row.asb);
        EXPECT_EQ(isLasting(row.code) ? lasting : ordinary, row.code);
    }
    EXPECT_FALSE(conditionsForCode(2).has_value()); // only silence gives "Cannot Get Status"
    EXPECT_FALSE(conditionsForCode(23).has_value());
    EXPECT_FALSE(conditionsForCode(-1).has_value());
}

TEST(PrinterStatus, FramingHoldsForEveryCombination)
{
    // Every on/off flag together with every paper and ink state keeps the fixed bits.
    for (int mask = 0; mask < (1 << 11); mask += 37) {
        for (int paper = 0; paper < 3; ++paper) {
            for (int ink = 0; ink < 4; ++ink) {
                PrinterConditions c;
                bool* flags[] = {&c.offline,     &c.coverOpen,        &c.cutterError,
                                 &c.fatalError,  &c.recoverableError, &c.autoRecoverableError,
                                 &c.feeding,     &c.waitingRecovery,  &c.awaitingRemoval,
                                 &c.layoutError, &c.cleaning};
                for (int b = 0; b < 11; ++b)
                    *flags[b] = (mask >> b) & 1;
                c.paper = static_cast<PaperState>(paper);
                c.journal = static_cast<PaperState>(2 - paper);
                c.ink = {static_cast<InkState>(ink), static_cast<InkState>(3 - ink)};
                expectFraming(c);
                const auto [ordinary, lasting] = decodeAutoStatus(autoStatus(c));
                EXPECT_EQ(ordinary, ordinaryStatusCode(c));
                EXPECT_EQ(lasting, lastingStatusCode(c));
            }
        }
    }
}

TEST(PrinterStatus, PriorityAndOfflineCauses)
{
    PrinterConditions c;
    c.paper = PaperState::NearEnd;
    c.ink[1] = InkState::NearEnd;
    EXPECT_EQ(ordinaryStatusCode(c), 18);
    EXPECT_FALSE(isOffline(c)); // near-ends do not stop the printer
    c.coverOpen = true;
    EXPECT_EQ(ordinaryStatusCode(c), 6);
    c.fatalError = true;
    EXPECT_EQ(ordinaryStatusCode(c), 3);
    c.ink[0] = InkState::Out;
    EXPECT_EQ(lastingStatusCode(c), 12); // the lower code outranks
    c.ink[1] = InkState::NoCartridge;
    EXPECT_EQ(lastingStatusCode(c), 11);

    PrinterConditions restarting;
    restarting.restarting = true;
    EXPECT_TRUE(isOffline(restarting));
    EXPECT_EQ(ordinaryStatusCode(restarting), 1);
}
