#pragma once

#include "frame_parser.h"
#include "transport.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qpcomm {

// An open link to a printer. A reader thread takes every byte the printer sends and
// splits it into frames: automatic-status blocks go to the status listener, everything
// else waits for the request it answers (or for QPC_Read). Requests are serialised; each
// one purges what an earlier one left behind before it writes.
class Connection
{
public:
    using StatusListener = std::function<void(const std::array<uint8_t, 4>&)>;
    using Clock = std::chrono::steady_clock;

    Connection(std::unique_ptr<Transport> transport, int timeoutMs);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Called on the reader thread; must not call back into the connection.
    void setStatusListener(StatusListener listener);
    int32_t open();
    void close();

    // Writes a request and waits for `count` frames of `kind`. For FrameKind::Raw, any
    // one-byte frame is accepted (the model ID byte may look like a status byte).
    int32_t transact(const std::vector<uint8_t>& request, FrameKind kind, std::size_t count,
                     std::vector<Frame>* answers);
    int32_t transact(const std::vector<uint8_t>& request, FrameKind kind, std::size_t count,
                     std::vector<Frame>* answers, int timeoutMs);
    // Writes without waiting for an answer.
    int32_t send(const std::vector<uint8_t>& request);
    int32_t write(const uint8_t* data, std::size_t length);
    // Answer bytes (status blocks left out) that arrived; waits up to timeoutMs for one.
    int32_t read(uint8_t* buffer, std::size_t capacity, std::size_t* received, int timeoutMs);
    void purge();
    // Opens the link again when it was lost.
    int32_t ensureLink();

    bool linkUp() const;
    Clock::time_point lastReceived() const;
    int timeoutMs() const { return m_timeoutMs; }
    std::string describe() const { return m_transport->describe(); }

private:
    void readerLoop();
    void onFrame(Frame&& frame);
    void purgeLocked(std::unique_lock<std::mutex>& lock);
    int32_t ensureLinkLocked();
    // Has the reader park and marks the link down; the next request opens it again.
    void dropLinkLocked();
    // Before a purge: a raw read that timed out may leave an answer on its way.
    void forgetTimedOutReadLocked();
    int32_t transactLocked(const std::vector<uint8_t>& request, FrameKind kind, std::size_t count,
                           std::vector<Frame>* answers, int timeoutMs);

    std::unique_ptr<Transport> m_transport;
    const int m_timeoutMs;
    std::mutex m_callMutex; // serialises requests; taken before m_mutex
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    FrameParser m_parser;
    std::deque<Frame> m_frames;
    std::size_t m_readOffset = 0; // bytes of m_frames.front() already handed to read()
    uint64_t m_epoch = 0;
    bool m_linkDown = true;
    bool m_stopping = false;
    bool m_dropRequested = false;
    bool m_mayHaveStale = false;
    bool m_readTimedOut = false; // a raw read gave up since the last purge (m_callMutex)
    Clock::time_point m_lastReceived{};
    StatusListener m_statusListener;
    std::thread m_reader;
};

} // namespace qpcomm
