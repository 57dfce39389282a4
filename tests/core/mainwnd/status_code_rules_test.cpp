#include "mainwnd/status_code_rules.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

constexpr bool kIdle = false;
constexpr bool kJobRunning = true;

// The view's printer read ran and answered result.
bool FinishRead(StatusCodeRules& rules, const StatusCodeRules::Update& update, int result)
{
    rules.ReadFinished(result);
    return rules.StatusReadFinished(update, result);
}

// Feeds codes one by one and returns the shown code after each (or "ignored").
constexpr int kIgnored = -1000;
std::vector<int> ShownAfterEach(StatusCodeRules& rules, std::initializer_list<int> codes)
{
    std::vector<int> shown;
    for (const int code : codes) {
        const StatusCodeRules::Update update = rules.OnStatusCode(code, kIdle);
        shown.push_back(update.handled ? update.shownCode : kIgnored);
        if (update.startRead)
            FinishRead(rules, update, 1);
    }
    return shown;
}

// A view whose printer was read successfully at start: online, nothing pending.
StatusCodeRules ReadAtStart()
{
    StatusCodeRules rules;
    EXPECT_TRUE(rules.StartMonitoring(0));
    rules.ReadFinished(1);
    return rules;
}

TEST(StatusCodeRules, StateAtConstruction)
{
    const StatusCodeRules rules;
    EXPECT_EQ(rules.ShownCode(), -1);
    EXPECT_EQ(rules.LastOrdinaryCode(), -1);
    EXPECT_EQ(rules.LastingCode(), 100);
    EXPECT_TRUE(rules.IsMonitoring());
    EXPECT_TRUE(rules.NeedsReread());
}

TEST(StatusCodeRules, TextOfEveryCode)
{
    const int numbers[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                           12, 13, 14, 27, 15, 16, 17, 18, 19, 20, 29};
    for (int code = 0; code <= 22; ++code)
        EXPECT_EQ(StatusCodeRules::TextNumberOf(code), numbers[code]) << code;
    for (const int code : {-1, -5, 23, 30, 100})
        EXPECT_EQ(StatusCodeRules::TextNumberOf(code), 21) << code;

    EXPECT_EQ(StatusCodeRules::EnglishTextOf(0), "Online");
    EXPECT_EQ(StatusCodeRules::EnglishTextOf(1), "Offline");
    EXPECT_EQ(StatusCodeRules::EnglishTextOf(12), "Out of ink 1");
    EXPECT_EQ(StatusCodeRules::EnglishTextOf(15), "Cleaning");
    EXPECT_EQ(StatusCodeRules::EnglishTextOf(16), "Offline");
    EXPECT_EQ(StatusCodeRules::EnglishTextOf(17), "Awaiting paper removal");
    EXPECT_EQ(StatusCodeRules::EnglishTextOf(22), "Paper layout error");
    EXPECT_EQ(StatusCodeRules::EnglishTextOf(-1), "Unknown");
    EXPECT_EQ(StatusCodeRules::EnglishTextOf(23), "Unknown");
}

TEST(StatusCodeRules, CodeClasses)
{
    std::vector<int> lasting;
    std::vector<int> usable;
    std::vector<int> refusing;
    for (int code = -2; code <= 101; ++code) {
        if (StatusCodeRules::IsLastingCode(code))
            lasting.push_back(code);
        if (StatusCodeRules::IsUsableCode(code))
            usable.push_back(code);
        if (StatusCodeRules::RefusesPrinterJobs(code))
            refusing.push_back(code);
    }
    EXPECT_EQ(lasting, (std::vector<int>{10, 11, 12, 13, 15, 20, 21}));
    EXPECT_EQ(usable, (std::vector<int>{0, 18, 19, 20, 21}));
    EXPECT_EQ(refusing, (std::vector<int>{-1, 1, 16}));
}

TEST(StatusCodeRules, StatusLine)
{
    EXPECT_EQ(StatusCodeRules::StatusLine("Status:", "Online", false), "Status: Online");
    EXPECT_EQ(StatusCodeRules::StatusLine("Status:", "Cover is open", true), "Status:");
    EXPECT_EQ(StatusCodeRules::StatusLine("Zustand:", "Unbekannt", false), "Zustand: Unbekannt");
}

TEST(StatusCodeRules, SameOrdinaryCodeTwiceIsHandledOnce)
{
    StatusCodeRules rules = ReadAtStart();
    EXPECT_EQ(ShownAfterEach(rules, {7, 7, 6, 6, 7}),
              (std::vector<int>{7, kIgnored, 6, kIgnored, 7}));
    EXPECT_EQ(ShownAfterEach(rules, {0}), (std::vector<int>{0}));
    EXPECT_EQ(ShownAfterEach(rules, {0}), (std::vector<int>{kIgnored}));
}

// Lasting code 12 in force: 0 and codes at or above 12 show it, lower codes still show.
TEST(StatusCodeRules, LastingCodeOutranksOnlineAndHigherCodes)
{
    StatusCodeRules rules = ReadAtStart();
    EXPECT_EQ(ShownAfterEach(rules, {6, 12, 0, 7, 14, 22, 3}),
              (std::vector<int>{6, 12, 12, 7, 12, 12, 3}));
    EXPECT_EQ(rules.LastingCode(), 12);
    EXPECT_EQ(rules.LastOrdinaryCode(), 3);

    const StatusCodeRules::Update update = rules.OnStatusCode(0, kIdle);
    EXPECT_EQ(update.shownCode, 12);
    EXPECT_EQ(update.textNumber, 12);
    EXPECT_EQ(update.formerShownCode, 3);
}

TEST(StatusCodeRules, EndOfLastingConditionShowsTheLastOrdinaryCodeAgain)
{
    StatusCodeRules rules = ReadAtStart();
    EXPECT_EQ(ShownAfterEach(rules, {7, 15, 0, 100}), (std::vector<int>{7, 15, 15, 0}));
    EXPECT_EQ(rules.LastingCode(), 100);
    EXPECT_EQ(ShownAfterEach(rules, {0}), (std::vector<int>{kIgnored}))
        << "a repeat of the code shown again changes nothing";
    EXPECT_EQ(ShownAfterEach(rules, {100}), (std::vector<int>{0}))
        << "a second end shows the last ordinary code once more";
}

TEST(StatusCodeRules, NewerLastingCodeReplacesTheFormer)
{
    StatusCodeRules rules = ReadAtStart();
    EXPECT_EQ(ShownAfterEach(rules, {5, 10, 21, 19, 11}), (std::vector<int>{5, 10, 21, 19, 11}));
    EXPECT_EQ(rules.LastingCode(), 11);
    EXPECT_EQ(ShownAfterEach(rules, {20, 18, 22}), (std::vector<int>{20, 18, 20}))
        << "with 20 in force, 18 is lower and shows; 22 is not";
}

TEST(StatusCodeRules, EndWithoutAnyOrdinaryCodeShowsUnknown)
{
    StatusCodeRules rules;
    rules.ReadFinished(1);
    EXPECT_EQ(ShownAfterEach(rules, {13, 100}), (std::vector<int>{13, -1}));
    EXPECT_TRUE(rules.NeedsReread());
}

TEST(StatusCodeRules, CodesOutsideTheTableShowUnknownAndAskForARead)
{
    for (const int code : {23, 30, 99, 101, -2, -1}) {
        SCOPED_TRACE(code);
        StatusCodeRules rules = ReadAtStart();
        const StatusCodeRules::Update unknown = rules.OnStatusCode(code, kIdle);
        EXPECT_TRUE(unknown.handled);
        EXPECT_EQ(unknown.shownCode, -1);
        EXPECT_EQ(unknown.textNumber, 21);
        EXPECT_FALSE(unknown.startRead);
        EXPECT_TRUE(rules.NeedsReread());
        EXPECT_TRUE(StatusCodeRules::RefusesPrinterJobs(rules.ShownCode()));

        const StatusCodeRules::Update online = rules.OnStatusCode(0, kIdle);
        EXPECT_EQ(online.shownCode, 0);
        EXPECT_TRUE(online.startRead);
    }
}

TEST(StatusCodeRules, NoReadWhileAPrinterJobRuns)
{
    StatusCodeRules rules = ReadAtStart();
    rules.OnStatusCode(30, kIdle);
    const StatusCodeRules::Update online = rules.OnStatusCode(0, kJobRunning);
    EXPECT_EQ(online.shownCode, 0);
    EXPECT_FALSE(online.startRead);
    EXPECT_TRUE(rules.NeedsReread());
    EXPECT_TRUE(rules.OnStatusCode(18, kIdle).startRead) << "the next usable code tries";
}

TEST(StatusCodeRules, NearEndAfterOfflineStartsTheReadButPaperRemovalDoesNot)
{
    for (const int offline : {1, 16}) {
        for (const int code : {18, 19, 20, 21}) {
            SCOPED_TRACE(testing::Message() << offline << " then " << code);
            StatusCodeRules rules = ReadAtStart();
            EXPECT_FALSE(rules.OnStatusCode(offline, kIdle).startRead);
            EXPECT_TRUE(rules.NeedsReread());
            EXPECT_TRUE(rules.OnStatusCode(code, kIdle).startRead);
        }
        StatusCodeRules rules = ReadAtStart();
        rules.OnStatusCode(offline, kIdle);
        for (const int code : {17, 2, 3, 6, 7, 14, 22})
            EXPECT_FALSE(rules.OnStatusCode(code, kIdle).startRead) << code;
    }
}

TEST(StatusCodeRules, UsableCodeWithoutOfflinePeriodReadsNothing)
{
    StatusCodeRules rules = ReadAtStart();
    for (const int code : {7, 0, 18, 6, 19, 0})
        EXPECT_FALSE(rules.OnStatusCode(code, kIdle).startRead) << code;
}

TEST(StatusCodeRules, FirstUsableCodeReadsWhenNothingWasReadYet)
{
    StatusCodeRules rules;
    EXPECT_TRUE(rules.OnStatusCode(0, kIdle).startRead);
    StatusCodeRules inkNearEnd;
    EXPECT_TRUE(inkNearEnd.OnStatusCode(20, kIdle).startRead) << "lasting but usable";
}

// Before the menu entries are known the read does not run and answers 1: the text is
// shown, but the request stays for the next usable code.
TEST(StatusCodeRules, ReadThatDidNotRunKeepsTheRequest)
{
    StatusCodeRules rules;
    const StatusCodeRules::Update update = rules.OnStatusCode(0, kIdle);
    ASSERT_TRUE(update.startRead);
    EXPECT_TRUE(rules.StatusReadFinished(update, 1));
    EXPECT_EQ(rules.ShownCode(), 0);
    EXPECT_TRUE(rules.NeedsReread());
    EXPECT_TRUE(rules.OnStatusCode(18, kIdle).startRead);
}

TEST(StatusCodeRules, SuccessfulReadClearsTheRequest)
{
    StatusCodeRules rules;
    const StatusCodeRules::Update update = rules.OnStatusCode(0, kIdle);
    ASSERT_TRUE(update.startRead);
    EXPECT_TRUE(FinishRead(rules, update, 1));
    EXPECT_FALSE(rules.NeedsReread());
    EXPECT_EQ(rules.ShownCode(), 0);
}

// A wrong or silent printer: the former state is shown again and the next usable code
// tries again.
TEST(StatusCodeRules, WrongPrinterTakesBackTheShownCode)
{
    StatusCodeRules rules = ReadAtStart();
    rules.OnStatusCode(1, kIdle);
    const StatusCodeRules::Update update = rules.OnStatusCode(0, kIdle);
    ASSERT_TRUE(update.startRead);
    EXPECT_EQ(update.formerShownCode, 1);
    EXPECT_FALSE(FinishRead(rules, update, -67));
    EXPECT_EQ(rules.ShownCode(), 1);
    EXPECT_TRUE(rules.NeedsReread());
    EXPECT_TRUE(StatusCodeRules::RefusesPrinterJobs(rules.ShownCode()));

    const StatusCodeRules::Update retry = rules.OnStatusCode(19, kIdle);
    EXPECT_TRUE(retry.startRead);
    EXPECT_TRUE(FinishRead(rules, retry, 1));
    EXPECT_EQ(rules.ShownCode(), 19);
    EXPECT_FALSE(rules.NeedsReread());
}

// After a read that found no readable printer the library tells the current code again
// (the status procedure is registered anew behind the progress dialog). That Online must
// be shown, so that page jobs are no longer refused, without running straight into the
// same failing read; the next usable code after an unusable one reads again.
TEST(StatusCodeRules, OnlineAfterAFailedReadIsShownAndAllowsTheNextRead)
{
    for (const int before : {1, 16, 30}) {
        SCOPED_TRACE(before);
        StatusCodeRules rules = ReadAtStart();
        rules.OnStatusCode(before, kIdle);
        const StatusCodeRules::Update update = rules.OnStatusCode(0, kIdle);
        ASSERT_TRUE(update.startRead);
        EXPECT_FALSE(FinishRead(rules, update, -67));
        EXPECT_TRUE(StatusCodeRules::RefusesPrinterJobs(rules.ShownCode()));

        const StatusCodeRules::Update again = rules.OnStatusCode(0, kIdle);
        EXPECT_TRUE(again.handled);
        EXPECT_EQ(again.shownCode, 0);
        EXPECT_FALSE(again.startRead);
        EXPECT_FALSE(StatusCodeRules::RefusesPrinterJobs(rules.ShownCode()));
        EXPECT_TRUE(rules.NeedsReread());
        // From here on a repeated Online is the same code again.
        EXPECT_FALSE(rules.OnStatusCode(0, kIdle).handled);

        rules.OnStatusCode(1, kIdle);
        const StatusCodeRules::Update back = rules.OnStatusCode(0, kIdle);
        EXPECT_TRUE(back.startRead);
        EXPECT_TRUE(FinishRead(rules, back, 1));
        EXPECT_FALSE(rules.NeedsReread());
    }
    // The same after a failed read that a lasting condition's end started.
    StatusCodeRules rules = ReadAtStart();
    rules.OnStatusCode(12, kIdle);
    rules.OnStatusCode(1, kIdle);
    rules.OnStatusCode(0, kIdle);
    const StatusCodeRules::Update ended = rules.OnStatusCode(100, kIdle);
    ASSERT_TRUE(ended.startRead);
    EXPECT_FALSE(FinishRead(rules, ended, -67));
    EXPECT_EQ(rules.ShownCode(), 12);
    EXPECT_EQ(rules.OnStatusCode(0, kIdle).shownCode, 0);
}

TEST(StatusCodeRules, OtherReadFailuresShowTheNewCodeAndKeepTheRequest)
{
    for (const int result : {-64, -24, 0, 2}) {
        SCOPED_TRACE(result);
        StatusCodeRules rules = ReadAtStart();
        rules.OnStatusCode(16, kIdle);
        const StatusCodeRules::Update update = rules.OnStatusCode(0, kIdle);
        ASSERT_TRUE(update.startRead);
        EXPECT_TRUE(FinishRead(rules, update, result));
        EXPECT_EQ(rules.ShownCode(), 0);
        EXPECT_TRUE(rules.NeedsReread());
    }
}

TEST(StatusCodeRules, WrongPrinterDoesNotUndoACodeHandledDuringTheRead)
{
    StatusCodeRules rules = ReadAtStart();
    rules.OnStatusCode(1, kIdle);
    const StatusCodeRules::Update update = rules.OnStatusCode(0, kIdle);
    ASSERT_TRUE(update.startRead);
    rules.OnStatusCode(6, kJobRunning);
    EXPECT_FALSE(FinishRead(rules, update, -67));
    EXPECT_EQ(rules.ShownCode(), 6);
}

// The printer went offline while an ink condition was shown: when it is usable again after
// the condition ends, its settings are read afresh.
TEST(StatusCodeRules, OfflineHiddenByALastingConditionStillAsksForARead)
{
    StatusCodeRules rules = ReadAtStart();
    EXPECT_EQ(ShownAfterEach(rules, {12}), (std::vector<int>{12}));
    const StatusCodeRules::Update offline = rules.OnStatusCode(16, kIdle);
    EXPECT_EQ(offline.shownCode, 12);
    EXPECT_TRUE(rules.NeedsReread());
    EXPECT_FALSE(rules.OnStatusCode(0, kIdle).startRead) << "ink 1 is out: not usable";
    const StatusCodeRules::Update back = rules.OnStatusCode(100, kIdle);
    EXPECT_EQ(back.shownCode, 0);
    EXPECT_TRUE(back.startRead);
}

TEST(StatusCodeRules, EndedMonitoringIgnoresEveryCode)
{
    StatusCodeRules rules = ReadAtStart();
    rules.OnStatusCode(7, kIdle);
    rules.StopMonitoring();
    EXPECT_FALSE(rules.IsMonitoring());
    EXPECT_EQ(ShownAfterEach(rules, {0, 12, 100, 30, 1}),
              (std::vector<int>{kIgnored, kIgnored, kIgnored, kIgnored, kIgnored}));
    EXPECT_EQ(rules.ShownCode(), 7);
    EXPECT_EQ(rules.LastingCode(), 100);
    EXPECT_EQ(rules.LastOrdinaryCode(), 7);
}

TEST(StatusCodeRules, StartOfMonitoring)
{
    StatusCodeRules answered;
    EXPECT_TRUE(answered.StartMonitoring(0));
    EXPECT_EQ(answered.ShownCode(), 0);
    EXPECT_EQ(answered.LastOrdinaryCode(), 0);
    EXPECT_TRUE(answered.NeedsReread()) << "cleared only when the read succeeds";
    EXPECT_FALSE(answered.OnStatusCode(0, kIdle).handled);

    StatusCodeRules noPrinter; // start mode 4, or the printer did not answer
    EXPECT_FALSE(noPrinter.StartMonitoring(0x80000005u));
    EXPECT_EQ(noPrinter.ShownCode(), -1);
    EXPECT_EQ(StatusCodeRules::TextNumberOf(noPrinter.ShownCode()), 21);
    EXPECT_TRUE(StatusCodeRules::RefusesPrinterJobs(noPrinter.ShownCode()));
}

} // namespace
