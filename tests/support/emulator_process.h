#pragma once
// Test fixture for the QP-R60 emulator: starts qpr60-emulator as a child process, waits
// until it listens, sends control commands and stops it. Header-only, POSIX, no test
// framework needed, so that every test suite that needs a printer can include it.
//
//     qpr60test::EmulatorProcess printer;
//     ASSERT_TRUE(printer.start({"--tcp", "127.0.0.1:0"})) << printer.error();
//     auto stream = qpr60test::ByteStream::connectTcp(printer.tcpHost(), printer.tcpPort());
//     printer.control("cover open");
//
// The program is taken from $QPR60_EMULATOR, else from QPU_APP_DIR/qpr60-emulator.
// The child is killed when the thread that started it ends (PR_SET_PDEATHSIG), so start
// it from a thread that outlives it, such as the test's own thread.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qpr60test {

using Bytes = std::vector<uint8_t>;

inline Bytes hexBytes(std::string_view text)
{
    Bytes out;
    std::string digits;
    for (const char c : text)
        if (c != ' ')
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string hexText(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

inline long long millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

// A byte stream to the printer: a TCP connection or an opened terminal. Owns its fd.
class ByteStream
{
public:
    ByteStream() = default;
    explicit ByteStream(int fd) : m_fd(fd) {}
    ByteStream(ByteStream&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    ByteStream& operator=(ByteStream&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;
    ~ByteStream() { close(); }

    static ByteStream connectTcp(const std::string& host, uint16_t port)
    {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1)
            return {};
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return {};
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return {};
        }
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return ByteStream(fd);
    }

    // Opens a terminal (a pseudo-terminal link) in raw mode.
    static ByteStream openTty(const std::string& path)
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return {};
        termios tio{};
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        ::tcflush(fd, TCIOFLUSH);
        return ByteStream(fd);
    }

    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool write(const Bytes& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    bool write(std::string_view hex) { return write(hexBytes(hex)); }

    // Reads until `count` bytes came or `timeoutMs` passed; answers what came.
    Bytes read(size_t count, int timeoutMs = 2000)
    {
        Bytes out;
        const auto start = std::chrono::steady_clock::now();
        while (out.size() < count) {
            const long long left = timeoutMs - millisecondsSince(start);
            if (left <= 0 || !waitReadable(static_cast<int>(left)))
                break;
            uint8_t buffer[4096];
            const ssize_t n = ::read(m_fd, buffer, std::min(sizeof buffer, count - out.size()));
            if (n <= 0)
                break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

    // Reads everything that arrives until nothing more came for `quietMs`.
    Bytes readUntilQuiet(int quietMs = 200)
    {
        Bytes out;
        while (waitReadable(quietMs)) {
            uint8_t buffer[4096];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

    // True when the peer closed (or hung up) within `timeoutMs`; data read meanwhile is
    // dropped.
    bool waitClosed(int timeoutMs = 2000)
    {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            const long long left = timeoutMs - millisecondsSince(start);
            if (left <= 0 || !waitReadable(static_cast<int>(left)))
                return false;
            uint8_t buffer[256];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                return true;
        }
    }

    bool waitReadable(int timeoutMs)
    {
        pollfd p{m_fd, POLLIN, 0};
        int rc;
        do
            rc = ::poll(&p, 1, timeoutMs);
        while (rc < 0 && errno == EINTR);
        return rc > 0;
    }

private:
    int m_fd = -1;
};

// The emulator as a child process.
class EmulatorProcess
{
public:
    EmulatorProcess()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qpr60emu-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_tempDir = pattern;
    }
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;
    ~EmulatorProcess()
    {
        stop();
        if (!m_tempDir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_tempDir, ignored);
        }
    }

    static std::string programPath()
    {
        if (const char* path = std::getenv("QPR60_EMULATOR"); path && *path)
            return path;
#ifdef QPU_APP_DIR
        return std::string(QPU_APP_DIR) + "/qpr60-emulator";
#else
        return "qpr60-emulator";
#endif
    }

    // A private folder for links, sockets and files of this emulator; removed at the end.
    const std::string& tempDir() const
    {
        return m_tempDir;
    }
    std::string tempPath(const std::string& name) const
    {
        return m_tempDir + "/" + name;
    }

    // Starts the emulator with `args`; unless `withControl` is false, a control socket in
    // the temporary folder is added. Waits for the "ready" line.
    bool start(const std::vector<std::string>& args, bool withControl = true, int timeoutMs = 10000)
    {
        stop();
        m_error.clear();
        m_tcp.clear();
        m_ptyLinks.clear();
        m_ptyDevices.clear();
        m_discovery.clear();
        std::vector<std::string> full{programPath()};
        full.insert(full.end(), args.begin(), args.end());
        if (withControl) {
            m_controlPath = tempPath("control.sock");
            full.insert(full.end(), {"--control", m_controlPath});
        }
        if (!spawn(full))
            return false;
        return waitReady(timeoutMs);
    }

    // SIGTERM, then SIGKILL after 3 seconds; reaps the child. Answers its exit status.
    int stop()
    {
        if (m_pid <= 0) {
            closePipes();
            return m_exitStatus;
        }
        ::kill(m_pid, SIGTERM);
        const auto start = std::chrono::steady_clock::now();
        while (!reap(false)) {
            if (millisecondsSince(start) > 3000) {
                ::kill(m_pid, SIGKILL);
                reap(true);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        closePipes();
        return m_exitStatus;
    }

    // Waits for the child to end by itself (after "quit" or a start failure).
    bool waitExit(int timeoutMs = 5000)
    {
        const auto start = std::chrono::steady_clock::now();
        while (m_pid > 0 && !reap(false)) {
            if (millisecondsSince(start) > timeoutMs)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    bool running()
    {
        return m_pid > 0 && !reap(false);
    }
    pid_t pid() const
    {
        return m_pid;
    }
    int exitStatus() const
    {
        return m_exitStatus;
    }
    const std::string& error() const
    {
        return m_error;
    }
    std::string stderrText() const
    {
        std::ifstream in(tempPath("stderr.txt"));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    const std::string& controlPath() const
    {
        return m_controlPath;
    }
    size_t tcpCount() const
    {
        return m_tcp.size();
    }
    std::string tcpHost(size_t i = 0) const
    {
        return hostOf(m_tcp.at(i));
    }
    uint16_t tcpPort(size_t i = 0) const
    {
        return portOf(m_tcp.at(i));
    }
    std::string ptyLink(size_t i = 0) const
    {
        return m_ptyLinks.at(i);
    }
    std::string ptyDevice(size_t i = 0) const
    {
        return m_ptyDevices.at(i);
    }
    std::string discoveryHost(size_t i = 0) const
    {
        return hostOf(m_discovery.at(i));
    }
    uint16_t discoveryPort(size_t i = 0) const
    {
        return portOf(m_discovery.at(i));
    }

    ByteStream connectTcp(size_t i = 0) const
    {
        return ByteStream::connectTcp(tcpHost(i), tcpPort(i));
    }

    // One control command over the control socket; answers the reply line without its
    // end, or "" when the emulator did not answer within `timeoutMs`.
    std::string control(const std::string& line, int timeoutMs = 5000) const
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (m_controlPath.empty() || m_controlPath.size() >= sizeof addr.sun_path)
            return {};
        std::memcpy(addr.sun_path, m_controlPath.c_str(), m_controlPath.size());
        ByteStream stream(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!stream.valid() ||
            ::connect(stream.fd(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            return {};
        if (!stream.write(Bytes(line.begin(), line.end())) || !stream.write(Bytes{'\n'}))
            return {};
        std::string answer;
        const auto start = std::chrono::steady_clock::now();
        while (answer.empty() || answer.back() != '\n') {
            const long long left = timeoutMs - millisecondsSince(start);
            if (left <= 0)
                return {};
            if (!stream.waitReadable(static_cast<int>(left)))
                return {};
            char buffer[65536];
            const ssize_t n = ::read(stream.fd(), buffer, sizeof buffer);
            if (n <= 0)
                return {};
            answer.append(buffer, static_cast<size_t>(n));
        }
        // One connection carries one answer line.
        answer.pop_back();
        return answer;
    }

    // A control command over standard input (--stdin-control); the reply comes on
    // standard output.
    std::string stdinControl(const std::string& line, int timeoutMs = 5000)
    {
        const std::string text = line + "\n";
        if (::write(m_stdinFd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            return {};
        std::string answer;
        return readStdoutLine(answer, timeoutMs) ? answer : std::string();
    }

    // Every byte the printer received since start or "log clear".
    Bytes receivedBytes() const
    {
        const std::string answer = control("log");
        if (answer.rfind("OK", 0) != 0)
            return {};
        return hexBytes(answer.size() > 3 ? answer.substr(3) : std::string());
    }

    // The value of one key=value field of the "status" answer.
    std::string statusField(const std::string& key) const
    {
        std::istringstream in(control("status"));
        std::string field;
        while (in >> field)
            if (field.rfind(key + "=", 0) == 0)
                return field.substr(key.size() + 1);
        return {};
    }

private:
    static std::string hostOf(const std::string& endpoint)
    {
        return endpoint.substr(0, endpoint.rfind(':'));
    }
    static uint16_t portOf(const std::string& endpoint)
    {
        return static_cast<uint16_t>(std::stoi(endpoint.substr(endpoint.rfind(':') + 1)));
    }

    bool spawn(const std::vector<std::string>& args)
    {
        int out[2];
        int in[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return fail("pipe");
        if (::pipe2(in, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return fail("pipe");
        }
        const std::string errPath = tempPath("stderr.txt");
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Only async-signal-safe calls between fork and exec.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive the test
            if (::getppid() != parent)
                ::_exit(127);
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            if (err >= 0)
                ::dup2(err, STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(in[0]);
        if (err >= 0)
            ::close(err);
        if (pid < 0) {
            ::close(out[0]);
            ::close(in[1]);
            return fail("fork");
        }
        m_pid = pid;
        m_exitStatus = -1;
        m_stdoutFd = out[0];
        m_stdinFd = in[1];
        m_stdoutBuffer.clear();
        return true;
    }

    bool waitReady(int timeoutMs)
    {
        const auto start = std::chrono::steady_clock::now();
        std::string line;
        for (;;) {
            const long long left = timeoutMs - millisecondsSince(start);
            if (left <= 0 || !readStdoutLine(line, static_cast<int>(left))) {
                m_error = "emulator did not become ready: " + stderrText();
                stop();
                return false;
            }
            std::istringstream words(line);
            std::string w1, kind, a, b;
            words >> w1 >> kind >> a >> b;
            if (line == "ready")
                return true;
            if (w1 != "listening")
                continue;
            if (kind == "tcp")
                m_tcp.push_back(a);
            else if (kind == "pty") {
                m_ptyLinks.push_back(a);
                m_ptyDevices.push_back(b);
            } else if (kind == "discovery")
                m_discovery.push_back(a);
        }
    }

    bool readStdoutLine(std::string& line, int timeoutMs)
    {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            if (const auto end = m_stdoutBuffer.find('\n'); end != std::string::npos) {
                line = m_stdoutBuffer.substr(0, end);
                m_stdoutBuffer.erase(0, end + 1);
                return true;
            }
            const long long left = timeoutMs - millisecondsSince(start);
            pollfd p{m_stdoutFd, POLLIN, 0};
            if (m_stdoutFd < 0 || left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
                return false;
            char buffer[1024];
            const ssize_t n = ::read(m_stdoutFd, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            m_stdoutBuffer.append(buffer, static_cast<size_t>(n));
        }
    }

    bool reap(bool block)
    {
        int status = 0;
        const pid_t r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
        if (r == 0)
            return false;
        m_exitStatus = r == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r == m_pid && WIFSIGNALED(status))
            m_exitStatus = 128 + WTERMSIG(status);
        m_pid = -1;
        return true;
    }

    void closePipes()
    {
        if (m_stdoutFd >= 0)
            ::close(m_stdoutFd);
        if (m_stdinFd >= 0)
            ::close(m_stdinFd);
        m_stdoutFd = m_stdinFd = -1;
    }

    bool fail(const char* what)
    {
        m_error = std::string(what) + ": " + std::strerror(errno);
        return false;
    }

    std::string m_tempDir;
    std::string m_controlPath;
    std::string m_error;
    pid_t m_pid = -1;
    int m_exitStatus = -1;
    int m_stdoutFd = -1;
    int m_stdinFd = -1;
    std::string m_stdoutBuffer;
    std::vector<std::string> m_tcp;
    std::vector<std::string> m_ptyLinks;
    std::vector<std::string> m_ptyDevices;
    std::vector<std::string> m_discovery;
};

} // namespace qpr60test
