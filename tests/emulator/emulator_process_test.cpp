// Tests of the qpr60-emulator program as a child process, on loopback and pseudo-terminals.
#include "emulator_process.h"
#include "printer_status.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using qpr60test::Bytes;
using qpr60test::ByteStream;
using qpr60test::EmulatorProcess;
using qpr60test::hexBytes;

namespace {

// How long a test waits to be sure that nothing comes.
constexpr int kQuietMs = 300;

Bytes textAnswer(uint8_t header, const std::string& text)
{
    Bytes out;
    out.reserve(text.size() + 2);
    out.push_back(header);
    for (const char c : text)
        out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
    return out;
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Asks with `request` and reads exactly `count` answer bytes.
Bytes ask(ByteStream& stream, std::string_view request, size_t count, int timeoutMs = 2000)
{
    EXPECT_TRUE(stream.write(request));
    return stream.read(count, timeoutMs);
}

class EmulatorTcp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_printer.start({"--tcp", "127.0.0.1:0", "--restart-ms", "200"}))
            << m_printer.error();
        m_stream = m_printer.connectTcp();
        ASSERT_TRUE(m_stream.valid());
    }
    void TearDown() override { m_printer.stop(); }

    EmulatorProcess m_printer;
    ByteStream m_stream;
};

} // namespace

TEST_F(EmulatorTcp, AnswersIdentity)
{
    EXPECT_EQ(ask(m_stream, "1D 49 43", 8), textAnswer(0x5F, "QP-R60"));
    EXPECT_EQ(ask(m_stream, "1D 49 41", 20), textAnswer(0x5F, "ESC/VRK-A Ver.1.00"));
    EXPECT_EQ(ask(m_stream, "1D 49 42", 7), textAnswer(0x5F, "VORKA"));
    EXPECT_EQ(ask(m_stream, "1D 49 44", 12), textAnswer(0x5F, "QPR6000001"));
    EXPECT_EQ(ask(m_stream, "1D 49 45", 12), textAnswer(0x5F, "South Asia"));
    EXPECT_EQ(ask(m_stream, "1D 49 01", 1), Bytes{0x60});
    // An unknown n gets no answer; the next request is answered normally.
    EXPECT_EQ(ask(m_stream, "1D 49 46 1D 49 01", 1), Bytes{0x60});
    EXPECT_TRUE(m_stream.read(1, kQuietMs).empty());

    EXPECT_EQ(m_printer.control("model QP-R80 Plus"), "OK");
    EXPECT_EQ(m_printer.control("model"), "OK QP-R80 Plus");
    EXPECT_EQ(ask(m_stream, "1D 49 43", 13), textAnswer(0x5F, "QP-R80 Plus"));
    EXPECT_TRUE(m_stream.read(1, kQuietMs).empty());
    EXPECT_EQ(m_printer.control("modelid 7"), "OK");
    EXPECT_EQ(ask(m_stream, "1D 49 31", 1), Bytes{0x07});
}

TEST(Emulator, IdentityFromTheCommandLine)
{
    EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.3:0", "--model", "QP-X1", "--serial", "S 42",
                               "--firmware", "ESC/VRK Ver.9", "--model-id", "200"}))
        << printer.error();
    EXPECT_EQ(printer.tcpHost(), "127.0.0.3");
    ByteStream s = printer.connectTcp();
    EXPECT_EQ(ask(s, "1D 49 43 1D 49 44 1D 49 41 1D 49 01", 7 + 6 + 15 + 1), [] {
        Bytes all = textAnswer(0x5F, "QP-X1");
        for (const Bytes& b :
             {textAnswer(0x5F, "S 42"), textAnswer(0x5F, "ESC/VRK Ver.9"), Bytes{200}})
            all.insert(all.end(), b.begin(), b.end());
        return all;
    }());
}

TEST_F(EmulatorTcp, RealTimeStatusForEveryCode)
{
    for (int code = 0; code <= qpr60::kHighestStatusCode; ++code) {
        if (code == qpr60::kNoAnswerCode)
            continue;
        SCOPED_TRACE("code " + std::to_string(code));
        ASSERT_EQ(m_printer.control("code " + std::to_string(code)), "OK");
        const auto expected = qpr60::conditionsForCode(code);
        ASSERT_TRUE(expected);
        Bytes wanted;
        for (int n = 1; n <= 8; ++n)
            wanted.push_back(*qpr60::realTimeStatus(*expected, n));
        EXPECT_EQ(ask(m_stream,
                      "10 04 01 10 04 02 10 04 03 10 04 04 10 04 05 10 04 06 10 04 07 10 04 08", 8),
                  wanted);
        const bool lasting = qpr60::lastingStatusCode(*expected) != qpr60::kNoLastingCode;
        EXPECT_EQ(m_printer.statusField(lasting ? "lasting" : "code"), std::to_string(code));
    }
    // Code 2 is a printer that does not answer at all.
    ASSERT_EQ(m_printer.control("code 2"), "OK");
    EXPECT_EQ(m_printer.statusField("code"), "2");
    EXPECT_TRUE(ask(m_stream, "10 04 01", 1, kQuietMs).empty());
    ASSERT_EQ(m_printer.control("code 0"), "OK");
    EXPECT_EQ(ask(m_stream, "10 04 01", 1), Bytes{0x12});
}

// The paper sensor status request 1D 72 1 (or 1D 72 31) gets one byte laid out as the
// real-time paper sensor status 10 04 4; it is no printed data. Another n is consumed
// without an answer.
TEST_F(EmulatorTcp, PaperSensorStatusRequestIsAnsweredWithOneByte)
{
    const struct
    {
        const char* condition;
        uint8_t answer;
    } rows[] = {{"paper ok", 0x12}, {"paper near", 0x1E}, {"paper end", 0x7E}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.condition);
        ASSERT_EQ(m_printer.control(row.condition), "OK");
        EXPECT_EQ(ask(m_stream, "1D 72 01", 1), Bytes{row.answer});
        EXPECT_EQ(ask(m_stream, "1D 72 31", 1), Bytes{row.answer});
        EXPECT_EQ(ask(m_stream, "10 04 04", 1), Bytes{row.answer});
    }
    ASSERT_EQ(m_printer.control("paper ok"), "OK");
    EXPECT_TRUE(ask(m_stream, "1D 72 02", 1, kQuietMs).empty());
    EXPECT_EQ(ask(m_stream, "1D 49 01", 1), Bytes{0x60}); // the stream is still in step
    EXPECT_EQ(m_printer.statusField("printed"), "0");
}

TEST_F(EmulatorTcp, ControlCommandsSetTheirConditions)
{
    struct Row
    {
        const char* command;
        const char* statusKey;
        const char* statusValue;
        int n;
        uint8_t realTime;
    };
    const Row rows[] = {
        {"offline on", "code", "1", 1, 0x1A},      {"cover open", "code", "6", 2, 0x16},
        {"paper end", "code", "7", 4, 0x7E},       {"paper near", "code", "18", 4, 0x1E},
        {"journal end", "code", "8", 5, 0x7E},     {"journal near", "code", "19", 5, 0x1E},
        {"cutter error", "code", "9", 3, 0x1A},    {"fatal on", "code", "3", 3, 0x32},
        {"recoverable on", "code", "4", 3, 0x16},  {"autorecover on", "code", "5", 3, 0x52},
        {"feed on", "code", "14", 2, 0x1A},        {"recovery on", "code", "16", 1, 0x3A},
        {"removal on", "code", "17", 6, 0x16},     {"layout on", "code", "22", 6, 0x32},
        {"cleaning on", "lasting", "15", 6, 0x1A}, {"ink 1 none", "lasting", "10", 7, 0x32},
        {"ink 2 none", "lasting", "11", 8, 0x32},  {"ink 1 out", "lasting", "12", 7, 0x1A},
        {"ink 2 out", "lasting", "13", 8, 0x1A},   {"ink 1 near", "lasting", "20", 7, 0x16},
        {"ink 2 near", "lasting", "21", 8, 0x16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        ASSERT_EQ(m_printer.control("clear"), "OK");
        ASSERT_EQ(m_printer.control(row.command), "OK");
        EXPECT_EQ(m_printer.statusField(row.statusKey), row.statusValue);
        const std::string request = "10 04 0" + std::to_string(row.n);
        EXPECT_EQ(ask(m_stream, request, 1), Bytes{row.realTime});
    }
    // Conditions add up; switching one off leaves the others.
    ASSERT_EQ(m_printer.control("clear"), "OK");
    m_printer.control("paper near");
    m_printer.control("cover open");
    EXPECT_EQ(m_printer.statusField("code"), "6");
    m_printer.control("cover close");
    EXPECT_EQ(m_printer.statusField("code"), "18");
}

TEST_F(EmulatorTcp, ControlErrors)
{
    EXPECT_EQ(m_printer.control("fly away").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_printer.control("cover ajar").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_printer.control("ink 3 out").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_printer.control("code 23").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_printer.control("slow -5").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_printer.control("memsw 9").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_printer.control("memsw 1 0101").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_printer.control("custom 5 65536").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_printer.control("send 1D4").rfind("ERR", 0), 0u);
    EXPECT_EQ(m_printer.control("").rfind("ERR", 0), 0u);
    // Nothing of that changed the printer.
    EXPECT_EQ(m_printer.statusField("code"), "0");
    EXPECT_EQ(m_printer.control("custom 5"), "OK 100");
}

TEST_F(EmulatorTcp, AutomaticStatusNowAndOnEveryChange)
{
    ByteStream quiet = m_printer.connectTcp();
    ASSERT_TRUE(quiet.valid());
    EXPECT_EQ(ask(m_stream, "1D 61 FF", 4), hexBytes("10 00 00 00"));
    m_printer.control("cover open");
    EXPECT_EQ(m_stream.read(4), hexBytes("38 00 00 00"));
    m_printer.control("paper near");
    EXPECT_EQ(m_stream.read(4), hexBytes("38 00 03 00"));
    m_printer.control("paper near"); // no change, no status
    m_printer.control("ink 2 out");
    EXPECT_EQ(m_stream.read(4), hexBytes("38 00 03 08"));
    m_printer.control("clear");
    EXPECT_EQ(m_stream.read(4), hexBytes("10 00 00 00"));
    // A status request between changes gets its own answer, never inside a block.
    m_printer.control("cleaning on");
    EXPECT_EQ(ask(m_stream, "10 04 06", 5), hexBytes("10 01 00 00 1A"));
    // Off: no more blocks. The session that never asked got none at all.
    EXPECT_TRUE(ask(m_stream, "1D 61 00", 1, kQuietMs).empty());
    m_printer.control("cover open");
    EXPECT_TRUE(m_stream.read(1, 300).empty());
    EXPECT_TRUE(quiet.read(1, 100).empty());
}

TEST_F(EmulatorTcp, CustomizedValuesAndMemorySwitches)
{
    EXPECT_EQ(ask(m_stream, "1D 28 45 02 00 06 05", 8), hexBytes("37 27 35 1F 31 30 30 00"));
    EXPECT_TRUE(m_stream.write("1D 28 45 04 00 05 05 39 30")); // 12345
    EXPECT_EQ(ask(m_stream, "1D 28 45 02 00 06 05", 10), hexBytes("37 27 35 1F 31 32 33 34 35 00"));
    EXPECT_EQ(m_printer.control("custom 5"), "OK 12345");
    EXPECT_EQ(ask(m_stream, "1D 28 45 02 00 04 08", 11),
              hexBytes("37 21 30 30 30 30 30 30 30 30 00"));
    EXPECT_TRUE(m_stream.write("1D 28 45 0A 00 03 08 31 31 30 30 31 31 30 30"));
    EXPECT_TRUE(m_stream.write("1D 28 45 0A 00 03 08 32 30 32 31 32 32 32 32"));
    EXPECT_EQ(ask(m_stream, "1D 28 45 02 00 04 08", 11),
              hexBytes("37 21 31 30 30 31 31 31 30 30 00"));
    EXPECT_EQ(m_printer.control("memsw 8"), "OK 10011100");
    // Memory switch 9 does not exist: no answer, nothing stored.
    EXPECT_TRUE(ask(m_stream, "1D 28 45 02 00 04 09", 1, kQuietMs).empty());
}

TEST(Emulator, SettingsPersistInTheStateFile)
{
    EmulatorProcess printer;
    const std::string state = printer.tempPath("printer.state");
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0", "--state", state})) << printer.error();
    {
        ByteStream s = printer.connectTcp();
        ASSERT_TRUE(
            s.write("1D 28 45 04 00 05 06 07 00 1D 28 45 0A 00 03 02 31 30 30 30 30 30 30 31"));
        EXPECT_EQ(ask(s, "1D 28 45 02 00 06 06", 6), hexBytes("37 27 36 1F 37 00"));
    }
    EXPECT_NE(fileText(state).find("custom 6=7\n"), std::string::npos);
    EXPECT_NE(fileText(state).find("memsw 2=10000001\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(state + ".tmp"));
    printer.stop();

    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0", "--state", state})) << printer.error();
    ByteStream s = printer.connectTcp();
    EXPECT_EQ(ask(s, "1D 28 45 02 00 06 06", 6), hexBytes("37 27 36 1F 37 00"));
    EXPECT_EQ(ask(s, "1D 28 45 02 00 04 02", 11), hexBytes("37 21 31 30 30 30 30 30 30 31 00"));
}

TEST(Emulator, CorruptStateFileStopsTheStartAndIsKept)
{
    EmulatorProcess printer;
    const std::string state = printer.tempPath("printer.state");
    std::ofstream(state) << "custom 6=7\nmemsw 2=1x000001\n";
    EXPECT_FALSE(printer.start({"--tcp", "127.0.0.1:0", "--state", state}));
    printer.waitExit();
    EXPECT_EQ(printer.exitStatus(), 2);
    EXPECT_NE(printer.stderrText().find("line 2"), std::string::npos) << printer.stderrText();
    EXPECT_EQ(fileText(state), "custom 6=7\nmemsw 2=1x000001\n");
}

TEST(Emulator, BadCommandLinesFail)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--tcp", "localhost:9100"},
        {"--tcp", "127.0.0.1"},
        {"--tcp", "127.0.0.1:70000"},
        {"--tcp", "127.0.0.1:0", "--model-id", "300"},
        {"--tcp", "127.0.0.1:0", "--frobnicate"},
        {"--tcp", "127.0.0.1:0", "--model"},
    };
    for (const auto& args : bad) {
        EmulatorProcess printer;
        EXPECT_FALSE(printer.start(args, false, 5000));
        printer.waitExit();
        EXPECT_EQ(printer.exitStatus(), 2);
        EXPECT_NE(printer.stderrText().find("qpr60-emulator: "), std::string::npos);
    }
    // An address already in use.
    EmulatorProcess first;
    ASSERT_TRUE(first.start({"--tcp", "127.0.0.1:0"})) << first.error();
    EmulatorProcess second;
    EXPECT_FALSE(
        second.start({"--tcp", "127.0.0.1:" + std::to_string(first.tcpPort())}, false, 5000));
    EXPECT_NE(second.stderrText().find("in use"), std::string::npos) << second.stderrText();
}

TEST(Emulator, RefusesToReplaceForeignFilesAndLiveSockets)
{
    EmulatorProcess first;
    ASSERT_TRUE(first.start({"--tcp", "127.0.0.1:0"})) << first.error();

    EmulatorProcess second;
    const std::string file = second.tempPath("precious.txt");
    std::ofstream(file) << "keep me";
    EXPECT_FALSE(second.start({"--pty", file}, false, 5000));
    EXPECT_NE(second.stderrText().find("not a link"), std::string::npos) << second.stderrText();
    EXPECT_EQ(fileText(file), "keep me");
    EXPECT_FALSE(second.start({"--tcp", "127.0.0.1:0", "--control", file}, false, 5000));
    EXPECT_EQ(fileText(file), "keep me");
    // The control socket of a running emulator is not taken over.
    EXPECT_FALSE(
        second.start({"--tcp", "127.0.0.1:0", "--control", first.controlPath()}, false, 5000));
    EXPECT_NE(second.stderrText().find("in use"), std::string::npos) << second.stderrText();
    EXPECT_EQ(first.control("status").rfind("OK", 0), 0u);

    // A socket left over from a run that ended without cleaning up is replaced.
    const std::string stale = second.tempPath("stale.sock");
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, stale.c_str(), stale.size());
        ByteStream socketFile(::socket(AF_UNIX, SOCK_STREAM, 0));
        ASSERT_EQ(::bind(socketFile.fd(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    ASSERT_TRUE(std::filesystem::exists(stale));
    EXPECT_TRUE(second.start({"--tcp", "127.0.0.1:0", "--control", stale}, false, 5000))
        << second.stderrText();
}

TEST(Emulator, HelpDocumentsOptionsAndControlCommands)
{
    EmulatorProcess holder;
    const std::string out = holder.tempPath("help.txt");
    const std::string command = EmulatorProcess::programPath() + " --help > " + out;
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string help = fileText(out);
    for (const char* word : {"--tcp",
                             "--pty",
                             "--control",
                             "--stdin-control",
                             "--discovery",
                             "--model ",
                             "--serial",
                             "--firmware",
                             "--state",
                             "--log",
                             "--restart-ms",
                             "--strict-user-mode",
                             "offline on|off",
                             "cover open|close",
                             "paper end|near|ok",
                             "cutter error|ok",
                             "fatal on|off",
                             "ink 1|2",
                             "cleaning",
                             "journal",
                             "silent on|off",
                             "slow MS",
                             "garbage on|off",
                             "drop",
                             "status",
                             "log clear",
                             "quit",
                             "VRKDISCOVER",
                             "10 04 n",
                             "1D 61 n",
                             "37 20 00",
                             "37 27",
                             "37 21"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST_F(EmulatorTcp, SilenceSlownessGarbageAndSplit)
{
    ASSERT_EQ(m_printer.control("silent on"), "OK");
    EXPECT_TRUE(ask(m_stream, "1D 49 43 10 04 01 1D 28 45 03 00 01 49 4E", 1, kQuietMs).empty());
    ASSERT_EQ(m_printer.control("silent off"), "OK");
    EXPECT_EQ(ask(m_stream, "10 04 01", 1), Bytes{0x12});

    ASSERT_EQ(m_printer.control("garbage on"), "OK");
    EXPECT_TRUE(m_stream.write("10 04 01 1D 49 43"));
    const Bytes garbage = m_stream.readUntilQuiet(300);
    EXPECT_EQ(garbage.size(), 4u + 8u); // a one-byte answer becomes four bytes
    for (const uint8_t b : garbage)
        EXPECT_GE(b, 0x80);
    ASSERT_EQ(m_printer.control("garbage off"), "OK");

    // Truncated: half of each answer; the one-byte status answer disappears.
    ASSERT_EQ(m_printer.control("truncate on"), "OK");
    EXPECT_TRUE(m_stream.write("1D 49 43 10 04 01"));
    EXPECT_EQ(m_stream.readUntilQuiet(kQuietMs), hexBytes("5F 51 50 2D"));
    ASSERT_EQ(m_printer.control("truncate off"), "OK");

    ASSERT_EQ(m_printer.control("slow 400"), "OK");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(m_stream.write("10 04 01"));
    EXPECT_TRUE(m_stream.read(1, 200).empty());
    EXPECT_EQ(m_stream.read(1, 3000), Bytes{0x12});
    EXPECT_GE(qpr60test::millisecondsSince(start), 390);

    // Split: one byte per write, spaced by the slow delay.
    ASSERT_EQ(m_printer.control("slow 60"), "OK");
    ASSERT_EQ(m_printer.control("split on"), "OK");
    const auto splitStart = std::chrono::steady_clock::now();
    EXPECT_EQ(ask(m_stream, "1D 49 43", 8), textAnswer(0x5F, "QP-R60"));
    EXPECT_GE(qpr60test::millisecondsSince(splitStart), 60 * 8 - 10);
    ASSERT_EQ(m_printer.control("clear"), "OK");
    EXPECT_EQ(m_printer.statusField("slow"), "0");
    EXPECT_EQ(m_printer.statusField("split"), "off");
}

TEST_F(EmulatorTcp, DropClosesConnectionsAndNewOnesWork)
{
    ByteStream second = m_printer.connectTcp();
    ASSERT_EQ(ask(second, "10 04 01", 1), Bytes{0x12});
    EXPECT_EQ(m_printer.statusField("tcp"), "2");
    ASSERT_EQ(m_printer.control("drop"), "OK");
    EXPECT_TRUE(m_stream.waitClosed());
    EXPECT_TRUE(second.waitClosed());
    ByteStream again = m_printer.connectTcp();
    EXPECT_EQ(ask(again, "10 04 01", 1), Bytes{0x12});
}

TEST_F(EmulatorTcp, UserSettingModeRestartsThePrinter)
{
    EXPECT_EQ(ask(m_stream, "1D 28 45 03 00 01 49 4E", 3), hexBytes("37 20 00"));
    EXPECT_EQ(m_printer.statusField("usermode"), "1");
    EXPECT_TRUE(m_stream.write("1D 28 45 04 00 05 06 02 00 1D 28 45 04 00 02 4F 55 54"));
    EXPECT_TRUE(m_stream.waitClosed());
    EXPECT_EQ(m_printer.control("custom 6"), "OK 2"); // the setting outlives the restart
    // A connection made during the restart is served once the printer is back.
    ByteStream next = m_printer.connectTcp();
    ASSERT_TRUE(next.valid());
    EXPECT_EQ(ask(next, "10 04 01 1D 61 01", 5), hexBytes("12 10 00 00 00"));
    EXPECT_EQ(m_printer.statusField("restarting"), "0");
    EXPECT_EQ(m_printer.statusField("usermode"), "0");
}

TEST(Emulator, StrictUserModeIgnoresSettingsOutsideIt)
{
    EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0", "--strict-user-mode"})) << printer.error();
    ByteStream s = printer.connectTcp();
    EXPECT_TRUE(ask(s, "1D 28 45 04 00 05 05 01 00 1D 28 45 02 00 06 05", 1, kQuietMs).empty());
    EXPECT_EQ(printer.control("custom 5"), "OK 100");
    EXPECT_EQ(ask(s, "1D 28 45 03 00 01 49 4E 1D 28 45 04 00 05 05 01 00 1D 28 45 02 00 06 05", 9),
              hexBytes("37 20 00 37 27 35 1F 31 00"));
}

TEST_F(EmulatorTcp, ReceivedBytesLogAndPrintedCount)
{
    ByteStream other = m_printer.connectTcp();
    ASSERT_TRUE(m_stream.write("48 65 6C 6C 6F 0A"));
    ASSERT_EQ(ask(m_stream, "1D 49 01", 1), Bytes{0x60}); // everything before was read
    ASSERT_TRUE(other.write("1B 40"));
    ASSERT_EQ(ask(other, "10 04 04", 1), Bytes{0x12});
    EXPECT_EQ(m_printer.receivedBytes(), hexBytes("48 65 6C 6C 6F 0A 1D 49 01 1B 40 10 04 04"));
    EXPECT_EQ(m_printer.statusField("printed"), "8");
    ASSERT_EQ(m_printer.control("log clear"), "OK");
    EXPECT_EQ(m_printer.control("log"), "OK");
    ASSERT_EQ(ask(other, "10 04 01", 1), Bytes{0x12});
    EXPECT_EQ(m_printer.receivedBytes(), hexBytes("10 04 01"));
}

TEST_F(EmulatorTcp, CommandsSplitAcrossWritesAreAnswered)
{
    const Bytes request = hexBytes("1D 28 45 02 00 06 05 1D 49 43 10 04 01");
    for (const uint8_t b : request) {
        ASSERT_TRUE(m_stream.write(Bytes{b}));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Bytes wanted = hexBytes("37 27 35 1F 31 30 30 00");
    const Bytes model = textAnswer(0x5F, "QP-R60");
    wanted.insert(wanted.end(), model.begin(), model.end());
    wanted.push_back(0x12);
    EXPECT_EQ(m_stream.read(wanted.size()), wanted);
    EXPECT_EQ(m_printer.receivedBytes(), request);
}

TEST_F(EmulatorTcp, SessionsAreIndependent)
{
    ByteStream other = m_printer.connectTcp();
    // Both ask at once; each gets only its own answers.
    ASSERT_TRUE(m_stream.write("1D 49 43"));
    ASSERT_TRUE(other.write("1D 49 01 1D 61 01"));
    EXPECT_EQ(m_stream.read(8), textAnswer(0x5F, "QP-R60"));
    EXPECT_EQ(other.read(5), hexBytes("60 10 00 00 00"));
    EXPECT_TRUE(m_stream.read(1, 200).empty());
    // A half-sent command on one session does not disturb the other.
    ASSERT_TRUE(m_stream.write("1D 28 45 02"));
    EXPECT_EQ(ask(other, "10 04 01", 1), Bytes{0x12});
    EXPECT_EQ(ask(m_stream, "00 06 05", 8), hexBytes("37 27 35 1F 31 30 30 00"));
}

TEST_F(EmulatorTcp, SendInjectsRawBytes)
{
    ASSERT_EQ(m_printer.control("send 5f 41 00"), "OK");
    EXPECT_EQ(m_stream.read(3), hexBytes("5F 41 00"));
}

TEST(Emulator, QuitEndsTheProcessAndRemovesItsFiles)
{
    EmulatorProcess printer;
    const std::string link = printer.tempPath("printer");
    ASSERT_TRUE(printer.start({"--pty", link})) << printer.error();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(printer.control("quit"), "OK");
    ASSERT_TRUE(printer.waitExit());
    EXPECT_EQ(printer.exitStatus(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_FALSE(std::filesystem::exists(printer.controlPath()));
}

TEST(Emulator, StdinControl)
{
    EmulatorProcess printer;
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0", "--stdin-control"}, false))
        << printer.error();
    EXPECT_EQ(printer.stdinControl("paper end"), "OK");
    ByteStream s = printer.connectTcp();
    EXPECT_EQ(ask(s, "10 04 04", 1), Bytes{0x7E});
    EXPECT_EQ(printer.stdinControl("nonsense").rfind("ERR", 0), 0u);
}

TEST(Emulator, LogFileRecordsEveryByte)
{
    EmulatorProcess printer;
    const std::string log = printer.tempPath("bytes.log");
    ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0", "--log", log})) << printer.error();
    ByteStream s = printer.connectTcp();
    ASSERT_EQ(ask(s, "1D 49 01", 1), Bytes{0x60});
    printer.control("status"); // the log line of the answer is written before this is read
    const std::string text = fileText(log);
    EXPECT_NE(text.find(" < tcp:127.0.0.1:"), std::string::npos) << text;
    EXPECT_NE(text.find(" 1D 49 01\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" > tcp:127.0.0.1:"), std::string::npos) << text;
    EXPECT_NE(text.find("Z "), std::string::npos) << text; // UTC time stamps
}

TEST(Emulator, PseudoTerminal)
{
    EmulatorProcess printer;
    const std::string link = printer.tempPath("ttyQP");
    ASSERT_TRUE(printer.start({"--pty", link})) << printer.error();
    EXPECT_EQ(printer.ptyLink(), link);
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), printer.ptyDevice());
    {
        ByteStream tty = ByteStream::openTty(link);
        ASSERT_TRUE(tty.valid());
        EXPECT_EQ(ask(tty, "1D 49 43", 8), textAnswer(0x5F, "QP-R60"));
        // Binary bytes pass unchanged (raw line): CR, LF, 0x11/0x13, 0x7F.
        EXPECT_EQ(ask(tty, "0D 0A 11 13 7F 10 04 01", 1), Bytes{0x12});
        EXPECT_EQ(ask(tty, "1D 61 01", 4), hexBytes("10 00 00 00"));
        printer.control("cover open");
        EXPECT_EQ(tty.read(4), hexBytes("38 00 00 00"));
        EXPECT_TRUE(ask(tty, "1D 61 00", 1, kQuietMs).empty());
    }
    // Closed and opened again: the emulator still serves it.
    ByteStream tty = ByteStream::openTty(link);
    ASSERT_TRUE(tty.valid());
    EXPECT_EQ(ask(tty, "10 04 02", 1), Bytes{0x16});
    EXPECT_EQ(printer.receivedBytes(),
              hexBytes("1D 49 43 0D 0A 11 13 7F 10 04 01 1D 61 01 1D 61 00 10 04 02"));

    // Drop hangs up the line and links a fresh one.
    const std::string before = printer.ptyDevice();
    ASSERT_EQ(printer.control("drop"), "OK");
    EXPECT_TRUE(tty.waitClosed());
    ByteStream fresh = ByteStream::openTty(link);
    ASSERT_TRUE(fresh.valid());
    EXPECT_EQ(ask(fresh, "10 04 01", 1), Bytes{0x1A});

    // SIGTERM ends it cleanly and takes the link and the control socket away.
    fresh.close();
    EXPECT_EQ(printer.stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    EXPECT_FALSE(std::filesystem::exists(printer.controlPath()));
}

TEST(Emulator, PseudoTerminalSurvivesUserModeRestart)
{
    EmulatorProcess printer;
    const std::string link = printer.tempPath("ttyQP");
    ASSERT_TRUE(printer.start({"--pty", link, "--restart-ms", "1500"})) << printer.error();
    ByteStream tty = ByteStream::openTty(link);
    ASSERT_TRUE(tty.valid());
    EXPECT_EQ(ask(tty, "1D 61 01 1D 28 45 03 00 01 49 4E", 7), hexBytes("10 00 00 00 37 20 00"));
    ASSERT_TRUE(tty.write("1D 28 45 04 00 02 4F 55 54 10 04"));
    // While it restarts the printer is deaf, also to the rest of a command begun before.
    EXPECT_TRUE(ask(tty, "01 10 04 01", 1, 100).empty());
    EXPECT_EQ(printer.statusField("restarting"), "1");
    EXPECT_EQ(printer.statusField("offline"), "1");
    const auto start = std::chrono::steady_clock::now();
    while (printer.statusField("restarting") != "0" && qpr60test::millisecondsSince(start) < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ask(tty, "10 04 01", 1), Bytes{0x12});
    // The automatic status was switched off by the restart.
    printer.control("cover open");
    EXPECT_TRUE(tty.read(1, kQuietMs).empty());
}

TEST(Emulator, DiscoveryAnswersTheRequesterOnly)
{
    EmulatorProcess printer;
    ASSERT_TRUE(
        printer.start({"--tcp", "127.0.0.2:0", "--discovery", "127.0.0.1:0", "--serial", "D-77"}))
        << printer.error();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    ByteStream udp(fd);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &local.sin_addr);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(printer.discoveryPort());
    ::inet_pton(AF_INET, "127.0.0.1", &target.sin_addr);
    auto request = [&](const std::string& text) {
        return ::sendto(fd, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&target),
                        sizeof target) == static_cast<ssize_t>(text.size());
    };

    ASSERT_TRUE(request("hello"));
    EXPECT_TRUE(udp.read(1, 200).empty()); // not a discovery request
    ASSERT_TRUE(request("VRKDISCOVER v1"));
    const Bytes reply = udp.readUntilQuiet(kQuietMs);
    const std::string text(reply.begin(), reply.end());
    EXPECT_EQ(text.rfind("VRKPRINTER\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nmodel=QP-R60\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nserial=D-77\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\naddress=127.0.0.2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nport=" + std::to_string(printer.tcpPort()) + "\n"), std::string::npos)
        << text;

    ASSERT_EQ(printer.control("discovery off"), "OK");
    ASSERT_TRUE(request("VRKDISCOVER"));
    EXPECT_TRUE(udp.read(1, 200).empty());
}

TEST_F(EmulatorTcp, LargeTextIsPrintedAndFullyLogged)
{
    // 200 kB of text: the log answer (three characters a byte) is far larger than a socket
    // buffer and must still arrive whole.
    Bytes text(200 * 1024);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<uint8_t>('A' + i % 26);
    ASSERT_TRUE(m_stream.write(text));
    ASSERT_EQ(ask(m_stream, "10 04 01", 1), Bytes{0x12});
    EXPECT_EQ(m_printer.statusField("printed"), std::to_string(text.size()));
    text.insert(text.end(), {0x10, 0x04, 0x01});
    EXPECT_EQ(m_printer.receivedBytes(), text);
}
