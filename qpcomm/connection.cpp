#include "connection.h"

#include <qpu/comm_lib.h>

namespace qpcomm {

namespace {
// After a failed request, the printer's late answer may still be on its way: wait for
// this much silence before the next request.
constexpr auto kQuietPeriod = std::chrono::milliseconds(30);
constexpr auto kMaxQuietWait = std::chrono::milliseconds(300);
constexpr int kReaderSliceMs = 500;
// Frames that no request has taken yet. A printer that sends on its own while nothing
// waits (garbage at a wrong line speed, say) must not grow the queue without bound: the
// oldest frames go first, as a request would purge them anyway. A full queue holds at most
// a few megabytes.
constexpr std::size_t kMaxQueuedFrames = 4096;
} // namespace

Connection::Connection(std::unique_ptr<Transport> transport, int timeoutMs)
    : m_transport(std::move(transport)), m_timeoutMs(timeoutMs),
      m_parser([this](Frame&& frame) { onFrame(std::move(frame)); })
{}

Connection::~Connection()
{
    close();
}

void Connection::setStatusListener(StatusListener listener)
{
    std::lock_guard lock(m_mutex);
    m_statusListener = std::move(listener);
}

int32_t Connection::open()
{
    std::lock_guard call(m_callMutex);
    const int32_t result = m_transport->open(m_timeoutMs);
    if (result != QPC_OK) {
        return result;
    }
    m_transport->purge();
    {
        std::lock_guard lock(m_mutex);
        m_linkDown = false;
        m_stopping = false;
    }
    m_reader = std::thread([this] { readerLoop(); });
    return QPC_OK;
}

void Connection::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_linkDown = true; // requests waiting on another thread give up now
    }
    m_cv.notify_all();
    m_transport->wake();
    if (m_reader.joinable()) {
        m_reader.join();
    }
    std::lock_guard call(m_callMutex);
    m_transport->close();
}

void Connection::readerLoop()
{
    std::array<uint8_t, 512> buffer{};
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait(lock, [this] { return m_stopping || !m_linkDown; });
            if (m_stopping) {
                return;
            }
        }
        std::size_t received = 0;
        const int32_t result =
            m_transport->read(buffer.data(), buffer.size(), kReaderSliceMs, &received);
        std::lock_guard lock(m_mutex);
        if (m_dropRequested) {
            m_dropRequested = false;
            m_linkDown = true;
            m_parser.reset();
        } else if (result != QPC_OK) {
            // The link is gone; the transport stays untouched until ensureLink() opens
            // it again, so no other thread races with this one on its descriptor.
            m_linkDown = true;
            m_parser.reset();
        } else if (received > 0) {
            m_lastReceived = Clock::now();
            m_parser.feed(buffer.data(), received);
        }
        m_cv.notify_all();
    }
}

void Connection::onFrame(Frame&& frame)
{
    if (frame.kind == FrameKind::StatusBlock) {
        if (m_statusListener) {
            m_statusListener({frame.bytes[0], frame.bytes[1], frame.bytes[2], frame.bytes[3]});
        }
        return;
    }
    if (m_frames.size() >= kMaxQueuedFrames) {
        m_frames.pop_front();
        m_readOffset = 0; // QPC_Read had begun on the dropped frame
    }
    m_frames.push_back(std::move(frame));
}

bool Connection::linkUp() const
{
    std::lock_guard lock(m_mutex);
    return !m_linkDown;
}

Connection::Clock::time_point Connection::lastReceived() const
{
    std::lock_guard lock(m_mutex);
    return m_lastReceived;
}

int32_t Connection::ensureLink()
{
    std::lock_guard call(m_callMutex);
    return ensureLinkLocked();
}

int32_t Connection::ensureLinkLocked()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return QPC_ERR_NOT_OPEN;
        }
        if (!m_linkDown) {
            return QPC_OK;
        }
    }
    // The reader is parked while the link is down, so the transport is ours alone.
    m_transport->close();
    const int32_t result = m_transport->open(m_timeoutMs);
    if (result != QPC_OK) {
        return result;
    }
    m_transport->purge();
    {
        std::lock_guard lock(m_mutex);
        m_parser.reset();
        m_frames.clear();
        m_readOffset = 0;
        m_linkDown = false;
    }
    m_cv.notify_all();
    return QPC_OK;
}

void Connection::purgeLocked(std::unique_lock<std::mutex>& lock)
{
    if (m_mayHaveStale) {
        const auto giveUp = Clock::now() + kMaxQuietWait;
        while (Clock::now() < giveUp && !m_linkDown) {
            const auto quietUntil = m_lastReceived + kQuietPeriod;
            if (Clock::now() >= quietUntil) {
                break;
            }
            m_cv.wait_until(lock, std::min(quietUntil, giveUp));
        }
        m_mayHaveStale = false;
    }
    m_frames.clear();
    m_readOffset = 0;
    // The start of an answer still in the framer is left over too; its rest, should it
    // come, is skipped by the framer.
    m_parser.discardPartial();
    m_parser.setEpoch(++m_epoch);
}

void Connection::purge()
{
    std::lock_guard call(m_callMutex);
    forgetTimedOutReadLocked();
    std::unique_lock lock(m_mutex);
    purgeLocked(lock);
}

void Connection::forgetTimedOutReadLocked()
{
    if (m_readTimedOut && m_transport->freshAfterReconnect()) {
        // A raw read gave up waiting: whatever answer is still on its way must not reach
        // a later request. Where a new connection carries nothing of the old, start afresh.
        dropLinkLocked();
    }
    m_readTimedOut = false;
}

int32_t Connection::send(const std::vector<uint8_t>& request)
{
    return write(request.data(), request.size());
}

int32_t Connection::write(const uint8_t* data, std::size_t length)
{
    std::lock_guard call(m_callMutex);
    if (const int32_t link = ensureLinkLocked(); link != QPC_OK) {
        return link;
    }
    return m_transport->write(data, length, m_timeoutMs);
}

int32_t Connection::transact(const std::vector<uint8_t>& request, FrameKind kind, std::size_t count,
                             std::vector<Frame>* answers)
{
    return transact(request, kind, count, answers, m_timeoutMs);
}

int32_t Connection::transact(const std::vector<uint8_t>& request, FrameKind kind, std::size_t count,
                             std::vector<Frame>* answers, int timeoutMs)
{
    std::lock_guard call(m_callMutex);
    int32_t result = transactLocked(request, kind, count, answers, timeoutMs);
    if (result == QPC_ERR_CONNECTION_LOST && m_transport->reconnects()) {
        // The link dropped before or while the request went out: open it again and ask
        // once more, so that a dropped connection costs the caller nothing.
        result = transactLocked(request, kind, count, answers, timeoutMs);
    }
    if ((result == QPC_ERR_TIMEOUT || result == QPC_ERR_BAD_ANSWER) &&
        m_transport->freshAfterReconnect()) {
        // A late or broken answer could pass for the answer to the next request. On a
        // link where a new connection carries nothing of the old one, start afresh.
        dropLinkLocked();
    }
    return result;
}

void Connection::dropLinkLocked()
{
    std::unique_lock lock(m_mutex);
    if (m_linkDown || m_stopping) {
        return;
    }
    m_dropRequested = true;
    m_transport->wake();
    m_cv.wait(lock, [this] { return m_linkDown || m_stopping; });
}

int32_t Connection::transactLocked(const std::vector<uint8_t>& request, FrameKind kind,
                                   std::size_t count, std::vector<Frame>* answers, int timeoutMs)
{
    answers->clear();
    forgetTimedOutReadLocked();
    if (const int32_t link = ensureLinkLocked(); link != QPC_OK) {
        return link;
    }
    std::unique_lock lock(m_mutex);
    purgeLocked(lock);
    const uint64_t epoch = m_epoch;
    lock.unlock();
    if (const int32_t written = m_transport->write(request.data(), request.size(), timeoutMs);
        written != QPC_OK) {
        lock.lock();
        m_mayHaveStale = true;
        return written;
    }
    lock.lock();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int32_t result = QPC_OK;
    for (;;) {
        while (!m_frames.empty()) {
            Frame frame = std::move(m_frames.front());
            m_frames.pop_front();
            if (frame.epoch < epoch) {
                continue; // began before this request: left over from an earlier one
            }
            const bool oneByte =
                frame.bytes.size() == 1 &&
                (frame.kind == FrameKind::Raw || frame.kind == FrameKind::RealtimeStatus);
            if (frame.kind == kind || (kind == FrameKind::Raw && oneByte)) {
                answers->push_back(std::move(frame));
            } else {
                result = QPC_ERR_BAD_ANSWER;
            }
        }
        if (result != QPC_OK || answers->size() >= count) {
            break;
        }
        if (m_linkDown) {
            result = QPC_ERR_CONNECTION_LOST;
            break;
        }
        if (m_cv.wait_until(lock, deadline) == std::cv_status::timeout && m_frames.empty()) {
            result = QPC_ERR_TIMEOUT;
            break;
        }
    }
    if (result != QPC_OK) {
        m_mayHaveStale = true;
        answers->clear();
    }
    m_readOffset = 0;
    return result;
}

int32_t Connection::read(uint8_t* buffer, std::size_t capacity, std::size_t* received,
                         int timeoutMs)
{
    *received = 0;
    std::lock_guard call(m_callMutex);
    if (const int32_t link = ensureLinkLocked(); link != QPC_OK) {
        return link;
    }
    std::unique_lock lock(m_mutex);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_frames.empty()) {
        if (m_linkDown) {
            return QPC_ERR_CONNECTION_LOST;
        }
        if (m_cv.wait_until(lock, deadline) == std::cv_status::timeout && m_frames.empty()) {
            // An answer may still be coming: the next purge makes sure it is not taken
            // for a later one.
            m_mayHaveStale = true;
            m_readTimedOut = true;
            return QPC_ERR_TIMEOUT;
        }
    }
    while (!m_frames.empty() && *received < capacity) {
        const Frame& frame = m_frames.front();
        while (m_readOffset < frame.bytes.size() && *received < capacity) {
            buffer[(*received)++] = frame.bytes[m_readOffset++];
        }
        if (m_readOffset == frame.bytes.size()) {
            m_frames.pop_front();
            m_readOffset = 0;
        }
    }
    return QPC_OK;
}

} // namespace qpcomm
