// A printer scripted by the test on a pseudo-terminal, for what the emulator does not do:
// a printer without automatic status (polled with real-time requests), status bytes
// without the fixed bit pattern, and a status block glued to the front of an answer.
#include "comm_library.h"
#include "qpcomm_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace qpcomm;
using namespace qpcomm_test;

namespace {

class ScriptedPrinter
{
public:
    ScriptedPrinter()
    {
        termios raw{};
        ::cfmakeraw(&raw);
        char name[128] = {};
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) == 0) {
            m_name = name;
        }
        for (auto& b : m_realtime) {
            b = 0x12;
        }
        m_thread = std::thread([this] { serve(); });
    }
    ~ScriptedPrinter()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_slave);
        ::close(m_master);
    }

    const std::string& path() const { return m_name; }
    void setRealtime(int n, uint8_t b) { m_realtime[n - 1] = b; }
    void setBlockBeforeAnswers(bool on) { m_blockBefore = on; }
    int automaticStatusRequests() const { return m_asbRequests; }

private:
    void serve()
    {
        std::vector<uint8_t> in;
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            uint8_t buf[256];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0) {
                continue;
            }
            in.insert(in.end(), buf, buf + n);
            while (in.size() >= 3) {
                std::vector<uint8_t> out;
                if (in[0] == 0x10 && in[1] == 0x04 && in[2] >= 1 && in[2] <= 8) {
                    out.push_back(m_realtime[in[2] - 1]);
                } else if (in[0] == 0x1D && in[1] == 0x61) {
                    ++m_asbRequests; // no automatic status: ignored
                } else if (in[0] == 0x1D && in[1] == 0x49 && in[2] == 0x43) {
                    if (m_blockBefore) {
                        out = {0x38, 0x00, 0x00, 0x00};
                    }
                    for (const char c : std::string("\x5FQP-R60")) {
                        out.push_back(static_cast<uint8_t>(c));
                    }
                    out.push_back(0x00);
                } else {
                    in.erase(in.begin());
                    continue;
                }
                in.erase(in.begin(), in.begin() + 3);
                if (!out.empty()) {
                    [[maybe_unused]] const ssize_t w = ::write(m_master, out.data(), out.size());
                }
            }
        }
    }

    int m_master = -1;
    int m_slave = -1; // kept open so that the line stays up while the library reopens it
    std::string m_name;
    std::array<std::atomic<uint8_t>, 8> m_realtime;
    std::atomic<bool> m_blockBefore{false};
    std::atomic<int> m_asbRequests{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class ScriptedPrinterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(printer.path().empty());
        port = makePort("COM", printer.path());
        ASSERT_EQ(lib->setPort(&port), QPC_OK);
        ASSERT_EQ(
            lib->registerProc(StatusDispatcher::StatusProcs, &StatusRecorder::proc, &recorder),
            QPC_OK);
        ASSERT_EQ(lib->open(1), QPC_OK);
    }
    void TearDown() override { lib.reset(); }

    TempDir tmp;
    EnvSetting common{"QP60UTIL_COMMON_APPDATA", tmp.path()};
    EnvSetting run{"XDG_RUNTIME_DIR", tmp.path()};
    EnvSetting timeout{"QPCOMM_TIMEOUT_MS", "200"};
    EnvSetting interval{"QPCOMM_STATUS_INTERVAL_MS", "100"};
    ScriptedPrinter printer;
    PortInfo port{};
    StatusRecorder recorder;
    std::unique_ptr<CommLibrary> lib = std::make_unique<CommLibrary>();
};

TEST_F(ScriptedPrinterTest, PrinterWithoutAutomaticStatusIsPolled)
{
    ASSERT_TRUE(recorder.waitFor(0, 3000));
    EXPECT_GE(printer.automaticStatusRequests(), 1);
    printer.setRealtime(1, 0x1A); // offline
    printer.setRealtime(2, 0x16); // cover open
    EXPECT_TRUE(recorder.waitFor(6, 3000));
    printer.setRealtime(7, 0x1A); // ink 1 out
    EXPECT_TRUE(recorder.waitFor(12, 3000));
    printer.setRealtime(1, 0x12);
    printer.setRealtime(2, 0x12);
    printer.setRealtime(7, 0x12);
    const std::size_t from = recorder.size();
    EXPECT_TRUE(recorder.waitFor(QPC_STATUS_LASTING_ENDED, 3000, from));
    EXPECT_TRUE(recorder.waitFor(0, 3000, from));
}

TEST_F(ScriptedPrinterTest, StatusBytesWithoutTheFixedBitsAreRejected)
{
    ASSERT_TRUE(recorder.waitFor(0, 3000));
    printer.setRealtime(1, 0x08); // offline bit, but not the 0xx1xx10 pattern
    EXPECT_TRUE(recorder.waitFor(QPC_STATUS_NO_STATUS, 3000));
    for (const int32_t code : recorder.codes()) {
        EXPECT_NE(code, QPC_STATUS_OFFLINE);
    }
}

TEST_F(ScriptedPrinterTest, StatusBlockGluedToAnAnswerIsTakenApart)
{
    ASSERT_TRUE(recorder.waitFor(0, 3000));
    printer.setBlockBeforeAnswers(true);
    QpuChar16 name[16] = {};
    ASSERT_EQ(lib->queryText(0x43, name, 16), QPC_OK);
    EXPECT_EQ(toUtf8(name), "QP-R60");
    EXPECT_TRUE(recorder.waitFor(6, 3000));
}

} // namespace
