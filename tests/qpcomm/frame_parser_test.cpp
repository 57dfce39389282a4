// The stream framer and the status decoding: answers split over reads, status blocks
// between and before answers, bytes that only look like status.
#include "connection.h"
#include "frame_parser.h"
#include "printer_commands.h"
#include "status_decoder.h"

#include <gtest/gtest.h>

#include <qpu/comm_lib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using namespace qpcomm;

namespace {

class FrameParserTest : public ::testing::Test
{
protected:
    FrameParser parser{[this](Frame&& f) { frames.push_back(std::move(f)); }};
    std::vector<Frame> frames;

    void feed(std::initializer_list<uint8_t> bytes)
    {
        const std::vector<uint8_t> v(bytes);
        parser.feed(v.data(), v.size());
    }
};

TEST_F(FrameParserTest, TextAnswerSplitOverManyReadsIsOneFrame)
{
    feed({0x5F, 'Q'});
    feed({'P', '-'});
    EXPECT_TRUE(frames.empty());
    feed({'R', '6', '0'});
    feed({0x00});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, FrameKind::Text);
    EXPECT_EQ(printer_commands::parseText(frames[0]), "QP-R60");
}

TEST_F(FrameParserTest, StatusBlockBetweenAnswersIsKeptApart)
{
    feed({0x5F, 'A', 0x00, 0x18, 0x00, 0x0C, 0x00, 0x5F, 'B', 0x00});
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].kind, FrameKind::Text);
    EXPECT_EQ(frames[1].kind, FrameKind::StatusBlock);
    EXPECT_EQ(frames[1].bytes, (std::vector<uint8_t>{0x18, 0x00, 0x0C, 0x00}));
    EXPECT_EQ(printer_commands::parseText(frames[2]), "B");
}

TEST_F(FrameParserTest, StatusBlockSplitByteByByteBeforeAnAnswer)
{
    for (const uint8_t b : {0x10, 0x00, 0x00, 0x00, 0x37, 0x20, 0x00}) {
        parser.feed(&b, 1);
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, FrameKind::StatusBlock);
    EXPECT_EQ(frames[1].kind, FrameKind::Setting);
    EXPECT_TRUE(printer_commands::isUserSettingAck(frames[1]));
}

TEST_F(FrameParserTest, BlockWhoseFollowerBreaksThePatternIsRejected)
{
    // 0x14 starts a block, but 0x90 cannot follow: both go on as raw bytes.
    feed({0x14, 0x90, 0x5F, 'x', 0x00});
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].kind, FrameKind::Raw);
    EXPECT_EQ(frames[1].kind, FrameKind::Raw);
    EXPECT_EQ(frames[1].bytes[0], 0x90);
    EXPECT_EQ(frames[2].kind, FrameKind::Text);
    EXPECT_EQ(parser.rejectedStatusBlocks(), 1u);
}

TEST_F(FrameParserTest, BlockBrokenByAnAnswerHeaderLetsTheAnswerThrough)
{
    feed({0x10, 0x00, 0x5F, 'Z', 0x00});
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2].kind, FrameKind::Text);
    EXPECT_EQ(printer_commands::parseText(frames[2]), "Z");
}

TEST_F(FrameParserTest, RealtimeStatusAndGarbageAreSingleFrames)
{
    feed({0x12, 0x16, 0x80, 0xFF, 0x60});
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[0].kind, FrameKind::RealtimeStatus);
    EXPECT_EQ(frames[1].kind, FrameKind::RealtimeStatus);
    EXPECT_EQ(frames[2].kind, FrameKind::Raw);
    EXPECT_EQ(frames[3].kind, FrameKind::Raw);
    EXPECT_EQ(frames[4].kind, FrameKind::Raw);
}

TEST_F(FrameParserTest, StatusBytesInsideATextAreText)
{
    // '0' (0x30) matches the status block pattern; inside a text it is just a digit.
    feed({0x5F, '0', '1', 0x10, 0x00});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, FrameKind::Text);
}

TEST_F(FrameParserTest, UnterminatedTextIsCutAtTheLimitAndPassedOnRaw)
{
    std::vector<uint8_t> longText(FrameParser::kMaxFrameBytes + 10, 'a');
    longText[0] = 0x5F;
    parser.feed(longText.data(), longText.size());
    ASSERT_GE(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, FrameKind::Raw);
    EXPECT_EQ(frames[0].bytes.size(), FrameParser::kMaxFrameBytes);
}

TEST_F(FrameParserTest, EpochTellsFramesStartedBeforeAPurge)
{
    feed({0x5F, 'o', 'l'});
    parser.setEpoch(1);
    feed({'d', 0x00, 0x5F, 'n', 0x00});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].epoch, 0u);
    EXPECT_EQ(frames[1].epoch, 1u);
}

TEST_F(FrameParserTest, ResetDropsAPartialFrame)
{
    feed({0x5F, 'p'});
    parser.reset();
    feed({0x5F, 'q', 0x00});
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(printer_commands::parseText(frames[0]), "q");
}

// Answers cut off by a time-out: what a purge drops and how the framer finds its way back.
class ResyncTest : public FrameParserTest
{
protected:
    const std::vector<uint8_t> answer{0x37, 0x27, 0x35, 0x1F, 0x31, 0x30, 0x30, 0x00};

    void feed(const std::vector<uint8_t>& bytes) { parser.feed(bytes.data(), bytes.size()); }
    void expectOnly(FrameKind kind, const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].kind, kind);
        EXPECT_EQ(frames[0].bytes, bytes);
    }
};

TEST_F(ResyncTest, RestOfADiscardedSettingAnswerIsSkipped)
{
    feed({0x37, 0x27, 0x35, 0x1F});
    EXPECT_TRUE(parser.discardPartial());
    EXPECT_TRUE(parser.skipping());
    feed({0x31, 0x30, 0x30, 0x00});
    EXPECT_FALSE(parser.skipping());
    feed(answer);
    expectOnly(FrameKind::Setting, answer);
}

TEST_F(ResyncTest, NextSettingAnswerIsFoundWhenTheRestNeverComes)
{
    feed({0x37, 0x27, 0x35, 0x1F});
    parser.discardPartial();
    feed(answer);
    expectOnly(FrameKind::Setting, answer);
}

TEST_F(ResyncTest, AnswerGluedToAnUnfinishedOneIsTakenApartWithoutAPurge)
{
    feed({0x37, 0x27, 0x35, 0x1F, 0x37, 0x27, 0x35, 0x1F, 0x31, 0x30, 0x30, 0x00});
    expectOnly(FrameKind::Setting, answer);
    EXPECT_EQ(parser.droppedFrames(), 1u);
}

TEST_F(ResyncTest, DigitSevenInTheSkippedRestStartsNothing)
{
    feed({0x37, 0x27, 0x35, 0x1F, 0x31});
    parser.discardPartial();
    feed({0x37, 0x00});           // rest "17": ends in the digit 7
    feed({0x37, 0x21, '0', '1'}); // a memory switch answer, split
    feed({'0', '1', '0', '1', '0', '1', 0x00});
    expectOnly(FrameKind::Setting, {0x37, 0x21, '0', '1', '0', '1', '0', '1', '0', '1', 0x00});
}

TEST_F(ResyncTest, StatusBytesEndASettingAnswerAndAreKept)
{
    feed({0x37, 0x27, 0x35, 0x1F, 0x18, 0x00, 0x0C, 0x00});
    expectOnly(FrameKind::StatusBlock, {0x18, 0x00, 0x0C, 0x00});
    frames.clear();
    feed({0x37, 0x27, 0x35});
    parser.discardPartial();
    feed({0x12});
    expectOnly(FrameKind::RealtimeStatus, {0x12});
}

TEST_F(ResyncTest, TextHeaderEndsAnySkipAndTextOnlyEndsAtItsTerminator)
{
    feed({0x37, 0x27});
    parser.discardPartial();
    feed({0x35, 0x5F, 'A', 0x00});
    expectOnly(FrameKind::Text, {0x5F, 'A', 0x00});
    frames.clear();
    // The rest of a text may hold "7 " (37 20), which never starts a setting answer there.
    feed({0x5F, 'V', '1', '.', '0'});
    parser.discardPartial();
    feed({'7', ' ', 'X', 0x00});
    feed({0x37, 0x20, 0x00});
    expectOnly(FrameKind::Setting, {0x37, 0x20, 0x00});
    frames.clear();
    feed({0x5F, 'O', 'L'});
    parser.discardPartial();
    feed({0x5F, 'Q', 'P', 0x00}); // the rest never came
    expectOnly(FrameKind::Text, {0x5F, 'Q', 'P', 0x00});
}

TEST_F(ResyncTest, StatusBlockEndsTheSkippedRestOfAText)
{
    feed({0x5F, 'Q', 'P'});
    parser.discardPartial();
    feed({0x10, 0x00, 0x00, 0x00, 0x5F, 'Q', 'P', 0x00});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, FrameKind::StatusBlock);
    EXPECT_EQ(frames[1].bytes, (std::vector<uint8_t>{0x5F, 'Q', 'P', 0x00}));
}

TEST_F(ResyncTest, NothingToDiscardAndResetEndsTheSkip)
{
    EXPECT_FALSE(parser.discardPartial());
    EXPECT_FALSE(parser.skipping());
    feed({0x5F, 'a'});
    parser.discardPartial();
    parser.reset();
    EXPECT_FALSE(parser.skipping());
    feed({'b', 0x00});
    ASSERT_EQ(frames.size(), 2u); // a fresh link: bytes outside a frame are raw again
    EXPECT_EQ(frames[0].kind, FrameKind::Raw);
}

TEST_F(ResyncTest, BrokenSettingAnswersAreDroppedNotDelivered)
{
    // 37 without a kind byte is no answer; the byte after it is read afresh.
    feed({0x37, 0x41, 0x37, 0x27, 0x35, 0x1F, 0x30, 0x00});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, FrameKind::Raw);
    EXPECT_EQ(frames[0].bytes, std::vector<uint8_t>{0x41});
    EXPECT_EQ(frames[1].bytes, (std::vector<uint8_t>{0x37, 0x27, 0x35, 0x1F, 0x30, 0x00}));
    EXPECT_EQ(parser.droppedFrames(), 1u);
}

// Status blocks as the printer sends them for each condition, and the codes they give.
struct BlockCase
{
    std::array<uint8_t, 4> block;
    int32_t ordinary;
    int32_t lasting;
};

TEST(StatusDecoder, EveryStatusCodeFromItsBlock)
{
    const std::vector<BlockCase> cases = {
        {{0x10, 0x00, 0x00, 0x00}, 0, 100},  {{0x18, 0x00, 0x00, 0x00}, 1, 100},
        {{0x18, 0x20, 0x00, 0x00}, 3, 100},  {{0x18, 0x04, 0x00, 0x00}, 4, 100},
        {{0x18, 0x40, 0x00, 0x00}, 5, 100},  {{0x38, 0x00, 0x00, 0x00}, 6, 100},
        {{0x18, 0x00, 0x0F, 0x00}, 7, 100},  {{0x18, 0x00, 0x60, 0x00}, 8, 100},
        {{0x18, 0x08, 0x00, 0x00}, 9, 100},  {{0x10, 0x00, 0x00, 0x03}, 0, 10},
        {{0x10, 0x00, 0x00, 0x0C}, 0, 11},   {{0x10, 0x00, 0x00, 0x02}, 0, 12},
        {{0x10, 0x00, 0x00, 0x08}, 0, 13},   {{0x58, 0x00, 0x00, 0x00}, 14, 100},
        {{0x10, 0x01, 0x00, 0x00}, 0, 15},   {{0x1C, 0x00, 0x00, 0x00}, 16, 100},
        {{0x18, 0x02, 0x00, 0x00}, 17, 100}, {{0x10, 0x00, 0x03, 0x00}, 18, 100},
        {{0x10, 0x00, 0x20, 0x00}, 19, 100}, {{0x10, 0x00, 0x00, 0x01}, 0, 20},
        {{0x10, 0x00, 0x00, 0x04}, 0, 21},   {{0x18, 0x00, 0x00, 0x20}, 22, 100},
    };
    for (const BlockCase& c : cases) {
        const PrinterCondition condition = decodeStatusBlock(c.block);
        EXPECT_EQ(ordinaryCode(condition), c.ordinary)
            << int(c.block[0]) << " " << int(c.block[1]) << " " << int(c.block[2]) << " "
            << int(c.block[3]);
        EXPECT_EQ(lastingCode(condition), c.lasting) << int(c.block[3]);
    }
}

TEST(StatusDecoder, PriorityWhenSeveralConditionsHold)
{
    // Fatal error outranks cover open and paper end; no cartridge outranks near-end.
    EXPECT_EQ(ordinaryCode(decodeStatusBlock({0x38, 0x20, 0x0F, 0x00})), 3);
    EXPECT_EQ(ordinaryCode(decodeStatusBlock({0x38, 0x00, 0x0F, 0x00})), 6);
    EXPECT_EQ(lastingCode(decodeStatusBlock({0x10, 0x01, 0x00, 0x07})), 10);
}

TEST(StatusDecoder, RealtimeAnswersGiveTheSameConditionAsTheBlock)
{
    // Cover open with paper near-end, ink 2 out.
    const std::array<uint8_t, 8> answers = {0x1A, 0x16, 0x12, 0x1E, 0x12, 0x12, 0x12, 0x1A};
    PrinterCondition expected = decodeStatusBlock({0x38, 0x00, 0x03, 0x08});
    EXPECT_EQ(decodeRealtimeStatus(answers), expected);
    EXPECT_EQ(ordinaryCode(expected), 6);
    EXPECT_EQ(lastingCode(expected), 13);
}

TEST(PrinterCommands, RequestBytes)
{
    using namespace printer_commands;
    EXPECT_EQ(transmitId(0x43), (std::vector<uint8_t>{0x1D, 0x49, 0x43}));
    EXPECT_EQ(enterUserSetting(),
              (std::vector<uint8_t>{0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E}));
    EXPECT_EQ(leaveUserSetting(),
              (std::vector<uint8_t>{0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54}));
    EXPECT_EQ(setCustomValue(5, 0x1234),
              (std::vector<uint8_t>{0x1D, 0x28, 0x45, 0x04, 0x00, 0x05, 0x05, 0x34, 0x12}));
    EXPECT_EQ(transmitCustomValue(7),
              (std::vector<uint8_t>{0x1D, 0x28, 0x45, 0x02, 0x00, 0x06, 0x07}));
    EXPECT_EQ(setMemorySwitch(2, "01201010"),
              (std::vector<uint8_t>{0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, 0x02, '0', '1', '2', '0',
                                    '1', '0', '1', '0'}));
}

TEST(PrinterCommands, AnswerParsing)
{
    using namespace printer_commands;
    const auto setting = [](std::vector<uint8_t> b) { return Frame{FrameKind::Setting, b, 0}; };
    EXPECT_EQ(parseCustomValue(setting({0x37, 0x27, '5', 0x1F, '1', '0', '0', 0x00}), 5), 100);
    EXPECT_FALSE(parseCustomValue(setting({0x37, 0x27, '6', 0x1F, '1', 0x00}), 5)); // other a
    EXPECT_FALSE(parseCustomValue(setting({0x37, 0x27, '5', 0x1F, 'x', 0x00}), 5));
    EXPECT_FALSE(parseCustomValue(setting({0x37, 0x27, '5', '1', 0x00}), 5)); // no separator
    EXPECT_FALSE(
        parseCustomValue(setting({0x37, 0x27, '5', 0x1F, '7', '0', '0', '0', '0', 0x00}), 5));
    EXPECT_EQ(
        parseMemorySwitch(setting({0x37, 0x21, '1', '0', '0', '0', '0', '0', '0', '1', 0x00})),
        "10000001");
    EXPECT_FALSE(parseMemorySwitch(setting({0x37, 0x21, '1', '0', 0x00})));
    EXPECT_FALSE(parseText(Frame{FrameKind::Raw, {0x5F, 0x00}, 0}));
}

// A printer that sends a fixed number of bytes on its own and then stays silent.
class StreamingTransport : public Transport
{
public:
    explicit StreamingTransport(std::vector<uint8_t> stream) : m_stream(std::move(stream)) {}

    int32_t open(int) override { return QPC_OK; }
    void close() override {}
    bool isOpen() const override { return true; }
    int32_t write(const uint8_t*, std::size_t, int) override { return QPC_OK; }
    int32_t read(uint8_t* buffer, std::size_t capacity, int timeoutMs,
                 std::size_t* received) override
    {
        const std::size_t at = m_sent.load();
        *received = std::min(capacity, m_stream.size() - at);
        if (*received == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 5)));
            return QPC_OK;
        }
        std::copy_n(m_stream.begin() + static_cast<std::ptrdiff_t>(at), *received, buffer);
        m_sent += *received;
        return QPC_OK;
    }
    void wake() override {}
    std::string describe() const override { return "streaming test printer"; }

    bool allSent() const { return m_sent.load() == m_stream.size(); }

private:
    const std::vector<uint8_t> m_stream;
    std::atomic<std::size_t> m_sent{0};
};

// Bytes that no request waits for are not kept without bound: a printer that streams
// garbage while the program is idle leaves only the newest of it in the connection.
TEST(ConnectionQueue, GarbageWithoutARequestIsBoundedAndTheNewestIsKept)
{
    constexpr std::size_t kGarbage = 200000;
    std::vector<uint8_t> stream(kGarbage, 'A'); // every byte a frame of its own
    std::fill(stream.end() - 16, stream.end(), uint8_t{'B'});
    auto transport = std::make_unique<StreamingTransport>(stream);
    const StreamingTransport& printer = *transport;
    Connection connection(std::move(transport), 1000);
    ASSERT_EQ(connection.open(), QPC_OK);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!printer.allSent() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(printer.allSent());
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the last read is framed

    std::vector<uint8_t> buffer(kGarbage);
    std::size_t received = 0;
    ASSERT_EQ(connection.read(buffer.data(), buffer.size(), &received, 1000), QPC_OK);
    EXPECT_LT(received, kGarbage / 10);
    ASSERT_GT(received, 16u);
    EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(received) - 16,
                            buffer.begin() + static_cast<std::ptrdiff_t>(received),
                            [](uint8_t b) { return b == 'B'; }));
    connection.close();
}

} // namespace
