#include "serial_transport.h"

#include <qpu/comm_lib.h>

#include <gtest/gtest.h>

#include <termios.h>

using qpcomm::SerialSettings;
using qpcomm::serialSettingsFromCodes;

TEST(SerialSettings, CodesOfTheAddPortListsAreAccepted)
{
    SerialSettings settings;
    for (int bits = 5; bits <= 8; ++bits) {
        ASSERT_TRUE(serialSettingsFromCodes(1, bits, 19200, QPC_PARITY_EVEN, &settings)) << bits;
        EXPECT_EQ(settings.dataBits, bits);
        EXPECT_EQ(settings.baudRate, 19200);
        EXPECT_EQ(settings.parity, QPC_PARITY_EVEN);
    }
}

TEST(SerialSettings, CodesOutsideTheListsAreRefused)
{
    SerialSettings settings;
    EXPECT_FALSE(serialSettingsFromCodes(1, 4, 9600, QPC_PARITY_NONE, &settings));
    EXPECT_FALSE(serialSettingsFromCodes(1, 9, 9600, QPC_PARITY_NONE, &settings));
    EXPECT_FALSE(serialSettingsFromCodes(1, 8, 9601, QPC_PARITY_NONE, &settings));
    EXPECT_FALSE(serialSettingsFromCodes(1, 8, 9600, 3, &settings));
    // Without serial parameters the codes are not looked at: 9600 baud, 8 bits, no parity.
    ASSERT_TRUE(serialSettingsFromCodes(0, 0, 0, 0, &settings));
    EXPECT_EQ(settings.baudRate, 9600);
    EXPECT_EQ(settings.dataBits, 8);
}

// The chosen line settings become the terminal settings. (A pseudo-terminal always runs
// with 8 bits and no parity, so the settings are checked before they are applied.)
TEST(SerialSettings, SettingsBecomeTerminalFlags)
{
    const struct
    {
        int bits;
        tcflag_t size;
    } cases[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
    for (const auto& c : cases) {
        SerialSettings settings;
        settings.dataBits = c.bits;
        settings.baudRate = 38400;
        settings.parity = QPC_PARITY_ODD;
        termios tio{};
        tio.c_cflag = CSTOPB | CRTSCTS;
        tio.c_iflag = IXON;
        qpcomm::applySerialSettings(settings, &tio);
        EXPECT_EQ(tio.c_cflag & CSIZE, c.size) << c.bits << " data bits";
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD), tcflag_t(PARENB | PARODD));
        EXPECT_EQ(tio.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(0));
        EXPECT_EQ(tio.c_iflag & IXON, tcflag_t(0));
        EXPECT_EQ(cfgetospeed(&tio), speed_t(B38400));
    }
    SerialSettings even;
    even.parity = QPC_PARITY_EVEN;
    even.rtsCts = true;
    termios tio{};
    qpcomm::applySerialSettings(even, &tio);
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD), tcflag_t(PARENB));
    EXPECT_EQ(tio.c_cflag & CRTSCTS, tcflag_t(CRTSCTS));
}
