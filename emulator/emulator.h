#pragma once

#include "printer.h"
#include "state_file.h"

#include "posix/unique_fd.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pollfd;

namespace qpr60 {

struct EmulatorOptions
{
    std::vector<std::string> tcpAddresses;
    std::vector<std::string> ptyLinks;
    std::vector<std::string> discoveryAddresses;
    std::string controlPath;
    bool stdinControl = false;
    std::string statePath;
    std::string logPath;
    PrinterIdentity identity;
    bool strictUserMode = false;
    int restartMs = 300;
};

// The emulated printer with all its endpoints, run by one poll loop.
class Emulator
{
public:
    explicit Emulator(EmulatorOptions options);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Opens every endpoint and writes the "listening ..." and "ready" lines.
    bool open(std::string& error);
    // Serves until `quit` or a termination signal; answers the exit code.
    int run();

    // One control command line; answers one line without the line end.
    std::string control(std::string_view line);

private:
    using Clock = std::chrono::steady_clock;

    struct Outgoing
    {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
    };

    struct Session
    {
        enum class Kind
        {
            Tcp,
            Pty
        };
        Kind kind = Kind::Tcp;
        std::string name;
        posix::UniqueFd fd;
        CommandParser parser;
        SessionState state;
        std::deque<Outgoing> queue;
        size_t queuedBytes = 0;
        bool closing = false;
    };

    struct PtyEndpoint
    {
        std::string link;
        std::string device;
        posix::UniqueFd slave; // held open so that the master never sees a hang-up
        Session* session = nullptr;
    };

    struct ControlClient
    {
        posix::UniqueFd fd;
        std::string input;
        std::string output; // answers not yet taken by the client
        bool closing = false;
    };

    struct Listener
    {
        posix::UniqueFd fd;
        std::string address; // as reported: host:port
        std::string host;
        uint16_t port = 0;
    };

    bool openTcp(const std::string& spec, std::string& error);
    bool openPty(PtyEndpoint& endpoint, std::string& error);
    bool openDiscovery(const std::string& spec, std::string& error);
    bool openControl(std::string& error);

    void acceptTcp(const Listener& listener);
    void acceptControl();
    void readSession(Session& session);
    void readControl(ControlClient& client);
    void writeControl(ControlClient& client);
    void readStdin();
    void readDiscovery(int fd);
    void handleBytes(Session& session, const uint8_t* data, size_t length);
    void handleCommand(Session& session, const PrinterCommand& cmd);

    void sendAnswer(Session& session, std::vector<uint8_t> bytes);
    void enqueue(Session& session, const std::vector<uint8_t>& bytes);
    void flush(Session& session);
    void statusMayHaveChanged();
    void startRestart();
    void finishRestart();
    void dropConnections();
    void recreatePty(PtyEndpoint& endpoint);
    void removeClosedSessions();
    void saveSettings();
    void logBytes(const Session& session, char direction, const uint8_t* data, size_t length);
    void logLine(const std::string& text);

    std::string controlSetCondition(const std::vector<std::string>& words);
    std::string statusText() const;
    std::string garbageAnswer(size_t length);

    int pollTimeoutMs() const;
    void dispatch(const std::vector<pollfd>& fds, size_t controlCount, size_t sessionCount);
    void collectPollFds(std::vector<pollfd>& fds) const;

    EmulatorOptions m_options;
    Printer m_printer;
    std::optional<StateFile> m_stateFile;
    posix::UniqueFd m_logFile;

    std::vector<Listener> m_listeners;
    std::vector<std::unique_ptr<Session>> m_sessions;
    std::vector<std::unique_ptr<PtyEndpoint>> m_ptys;
    std::vector<Listener> m_discovery;
    posix::UniqueFd m_controlListener;
    std::vector<std::unique_ptr<ControlClient>> m_controlClients;
    posix::UniqueFd m_signalRead;
    posix::UniqueFd m_signalWrite;
    bool m_stdinOpen = false;
    std::string m_stdinInput;

    bool m_silent = false;
    bool m_garbage = false;
    bool m_split = false;
    bool m_truncate = false;
    bool m_discoveryEnabled = true;
    int m_slowMs = 0;
    std::optional<Clock::time_point> m_restartEnd;
    AutoStatus m_lastAutoStatus{};
    int m_lastLastingCode = kNoLastingCode;
    std::vector<uint8_t> m_received;
    uint64_t m_receivedTotal = 0;
    uint64_t m_printedTotal = 0;
    uint32_t m_garbageSeed = 0x2545F491u;
    bool m_quit = false;
};

} // namespace qpr60
