#include "io_util.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

using namespace qpr60;

TEST(IoUtil, HostAndPortForms)
{
    std::string host;
    std::string port;
    ASSERT_TRUE(splitHostPort("127.0.0.2:9100", host, port));
    EXPECT_EQ(host, "127.0.0.2");
    EXPECT_EQ(port, "9100");
    ASSERT_TRUE(splitHostPort("[::1]:0", host, port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, "0");
    for (const char* bad : {"127.0.0.1", "127.0.0.1:", ":9100", "127.0.0.1:65536", "127.0.0.1:9x",
                            "127.0.0.1:123456", "[::1]9100", "[::1", "[]:1"})
        EXPECT_FALSE(splitHostPort(bad, host, port)) << bad;
}

TEST(IoUtil, BindRefusesNamesAndReportsTheChosenPort)
{
    std::string error;
    EXPECT_FALSE(bindSocket("localhost:0", SOCK_STREAM, error).valid());
    EXPECT_NE(error.find("localhost"), std::string::npos) << error;

    error.clear();
    const posix::UniqueFd fd = bindSocket("127.0.0.1:0", SOCK_DGRAM, error);
    ASSERT_TRUE(fd.valid()) << error;
    std::string host;
    uint16_t port = 0;
    const std::string text = localAddressText(fd.get(), host, port);
    EXPECT_EQ(text, "127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_NE(port, 0);
}

TEST(IoUtil, HexAndTime)
{
    const uint8_t bytes[] = {0x00, 0x1D, 0xFF};
    EXPECT_EQ(hexText(bytes, 3), "00 1D FF");
    EXPECT_EQ(hexText(bytes, 3, ""), "001DFF");
    EXPECT_EQ(hexText(bytes, 0), "");
    const std::string now = utcNow(); // 2026-12-08T00:11:35.295Z
    ASSERT_EQ(now.size(), 24u) << now;
    EXPECT_EQ(now[10], 'T');
    EXPECT_EQ(now[19], '.');
    EXPECT_EQ(now.back(), 'Z');
}
