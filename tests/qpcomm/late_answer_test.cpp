// Answers cut off by a time-out: the start of an answer that arrived before its request
// timed out, and its rest arriving late, must never become (part of) the answer to a
// later request. A printer scripted by the test serves a pseudo-terminal or a loopback TCP
// port and sends exactly the bytes, and the pauses, each case needs.
#include "comm_library.h"
#include "qpcomm_test_support.h"

#include <gtest/gtest.h>

#include <qpu/prtinf.h>

#include <arpa/inet.h>
#include <atomic>
#include <deque>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace qpcomm;
using namespace qpcomm_test;

namespace {

using Bytes = std::vector<uint8_t>;

// One piece of an answer, written `delayMs` after the previous piece.
struct Piece
{
    int delayMs = 0;
    Bytes bytes;
};
using Answer = std::vector<Piece>;

const Bytes kCustomValue5 = {0x1D, 0x28, 0x45, 0x02, 0x00, 0x06, 0x05};
const Bytes kCustomValue5Answer = {0x37, 0x27, 0x35, 0x1F, 0x31, 0x30, 0x30, 0x00};
const Bytes kCustomValue5Head = {0x37, 0x27, 0x35, 0x1F};
const Bytes kCustomValue5Tail = {0x31, 0x30, 0x30, 0x00};
const Bytes kModelNameRequest = {0x1D, 0x49, 0x43};
const Bytes kEnableAutomaticStatus = {0x1D, 0x61, 0xFF};

Bytes text(const std::string& s)
{
    Bytes b;
    b.reserve(s.size() + 2);
    b.push_back(0x5F);
    for (const char c : s)
        b.push_back(static_cast<uint8_t>(c));
    b.push_back(0x00);
    return b;
}

// Answers requests from a script: the n-th answer queued for a request goes out when the
// request comes for the n-th time. Real-time status requests get "all well", a request for
// automatic status gets an "all well" block. Serves a pseudo-terminal or a TCP
// port on 127.0.0.1 (the newest connection).
class StagedPrinter
{
public:
    enum class Link
    {
        Pty,
        Tcp
    };

    explicit StagedPrinter(Link link)
    {
        if (link == Link::Pty) {
            termios raw{};
            ::cfmakeraw(&raw);
            char name[128] = {};
            if (::openpty(&m_fd, &m_slave, name, &raw, nullptr) == 0) {
                m_port = makePort("COM", name);
            }
        } else {
            m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t len = sizeof addr;
            if (::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                ::listen(m_listener, 4) == 0 &&
                ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
                m_port = makePort("NET", "127.0.0.1:" + std::to_string(ntohs(addr.sin_port)));
            }
        }
        m_thread = std::thread([this] { serve(); });
    }
    ~StagedPrinter()
    {
        m_stop = true;
        m_thread.join();
        for (auto& t : m_senders) {
            t.join();
        }
        for (const int fd : {m_fd, m_slave, m_listener}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    bool ready() const { return m_port.portName[0] != 0; }
    const PortInfo& port() const { return m_port; }
    void queue(const Bytes& request, Answer answer)
    {
        std::lock_guard lock(m_mutex);
        m_script.push_back({request, std::move(answer)});
    }
    int requestsSeen(const Bytes& request) const
    {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto& r : m_seen) {
            n += r == request ? 1 : 0;
        }
        return n;
    }

private:
    void serve()
    {
        Bytes in;
        while (!m_stop) {
            if (m_listener >= 0) {
                pollfd l{m_listener, POLLIN, 0};
                if (::poll(&l, 1, 0) > 0) {
                    const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
                    std::lock_guard lock(m_mutex);
                    m_old.push_back(m_fd); // kept open: a late answer still goes out on it
                    m_fd = client;
                    in.clear();
                }
            }
            int fd = -1;
            {
                std::lock_guard lock(m_mutex);
                fd = m_fd;
            }
            pollfd p{fd, POLLIN, 0};
            if (fd < 0 || ::poll(&p, 1, 10) <= 0) {
                if (fd < 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                continue;
            }
            uint8_t buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                in.insert(in.end(), buf, buf + n);
                take(&in, fd);
            }
        }
        for (const int fd : m_old) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    static std::size_t requestLength(const Bytes& in)
    {
        if (in.size() >= 5 && in[0] == 0x1D && in[1] == 0x28 && in[2] == 0x45) {
            return 5u + in[3] + 256u * in[4];
        }
        return 3;
    }

    void take(Bytes* in, int fd)
    {
        while (in->size() >= 3) {
            const std::size_t length = requestLength(*in);
            if (in->size() < length) {
                return;
            }
            const Bytes request(in->begin(), in->begin() + static_cast<std::ptrdiff_t>(length));
            in->erase(in->begin(), in->begin() + static_cast<std::ptrdiff_t>(length));
            if (request[0] == 0x10 && request[1] == 0x04) {
                const uint8_t ok = 0x12;
                [[maybe_unused]] const ssize_t w = ::write(fd, &ok, 1);
                continue;
            }
            std::lock_guard lock(m_mutex);
            m_seen.push_back(request);
            if (request == kEnableAutomaticStatus) {
                const uint8_t allWell[4] = {0x10, 0x00, 0x00, 0x00};
                [[maybe_unused]] const ssize_t w = ::write(fd, allWell, sizeof allWell);
                continue;
            }
            for (auto it = m_script.begin(); it != m_script.end(); ++it) {
                if (it->first == request) {
                    Answer answer = std::move(it->second);
                    m_script.erase(it);
                    m_senders.emplace_back([this, fd, answer = std::move(answer)] {
                        for (const Piece& piece : answer) {
                            std::this_thread::sleep_for(std::chrono::milliseconds(piece.delayMs));
                            if (m_stop) {
                                return;
                            }
                            [[maybe_unused]] const ssize_t w =
                                ::write(fd, piece.bytes.data(), piece.bytes.size());
                        }
                    });
                    break;
                }
            }
        }
    }

    PortInfo m_port{};
    int m_fd = -1;
    int m_slave = -1; // kept open so that the line stays up while the library reopens it
    int m_listener = -1;
    std::vector<int> m_old;
    mutable std::mutex m_mutex;
    std::deque<std::pair<Bytes, Answer>> m_script;
    std::vector<Bytes> m_seen;
    std::vector<std::thread> m_senders;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class LateAnswerTest : public ::testing::TestWithParam<StagedPrinter::Link>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(printer.ready());
        PortInfo port = printer.port();
        ASSERT_EQ(lib->setPort(&port), QPC_OK);
        ASSERT_EQ(lib->open(1), QPC_OK);
        // The status check at open asks for automatic status once; with the long interval
        // no more status traffic comes between the bytes each case scripts.
        ASSERT_TRUE(
            waitUntil([&] { return printer.requestsSeen(kEnableAutomaticStatus) > 0; }, 3000));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    void TearDown() override { lib.reset(); }

    void write(const Bytes& request)
    {
        uint32_t written = 0;
        ASSERT_EQ(lib->write(request.data(), static_cast<uint32_t>(request.size()), &written),
                  QPC_OK);
    }
    // Everything QPC_Read hands out within `ms`.
    Bytes readAll(int ms)
    {
        Bytes all;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            uint8_t buf[64];
            uint32_t got = 0;
            if (lib->read(buf, sizeof buf, &got, 50) == QPC_OK) {
                all.insert(all.end(), buf, buf + got);
            }
        }
        return all;
    }
    std::string modelName(int32_t* result)
    {
        QpuChar16 name[32] = {};
        *result = lib->queryText(0x43, name, 32);
        return toUtf8(name);
    }

    static constexpr int kTimeoutMs = 400;
    TempDir tmp;
    EnvSetting common{"QP60UTIL_COMMON_APPDATA", tmp.path()};
    EnvSetting run{"XDG_RUNTIME_DIR", tmp.path()};
    EnvSetting timeout{"QPCOMM_TIMEOUT_MS", std::to_string(kTimeoutMs)};
    EnvSetting interval{"QPCOMM_STATUS_INTERVAL_MS", "60000"};
    StagedPrinter printer{GetParam()};
    std::unique_ptr<CommLibrary> lib = std::make_unique<CommLibrary>();
};

TEST_P(LateAnswerTest, RawReadAfterPurgeGetsOnlyTheNewAnswerWhenTheRestComesLate)
{
    printer.queue(kCustomValue5, {{0, kCustomValue5Head}, {2 * kTimeoutMs, kCustomValue5Tail}});
    printer.queue(kCustomValue5, {{3 * kTimeoutMs, kCustomValue5Answer}});
    write(kCustomValue5);
    uint8_t buf[64];
    uint32_t got = 0;
    EXPECT_EQ(lib->read(buf, sizeof buf, &got, kTimeoutMs), QPC_ERR_TIMEOUT);
    EXPECT_EQ(got, 0u);
    ASSERT_EQ(lib->purge(), QPC_OK);
    write(kCustomValue5);
    EXPECT_EQ(readAll(5 * kTimeoutMs), kCustomValue5Answer);
}

TEST_P(LateAnswerTest, RawReadAfterPurgeGetsOnlyTheNewAnswerWhenTheRestNeverComes)
{
    printer.queue(kCustomValue5, {{0, kCustomValue5Head}});
    printer.queue(kCustomValue5, {{kTimeoutMs / 2, kCustomValue5Answer}});
    write(kCustomValue5);
    uint8_t buf[64];
    uint32_t got = 0;
    EXPECT_EQ(lib->read(buf, sizeof buf, &got, kTimeoutMs), QPC_ERR_TIMEOUT);
    ASSERT_EQ(lib->purge(), QPC_OK);
    write(kCustomValue5);
    EXPECT_EQ(readAll(4 * kTimeoutMs), kCustomValue5Answer);
}

TEST_P(LateAnswerTest, RestArrivingBeforeThePurgeIsDroppedByIt)
{
    printer.queue(kCustomValue5, {{0, kCustomValue5Head}, {kTimeoutMs, kCustomValue5Tail}});
    printer.queue(kCustomValue5, {{0, kCustomValue5Answer}});
    write(kCustomValue5);
    uint8_t buf[64];
    uint32_t got = 0;
    EXPECT_EQ(lib->read(buf, sizeof buf, &got, kTimeoutMs / 2), QPC_ERR_TIMEOUT);
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * kTimeoutMs));
    ASSERT_EQ(lib->purge(), QPC_OK);
    write(kCustomValue5);
    EXPECT_EQ(readAll(3 * kTimeoutMs), kCustomValue5Answer);
}

TEST_P(LateAnswerTest, DeviceNameAfterATimedOutHalfAnswerWithALateRest)
{
    // The rest comes after the second request went out, the new answer after the rest.
    printer.queue(kModelNameRequest,
                  {{0, {0x5F, 'O', 'L', 'D'}}, {kTimeoutMs * 5 / 4, {'-', 0x00}}});
    printer.queue(kModelNameRequest, {{kTimeoutMs * 3 / 4, text("QP-R60")}});
    int32_t result = QPC_OK;
    modelName(&result);
    EXPECT_EQ(result, QPC_ERR_TIMEOUT);
    EXPECT_EQ(modelName(&result), "QP-R60");
    EXPECT_EQ(result, QPC_OK);
}

TEST_P(LateAnswerTest, DeviceNameAfterATimedOutHalfAnswerWhoseRestNeverComes)
{
    printer.queue(kModelNameRequest, {{0, {0x5F, 'O', 'L', 'D'}}});
    printer.queue(kModelNameRequest, {{kTimeoutMs / 2, text("QP-R60")}});
    int32_t result = QPC_OK;
    modelName(&result);
    EXPECT_EQ(result, QPC_ERR_TIMEOUT);
    EXPECT_EQ(modelName(&result), "QP-R60");
    EXPECT_EQ(result, QPC_OK);
}

// The printer information library asks through the table's Purge, Write and Read.
CommLibrary* g_lib = nullptr;
int32_t tablePurge()
{
    return g_lib->purge();
}
int32_t tableWrite(const uint8_t* data, uint32_t length, uint32_t* written)
{
    return g_lib->write(data, length, written);
}
int32_t tableRead(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs)
{
    return g_lib->read(buffer, capacity, received, timeoutMs);
}

class PrinterInformationPath : public LateAnswerTest
{
protected:
    void SetUp() override
    {
        LateAnswerTest::SetUp();
        m_module = ::dlopen(QPU_APP_DIR "/libPrtInfMgrDLL.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_module, nullptr) << ::dlerror();
        m_initialize = reinterpret_cast<PrtInf_Initialize_t>(::dlsym(m_module, "Initialize"));
        m_finalize = reinterpret_cast<PrtInf_Finalize_t>(::dlsym(m_module, "Finalize"));
        m_name = reinterpret_cast<PrtInf_GetPrinterName_t>(::dlsym(m_module, "GetPrinterName"));
        m_information = reinterpret_cast<PrtInf_GetPrinterInformation_t>(
            ::dlsym(m_module, "GetPrinterInformation"));
        ASSERT_TRUE(m_initialize && m_finalize && m_name && m_information);
        g_lib = lib.get();
        m_table.Purge = tablePurge;
        m_table.Write = tableWrite;
        m_table.Read = tableRead;
        m_handle = m_initialize(&m_table);
        ASSERT_NE(m_handle, nullptr);
    }
    void TearDown() override
    {
        if (m_handle != nullptr) {
            m_finalize(&m_handle);
        }
        if (m_module != nullptr) {
            ::dlclose(m_module);
        }
        LateAnswerTest::TearDown();
        g_lib = nullptr;
    }
    std::string printerName(int32_t* result)
    {
        char name[64] = {};
        *result = m_name(m_handle, name, sizeof name);
        return name;
    }

    EnvSetting m_prtinfTimeout{"PRTINF_TIMEOUT_MS", std::to_string(kTimeoutMs)};
    void* m_module = nullptr;
    PrtInf_Initialize_t m_initialize = nullptr;
    PrtInf_Finalize_t m_finalize = nullptr;
    PrtInf_GetPrinterName_t m_name = nullptr;
    PrtInf_GetPrinterInformation_t m_information = nullptr;
    CommLibTable m_table{};
    PrtInfHandle m_handle = nullptr;
};

TEST_P(PrinterInformationPath, PrinterNameAfterAHalfAnswerWithALateRest)
{
    printer.queue(kModelNameRequest,
                  {{0, {0x5F, 'O', 'L', 'D'}}, {kTimeoutMs * 5 / 4, {'-', 0x00}}});
    printer.queue(kModelNameRequest, {{kTimeoutMs * 3 / 4, text("QP-R60")}});
    int32_t result = PRTINF_OK;
    EXPECT_EQ(printerName(&result), "");
    EXPECT_NE(result, PRTINF_OK);
    EXPECT_EQ(printerName(&result), "QP-R60");
    EXPECT_EQ(result, PRTINF_OK);
}

TEST_P(PrinterInformationPath, TextCutOffDoesNotSpoilTheTextsAfterIt)
{
    printer.queue({0x1D, 0x49, 0x44}, {{0, {0x5F, 'Q', 'P', 'R'}}}); // serial number, cut
    printer.queue({0x1D, 0x49, 0x43}, {{0, text("QP-R60")}});
    printer.queue({0x1D, 0x49, 0x42}, {{0, text("VORKA")}});
    printer.queue({0x1D, 0x49, 0x41}, {{0, text("ESC/VRK-A Ver.1.07 _x")}});
    printer.queue({0x1D, 0x49, 0x45}, {{0, text("PC437")}});
    PrinterInformation info{};
    info.requestMask = PRTINF_REQUEST_ALL;
    EXPECT_NE(m_information(m_handle, &info, 0), PRTINF_OK);
    EXPECT_EQ(info.filledMask,
              static_cast<int32_t>(PRTINF_REQUEST_ALL & ~1u)); // all but the serial number
    ASSERT_NE(info.texts[1], nullptr);
    EXPECT_STREQ(info.texts[0], "");
    EXPECT_STREQ(info.texts[1], "QP-R60");
    EXPECT_STREQ(info.texts[2], "VORKA");
    EXPECT_STREQ(info.texts[3], "ESC/VRK-A Ver.1.07 _x");
    EXPECT_STREQ(info.texts[4], "PC437");
}

INSTANTIATE_TEST_SUITE_P(Links, PrinterInformationPath,
                         ::testing::Values(StagedPrinter::Link::Pty, StagedPrinter::Link::Tcp),
                         [](const auto& info) {
                             return info.param == StagedPrinter::Link::Pty ? "Pty" : "Tcp";
                         });

INSTANTIATE_TEST_SUITE_P(Links, LateAnswerTest,
                         ::testing::Values(StagedPrinter::Link::Pty, StagedPrinter::Link::Tcp),
                         [](const auto& info) {
                             return info.param == StagedPrinter::Link::Pty ? "Pty" : "Tcp";
                         });

} // namespace
