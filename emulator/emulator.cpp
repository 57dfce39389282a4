#include "emulator.h"

#include "io_util.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

namespace qpr60 {
namespace {

constexpr size_t kReadChunk = 4096;
constexpr size_t kMaxQueuedBytes = 1 << 20;      // a client that never reads is dropped
constexpr size_t kMaxPtyQueuedBytes = 64 * 1024; // a serial line loses what nobody reads
constexpr size_t kMaxControlLine = 4096;
constexpr size_t kMaxReceivedLog = 16u << 20;
constexpr char kDiscoveryRequest[] = "VRKDISCOVER";

int g_signalWriteFd = -1; // written by the signal handler only

extern "C" void onTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalWriteFd, &byte, 1);
    errno = saved;
}

void printLine(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

Emulator::Emulator(EmulatorOptions options) : m_options(std::move(options))
{
    m_printer.identity() = m_options.identity;
    m_printer.setStrictUserMode(m_options.strictUserMode);
    m_lastAutoStatus = autoStatus(m_printer.conditions());
}

Emulator::~Emulator()
{
    for (const auto& pty : m_ptys)
        ::unlink(pty->link.c_str());
    if (m_controlListener.valid())
        ::unlink(m_options.controlPath.c_str());
    if (g_signalWriteFd == m_signalWrite.get())
        g_signalWriteFd = -1;
}

bool Emulator::open(std::string& error)
{
    if (!m_options.statePath.empty()) {
        m_stateFile.emplace(m_options.statePath);
        PrinterSettings settings = m_printer.settings();
        if (!m_stateFile->load(settings, error))
            return false;
        m_printer.settings() = settings;
    }
    if (!m_options.logPath.empty()) {
        m_logFile.reset(
            ::open(m_options.logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
        if (!m_logFile.valid()) {
            error = errnoText(m_options.logPath);
            return false;
        }
    }

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = errnoText("pipe");
        return false;
    }
    m_signalRead.reset(pipeFds[0]);
    m_signalWrite.reset(pipeFds[1]);
    g_signalWriteFd = m_signalWrite.get();
    struct sigaction action
    {};
    action.sa_handler = onTerminationSignal;
    ::sigemptyset(&action.sa_mask);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    for (const auto& spec : m_options.tcpAddresses)
        if (!openTcp(spec, error))
            return false;
    for (const auto& link : m_options.ptyLinks) {
        auto endpoint = std::make_unique<PtyEndpoint>();
        endpoint->link = link;
        if (!openPty(*endpoint, error))
            return false;
        m_ptys.push_back(std::move(endpoint));
    }
    for (const auto& spec : m_options.discoveryAddresses)
        if (!openDiscovery(spec, error))
            return false;
    if (!m_options.controlPath.empty() && !openControl(error))
        return false;
    m_stdinOpen = m_options.stdinControl;

    for (const auto& l : m_listeners)
        printLine("listening tcp " + l.address);
    for (const auto& p : m_ptys)
        printLine("listening pty " + p->link + " " + p->device);
    if (m_controlListener.valid())
        printLine("listening control " + m_options.controlPath);
    for (const auto& d : m_discovery)
        printLine("listening discovery " + d.address);
    printLine("ready");
    return true;
}

bool Emulator::openTcp(const std::string& spec, std::string& error)
{
    Listener l;
    l.fd = bindSocket(spec, SOCK_STREAM, error);
    if (!l.fd.valid())
        return false;
    l.address = localAddressText(l.fd.get(), l.host, l.port);
    m_listeners.push_back(std::move(l));
    return true;
}

bool Emulator::openDiscovery(const std::string& spec, std::string& error)
{
    Listener l;
    l.fd = bindSocket(spec, SOCK_DGRAM, error);
    if (!l.fd.valid())
        return false;
    l.address = localAddressText(l.fd.get(), l.host, l.port);
    m_discovery.push_back(std::move(l));
    return true;
}

bool Emulator::openPty(PtyEndpoint& endpoint, std::string& error)
{
    // Only a link is ever replaced, never a file or folder that someone else put there.
    struct stat info
    {};
    if (::lstat(endpoint.link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        error = endpoint.link + ": exists and is not a link";
        return false;
    }
    posix::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master.valid() || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        error = errnoText("pseudo-terminal");
        return false;
    }
    char device[128] = {};
    if (::ptsname_r(master.get(), device, sizeof device) != 0) {
        error = errnoText("ptsname");
        return false;
    }
    posix::UniqueFd slave(::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!slave.valid()) {
        error = errnoText(device);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave.get(), &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B9600);
        ::tcsetattr(slave.get(), TCSANOW, &tio);
    }
    // Link atomically: a fresh link next to the final name, renamed over it.
    const std::string temp = endpoint.link + ".new";
    ::unlink(temp.c_str());
    if (::symlink(device, temp.c_str()) != 0 ||
        ::rename(temp.c_str(), endpoint.link.c_str()) != 0) {
        error = errnoText(endpoint.link);
        ::unlink(temp.c_str());
        return false;
    }
    endpoint.device = device;
    endpoint.slave = std::move(slave);
    auto session = std::make_unique<Session>();
    session->kind = Session::Kind::Pty;
    session->name = std::string("pty:") + device;
    session->fd = std::move(master);
    endpoint.session = session.get();
    m_sessions.push_back(std::move(session));
    return true;
}

bool Emulator::openControl(std::string& error)
{
    const std::string& path = m_options.controlPath;
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        error = path + ": path too long for a Unix socket";
        return false;
    }
    struct stat info
    {};
    const bool exists = ::lstat(path.c_str(), &info) == 0;
    if (exists && !S_ISSOCK(info.st_mode)) {
        error = path + ": exists and is not a socket";
        return false;
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    if (exists) {
        // A socket that still answers belongs to a running emulator; one that does not is
        // left over from an earlier run.
        posix::UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (probe.valid() &&
            ::connect(probe.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            error = path + ": in use by another emulator";
            return false;
        }
        ::unlink(path.c_str());
    }
    posix::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid() || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd.get(), 8) != 0) {
        error = errnoText(path);
        return false;
    }
    m_controlListener = std::move(fd);
    return true;
}

void Emulator::collectPollFds(std::vector<pollfd>& fds) const
{
    fds.clear();
    fds.push_back({m_signalRead.get(), POLLIN, 0});
    fds.push_back({m_stdinOpen ? STDIN_FILENO : -1, POLLIN, 0});
    fds.push_back({m_controlListener.get(), POLLIN, 0});
    const bool restarting = m_restartEnd.has_value();
    for (const auto& l : m_listeners)
        fds.push_back({restarting ? -1 : l.fd.get(), POLLIN, 0});
    for (const auto& d : m_discovery)
        fds.push_back({d.fd.get(), POLLIN, 0});
    for (const auto& c : m_controlClients)
        fds.push_back(
            {c->fd.get(), static_cast<short>(c->output.empty() ? POLLIN : POLLIN | POLLOUT), 0});
    const auto now = Clock::now();
    for (const auto& s : m_sessions) {
        short events = POLLIN;
        if (!s->queue.empty() && s->queue.front().due <= now)
            events |= POLLOUT;
        fds.push_back({s->fd.get(), events, 0});
    }
}

int Emulator::pollTimeoutMs() const
{
    std::optional<Clock::time_point> next = m_restartEnd;
    const auto now = Clock::now();
    for (const auto& s : m_sessions) {
        // Due items are waited for with POLLOUT; only future ones need a timer.
        if (!s->queue.empty() && s->queue.front().due > now)
            next = next ? std::min(*next, s->queue.front().due) : s->queue.front().due;
    }
    if (!next)
        return -1;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, 60000));
}

int Emulator::run()
{
    std::vector<pollfd> fds;
    while (!m_quit) {
        collectPollFds(fds);
        // Containers only grow while events are handled (closed entries are swept at the
        // end), so positions taken now stay valid for this round.
        const size_t controlCount = m_controlClients.size();
        const size_t sessionCount = m_sessions.size();
        const int rc = ::poll(fds.data(), fds.size(), pollTimeoutMs());
        if (rc < 0 && errno != EINTR) {
            std::fprintf(stderr, "qpr60-emulator: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (m_restartEnd && Clock::now() >= *m_restartEnd)
            finishRestart();
        if (rc > 0)
            dispatch(fds, controlCount, sessionCount);
        for (const auto& s : m_sessions)
            flush(*s);
        removeClosedSessions();
        std::erase_if(m_controlClients, [](const auto& c) { return c->closing; });
    }
    return 0;
}

void Emulator::dispatch(const std::vector<pollfd>& fds, size_t controlCount, size_t sessionCount)
{
    constexpr short kReadable = POLLIN | POLLHUP | POLLERR;
    size_t i = 0;
    if (fds[i++].revents & POLLIN)
        m_quit = true;
    if (fds[i++].revents & kReadable)
        readStdin();
    if (fds[i++].revents & POLLIN)
        acceptControl();
    for (size_t k = 0; k < m_listeners.size(); ++k, ++i)
        if (fds[i].revents & POLLIN)
            acceptTcp(m_listeners[k]);
    for (size_t k = 0; k < m_discovery.size(); ++k, ++i)
        if (fds[i].revents & POLLIN)
            readDiscovery(m_discovery[k].fd.get());
    for (size_t k = 0; k < controlCount; ++k, ++i) {
        if (fds[i].revents & POLLOUT)
            writeControl(*m_controlClients[k]);
        if (fds[i].revents & kReadable)
            readControl(*m_controlClients[k]);
    }
    for (size_t k = 0; k < sessionCount; ++k, ++i) {
        Session& session = *m_sessions[k];
        if (!session.closing && (fds[i].revents & kReadable))
            readSession(session);
    }
}

void Emulator::acceptTcp(const Listener& listener)
{
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    posix::UniqueFd fd(::accept4(listener.fd.get(), reinterpret_cast<sockaddr*>(&peer), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!fd.valid())
        return;
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto session = std::make_unique<Session>();
    session->kind = Session::Kind::Tcp;
    session->name = "tcp:" + socketAddressText(peer);
    session->fd = std::move(fd);
    logLine("+ " + session->name + " connected to " + listener.address);
    m_sessions.push_back(std::move(session));
}

void Emulator::acceptControl()
{
    posix::UniqueFd fd(
        ::accept4(m_controlListener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!fd.valid())
        return;
    auto client = std::make_unique<ControlClient>();
    client->fd = std::move(fd);
    m_controlClients.push_back(std::move(client));
}

void Emulator::readSession(Session& session)
{
    uint8_t buffer[kReadChunk];
    const ssize_t n = ::read(session.fd.get(), buffer, sizeof buffer);
    if (n > 0) {
        handleBytes(session, buffer, static_cast<size_t>(n));
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (session.kind == Session::Kind::Tcp) {
        logLine("- " + session.name + " closed by the client");
        flush(session); // a client that only shut down its sending side still gets answers
        session.closing = true;
        return;
    }
    // A terminal master only fails when the line is gone; start a fresh one.
    for (auto& pty : m_ptys)
        if (pty->session == &session)
            recreatePty(*pty);
}

void Emulator::handleBytes(Session& session, const uint8_t* data, size_t length)
{
    logBytes(session, '<', data, length);
    m_receivedTotal += length;
    if (m_received.size() + length <= kMaxReceivedLog)
        m_received.insert(m_received.end(), data, data + length);
    if (m_restartEnd)
        return; // a restarting printer loses what it receives
    const uint64_t printedBefore = session.parser.printedBytes();
    session.parser.feed(std::span<const uint8_t>(data, length),
                        [&](const PrinterCommand& cmd) { handleCommand(session, cmd); });
    m_printedTotal += session.parser.printedBytes() - printedBefore;
}

void Emulator::handleCommand(Session& session, const PrinterCommand& cmd)
{
    if (m_restartEnd || session.closing)
        return;
    Printer::Reaction reaction = m_printer.handle(cmd, session.state);
    if (reaction.sendAutoStatus) {
        const AutoStatus status = autoStatus(m_printer.conditions());
        reaction.answer.assign(status.begin(), status.end());
    }
    sendAnswer(session, std::move(reaction.answer));
    if (reaction.settingsChanged)
        saveSettings();
    if (reaction.restart)
        startRestart();
}

void Emulator::sendAnswer(Session& session, std::vector<uint8_t> bytes)
{
    if (m_silent || bytes.empty())
        return;
    if (m_truncate)
        bytes.resize(bytes.size() / 2); // a one-byte answer vanishes entirely
    if (bytes.empty())
        return;
    if (m_garbage) {
        const std::string g = garbageAnswer(bytes.size());
        bytes.assign(g.begin(), g.end());
    }
    enqueue(session, bytes);
}

std::string Emulator::garbageAnswer(size_t length)
{
    std::string out(std::max<size_t>(length, 4), '\0');
    for (char& c : out) {
        m_garbageSeed = m_garbageSeed * 1664525u + 1013904223u;
        c = static_cast<char>(0x80 | (m_garbageSeed >> 24));
    }
    return out;
}

void Emulator::enqueue(Session& session, const std::vector<uint8_t>& bytes)
{
    const size_t limit = session.kind == Session::Kind::Pty ? kMaxPtyQueuedBytes : kMaxQueuedBytes;
    if (session.queuedBytes + bytes.size() > limit) {
        if (session.kind == Session::Kind::Tcp) {
            logLine("- " + session.name + " dropped: the client does not read");
            session.closing = true;
        }
        return;
    }
    const auto slow = std::chrono::milliseconds(m_slowMs);
    auto due = Clock::now() + slow;
    if (!session.queue.empty())
        due = std::max(due, session.queue.back().due);
    if (m_split) {
        for (size_t i = 0; i < bytes.size(); ++i)
            session.queue.push_back({due + slow * static_cast<int>(i), {bytes[i]}});
    } else {
        session.queue.push_back({due, bytes});
    }
    session.queuedBytes += bytes.size();
    flush(session);
}

void Emulator::flush(Session& session)
{
    const auto now = Clock::now();
    while (!session.closing && !session.queue.empty() && session.queue.front().due <= now) {
        Outgoing& item = session.queue.front();
        const ssize_t n =
            session.kind == Session::Kind::Tcp
                ? ::send(session.fd.get(), item.bytes.data(), item.bytes.size(), MSG_NOSIGNAL)
                : ::write(session.fd.get(), item.bytes.data(), item.bytes.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR)
                return;
            if (session.kind == Session::Kind::Tcp)
                session.closing = true;
            session.queue.clear();
            session.queuedBytes = 0;
            return;
        }
        logBytes(session, '>', item.bytes.data(), static_cast<size_t>(n));
        session.queuedBytes -= static_cast<size_t>(n);
        if (static_cast<size_t>(n) < item.bytes.size()) {
            item.bytes.erase(item.bytes.begin(), item.bytes.begin() + n);
            return;
        }
        session.queue.pop_front();
    }
}

void Emulator::statusMayHaveChanged()
{
    const AutoStatus status = autoStatus(m_printer.conditions());
    if (status == m_lastAutoStatus)
        return;
    m_lastAutoStatus = status;
    logLine("* status " + hexText(status.data(), status.size()));
    for (const auto& s : m_sessions)
        if (s->state.autoStatus && !s->closing)
            sendAnswer(*s, std::vector<uint8_t>(status.begin(), status.end()));
}

void Emulator::startRestart()
{
    logLine("* restart");
    for (const auto& s : m_sessions) {
        if (s->kind == Session::Kind::Tcp) {
            s->closing = true;
        } else {
            s->parser.reset();
            s->state = SessionState{};
            s->queue.clear();
            s->queuedBytes = 0;
        }
    }
    m_restartEnd = Clock::now() + std::chrono::milliseconds(m_options.restartMs);
    m_printer.conditions().restarting = true;
    statusMayHaveChanged();
}

void Emulator::finishRestart()
{
    m_restartEnd.reset();
    // Whatever was half-received before the restart is gone with it.
    for (const auto& s : m_sessions)
        s->parser.reset();
    m_printer.conditions().restarting = false;
    statusMayHaveChanged();
    logLine("* restarted");
}

void Emulator::dropConnections()
{
    for (const auto& s : m_sessions)
        if (s->kind == Session::Kind::Tcp)
            s->closing = true;
    for (auto& pty : m_ptys)
        recreatePty(*pty);
}

void Emulator::recreatePty(PtyEndpoint& endpoint)
{
    if (endpoint.session)
        endpoint.session->closing = true;
    endpoint.session = nullptr;
    endpoint.slave.reset();
    std::string error;
    if (openPty(endpoint, error))
        logLine("* " + endpoint.link + " now " + endpoint.device);
    else
        std::fprintf(stderr, "qpr60-emulator: %s\n", error.c_str());
}

void Emulator::removeClosedSessions()
{
    std::erase_if(m_sessions, [](const auto& s) { return s->closing; });
}

void Emulator::readControl(ControlClient& client)
{
    char buffer[1024];
    const ssize_t n = ::read(client.fd.get(), buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        client.closing = true;
        return;
    }
    client.input.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = client.input.find('\n')) != std::string::npos) {
        const std::string line = client.input.substr(0, end);
        client.input.erase(0, end + 1);
        client.output += control(line) + "\n";
    }
    if (client.input.size() > kMaxControlLine) {
        client.output += "ERR line too long\n";
        client.input.clear();
    }
    writeControl(client);
}

void Emulator::writeControl(ControlClient& client)
{
    while (!client.output.empty()) {
        const ssize_t n =
            ::send(client.fd.get(), client.output.data(), client.output.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return; // the rest goes when the socket is writable again
        if (n <= 0) {
            client.closing = true;
            return;
        }
        client.output.erase(0, static_cast<size_t>(n));
    }
}

void Emulator::readStdin()
{
    char buffer[1024];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        m_stdinOpen = false; // keep running: the printer does not end with its console
        return;
    }
    m_stdinInput.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = m_stdinInput.find('\n')) != std::string::npos) {
        const std::string line = m_stdinInput.substr(0, end);
        m_stdinInput.erase(0, end + 1);
        printLine(control(line));
    }
    if (m_stdinInput.size() > kMaxControlLine) {
        printLine("ERR line too long");
        m_stdinInput.clear();
    }
}

void Emulator::readDiscovery(int fd)
{
    uint8_t buffer[1500];
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const ssize_t n =
        ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer), &length);
    if (n <= 0)
        return;
    const std::string from = socketAddressText(peer);
    if (m_logFile.valid())
        logLine("< udp:" + from + " " + hexText(buffer, static_cast<size_t>(n)));
    const size_t prefix = sizeof kDiscoveryRequest - 1;
    if (!m_discoveryEnabled || static_cast<size_t>(n) < prefix ||
        std::memcmp(buffer, kDiscoveryRequest, prefix) != 0)
        return;
    const PrinterIdentity& id = m_printer.identity();
    std::string reply = "VRKPRINTER\nmodel=" + id.model + "\nmaker=" + id.maker +
                        "\nserial=" + id.serial + "\nfirmware=" + id.firmware +
                        "\ncharset=" + id.charset + "\nmodelid=" + std::to_string(id.modelId) +
                        "\n";
    if (!m_listeners.empty())
        reply += "address=" + m_listeners.front().host +
                 "\nport=" + std::to_string(m_listeners.front().port) + "\n";
    // Only ever to the address the request came from.
    ::sendto(fd, reply.data(), reply.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&peer),
             length);
}

void Emulator::saveSettings()
{
    if (!m_stateFile)
        return;
    std::string error;
    if (!m_stateFile->save(m_printer.settings(), error))
        std::fprintf(stderr, "qpr60-emulator: %s\n", error.c_str());
}

void Emulator::logBytes(const Session& session, char direction, const uint8_t* data, size_t length)
{
    if (m_logFile.valid() && length > 0)
        logLine(std::string(1, direction) + " " + session.name + " " + hexText(data, length));
}

void Emulator::logLine(const std::string& text)
{
    if (m_logFile.valid())
        writeAll(m_logFile.get(), utcNow() + " " + text + "\n");
}

} // namespace qpr60
