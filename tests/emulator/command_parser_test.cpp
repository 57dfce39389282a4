#include "command_parser.h"
#include "printer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using qpr60::CommandParser;
using qpr60::Printer;
using qpr60::PrinterCommand;
using Kind = qpr60::PrinterCommand::Kind;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> out;
    for (const int b : list)
        out.push_back(static_cast<uint8_t>(b));
    return out;
}

std::vector<PrinterCommand> parse(CommandParser& parser, const std::vector<uint8_t>& data)
{
    std::vector<PrinterCommand> out;
    parser.feed(data, [&](const PrinterCommand& c) { out.push_back(c); });
    return out;
}

// Every command of the subset, back to back, with printable text between.
std::vector<uint8_t> allCommands()
{
    std::vector<uint8_t> data = bytes({'A', 'B', 0x1D, 0x49, 0x43, 0x10, 0x04, 0x02, 0x1D, 0x61,
                                       0x01, 0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 'I', 'N'});
    for (const int b :
         {0x1D, 0x28, 0x45, 0x04, 0x00, 0x05, 0x07, 0x34, 0x12, 0x1D, 0x28, 0x45, 0x02, 0x00, 0x06,
          0x07, 0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 0x03, 0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, 0x02})
        data.push_back(static_cast<uint8_t>(b));
    for (const char c : std::string("10201201"))
        data.push_back(static_cast<uint8_t>(c));
    for (const int b :
         std::initializer_list<int>{'x', 0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 'O', 'U', 'T'})
        data.push_back(static_cast<uint8_t>(b));
    return data;
}

void expectAllCommands(const std::vector<PrinterCommand>& cmds)
{
    ASSERT_EQ(cmds.size(), 9u);
    EXPECT_EQ(cmds[0].kind, Kind::PrinterId);
    EXPECT_EQ(cmds[0].n, 0x43);
    EXPECT_EQ(cmds[1].kind, Kind::RealTimeStatus);
    EXPECT_EQ(cmds[1].n, 2);
    EXPECT_EQ(cmds[2].kind, Kind::AutoStatus);
    EXPECT_EQ(cmds[3].kind, Kind::EnterUserMode);
    EXPECT_EQ(cmds[4].kind, Kind::SetCustomized);
    EXPECT_EQ(cmds[4].n, 7);
    EXPECT_EQ(cmds[4].value, 0x1234);
    EXPECT_EQ(cmds[5].kind, Kind::TransmitCustomized);
    EXPECT_EQ(cmds[6].kind, Kind::TransmitMemorySwitch);
    EXPECT_EQ(cmds[6].n, 3);
    EXPECT_EQ(cmds[7].kind, Kind::SetMemorySwitch);
    EXPECT_EQ(cmds[7].n, 2);
    EXPECT_EQ(std::string(cmds[7].switchBits.begin(), cmds[7].switchBits.end()), "10201201");
    EXPECT_EQ(cmds[8].kind, Kind::LeaveUserMode);
}

} // namespace

TEST(CommandParser, RecognisesEveryCommandAndCountsPrintedBytes)
{
    CommandParser parser;
    expectAllCommands(parse(parser, allCommands()));
    EXPECT_EQ(parser.printedBytes(), 3u); // 'A', 'B', 'x'
}

TEST(CommandParser, SameResultForEverySplitOfTheStream)
{
    const std::vector<uint8_t> data = allCommands();
    for (size_t cut = 1; cut < data.size(); ++cut) {
        CommandParser parser;
        std::vector<PrinterCommand> cmds = parse(parser, {data.begin(), data.begin() + cut});
        const auto rest = parse(parser, {data.begin() + cut, data.end()});
        cmds.insert(cmds.end(), rest.begin(), rest.end());
        SCOPED_TRACE("cut at " + std::to_string(cut));
        expectAllCommands(cmds);
        EXPECT_EQ(parser.printedBytes(), 3u);
    }
    CommandParser byteWise;
    std::vector<PrinterCommand> cmds;
    for (const uint8_t b : data) {
        const auto one = parse(byteWise, {b});
        cmds.insert(cmds.end(), one.begin(), one.end());
    }
    expectAllCommands(cmds);
}

TEST(CommandParser, UnknownPrefixesArePrintedAndTheNextByteIsSeenAfresh)
{
    CommandParser parser;
    // 1D 'Z' is no command; 10 1D 49 45 still finds the 1D 49 45 after the lone 10;
    // 1D 28 1D 61 00 finds 1D 61 00 after the broken 1D 28.
    const auto cmds =
        parse(parser, bytes({0x1D, 'Z', 0x10, 0x1D, 0x49, 0x45, 0x1D, 0x28, 0x1D, 0x61, 0x00}));
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].kind, Kind::PrinterId);
    EXPECT_EQ(cmds[0].n, 0x45);
    EXPECT_EQ(cmds[1].kind, Kind::AutoStatus);
    EXPECT_EQ(cmds[1].n, 0);
    EXPECT_EQ(parser.printedBytes(), 5u); // 1D Z 10 1D 28
}

TEST(CommandParser, MalformedFramesAreConsumedWhole)
{
    CommandParser parser;
    // Wrong length for function 6, a wrong "IN", an empty frame, a long frame whose body
    // holds bytes that would otherwise look like commands, then a real status request.
    std::vector<uint8_t> data =
        bytes({0x1D, 0x28, 0x45, 0x03, 0x00, 0x06, 0x01, 0x02, 0x1D, 0x28, 0x45, 0x03, 0x00,
               0x01, 'I',  'X',  0x1D, 0x28, 0x45, 0x00, 0x00, 0x1D, 0x28, 0x45, 0x2C, 0x01});
    for (int i = 0; i < 300; ++i)
        data.push_back(i % 2 ? 0x04 : 0x10);
    for (const int b : {0x10, 0x04, 0x01})
        data.push_back(static_cast<uint8_t>(b));
    const auto cmds = parse(parser, data);
    ASSERT_EQ(cmds.size(), 5u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(cmds[i].kind, Kind::Malformed) << i;
    EXPECT_EQ(cmds[4].kind, Kind::RealTimeStatus);
    EXPECT_EQ(parser.printedBytes(), 0u);
}

TEST(CommandParser, SetMemorySwitchWithOtherCharactersIsMalformed)
{
    CommandParser parser;
    std::vector<uint8_t> data = bytes({0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, 0x01});
    for (const char c : std::string("1010301x"))
        data.push_back(static_cast<uint8_t>(c));
    const auto cmds = parse(parser, data);
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(cmds[0].kind, Kind::Malformed);
}

TEST(Printer, AnswersIdentityAndSettingsInTheirFraming)
{
    Printer printer;
    qpr60::SessionState session;
    auto answer = [&](Kind kind, uint8_t n, uint16_t value = 0) {
        return printer.handle(PrinterCommand{kind, n, value, {}}, session).answer;
    };
    EXPECT_EQ(answer(Kind::PrinterId, 0x43), bytes({0x5F, 'Q', 'P', '-', 'R', '6', '0', 0x00}));
    EXPECT_EQ(answer(Kind::PrinterId, 0x01), bytes({0x60}));
    EXPECT_EQ(answer(Kind::PrinterId, 0x31), bytes({0x60}));
    EXPECT_TRUE(answer(Kind::PrinterId, 0x46).empty());
    EXPECT_TRUE(answer(Kind::RealTimeStatus, 9).empty());
    EXPECT_TRUE(answer(Kind::RealTimeStatus, 0).empty());

    const auto set = printer.handle(PrinterCommand{Kind::SetCustomized, 200, 65535, {}}, session);
    EXPECT_TRUE(set.answer.empty());
    EXPECT_TRUE(set.settingsChanged);
    EXPECT_EQ(answer(Kind::TransmitCustomized, 200),
              bytes({0x37, 0x27, '2', '0', '0', 0x1F, '6', '5', '5', '3', '5', 0x00}));
    EXPECT_EQ(answer(Kind::TransmitCustomized, 0), bytes({0x37, 0x27, '0', 0x1F, '0', 0x00}));
    // Setting the same value again changes nothing, so the state file is not rewritten.
    EXPECT_FALSE(printer.handle(PrinterCommand{Kind::SetCustomized, 200, 65535, {}}, session)
                     .settingsChanged);

    EXPECT_TRUE(answer(Kind::TransmitMemorySwitch, 0).empty());
    EXPECT_TRUE(answer(Kind::TransmitMemorySwitch, 9).empty());
    EXPECT_EQ(answer(Kind::TransmitMemorySwitch, 8),
              bytes({0x37, 0x21, '0', '0', '0', '0', '0', '0', '0', '0', 0x00}));
}

TEST(Printer, MemorySwitchTwoKeepsTheBit)
{
    qpr60::PrinterSettings s;
    ASSERT_TRUE(s.applyMemorySwitchText(4, "11110000"));
    EXPECT_EQ(s.memorySwitches[3], 0x0F);
    ASSERT_TRUE(s.applyMemorySwitchText(4, "02220221"));
    EXPECT_EQ(s.memorySwitchText(4), "01110001");
    EXPECT_FALSE(s.applyMemorySwitchText(4, "0222022"));
    EXPECT_FALSE(s.applyMemorySwitchText(9, "00000000"));
    EXPECT_FALSE(s.applyMemorySwitchText(4, "0222022a"));
    EXPECT_EQ(s.memorySwitchText(4), "01110001");
}

TEST(Printer, UserModeAndStrictMode)
{
    Printer printer;
    qpr60::SessionState session;
    // Leaving without having entered is not a restart.
    EXPECT_FALSE(printer.handle({Kind::LeaveUserMode, 0, 0, {}}, session).restart);
    EXPECT_EQ(printer.handle({Kind::EnterUserMode, 0, 0, {}}, session).answer,
              bytes({0x37, 0x20, 0x00}));
    EXPECT_TRUE(session.userMode);
    EXPECT_TRUE(printer.handle({Kind::LeaveUserMode, 0, 0, {}}, session).restart);
    EXPECT_FALSE(session.userMode);

    printer.setStrictUserMode(true);
    EXPECT_TRUE(printer.handle({Kind::TransmitCustomized, 5, 0, {}}, session).answer.empty());
    EXPECT_FALSE(printer.handle({Kind::SetCustomized, 5, 7, {}}, session).settingsChanged);
    EXPECT_EQ(printer.settings().customized[5], 100);
    printer.handle({Kind::EnterUserMode, 0, 0, {}}, session);
    EXPECT_TRUE(printer.handle({Kind::SetCustomized, 5, 7, {}}, session).settingsChanged);
    EXPECT_EQ(printer.settings().customized[5], 7);
}
