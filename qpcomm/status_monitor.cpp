#include "status_monitor.h"

namespace qpcomm {

namespace {
const std::vector<uint8_t> kEnableAutomaticStatus = {0x1D, 0x61, 0xFF};
const std::vector<uint8_t> kRealtimeRequests = {0x10, 0x04, 1,    0x10, 0x04, 2,    0x10, 0x04,
                                                3,    0x10, 0x04, 4,    0x10, 0x04, 5,    0x10,
                                                0x04, 6,    0x10, 0x04, 7,    0x10, 0x04, 8};
} // namespace

StatusMonitor::StatusMonitor(Connection& connection, StatusDispatcher& dispatcher, int intervalMs)
    : m_connection(connection), m_dispatcher(dispatcher), m_intervalMs(intervalMs)
{}

StatusMonitor::~StatusMonitor()
{
    stop();
}

void StatusMonitor::start()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    m_thread = std::thread([this] { run(); });
}

void StatusMonitor::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void StatusMonitor::refresh()
{
    {
        std::lock_guard lock(m_mutex);
        m_refresh = true;
    }
    m_cv.notify_all();
}

int32_t StatusMonitor::currentCode() const
{
    std::lock_guard lock(m_mutex);
    if (m_ordinary < 0) {
        return QPC_STATUS_NO_STATUS;
    }
    if (m_lasting != QPC_STATUS_LASTING_ENDED && (m_ordinary == 0 || m_ordinary >= m_lasting)) {
        return m_lasting;
    }
    return m_ordinary;
}

int32_t StatusMonitor::lastReported() const
{
    std::lock_guard lock(m_mutex);
    return m_lastReported;
}

void StatusMonitor::onStatusBlock(const std::array<uint8_t, 4>& block)
{
    {
        std::lock_guard lock(m_mutex);
        m_pendingBlock = block;
        ++m_blocksSeen;
    }
    m_cv.notify_all();
}

void StatusMonitor::publish(const PrinterCondition& condition)
{
    const int32_t ordinary = ordinaryCode(condition);
    const int32_t lasting = lastingCode(condition);
    std::lock_guard lock(m_mutex);
    if (lasting != m_lasting) {
        m_lasting = lasting;
        m_lastReported = lasting;
        m_dispatcher.post(lasting);
    }
    if (ordinary != m_ordinary) {
        m_ordinary = ordinary;
        m_lastReported = ordinary;
        m_dispatcher.post(ordinary);
    }
}

void StatusMonitor::publishNoStatus()
{
    std::lock_guard lock(m_mutex);
    if (m_ordinary != QPC_STATUS_NO_STATUS) {
        m_ordinary = QPC_STATUS_NO_STATUS;
        m_lastReported = QPC_STATUS_NO_STATUS;
        m_dispatcher.post(QPC_STATUS_NO_STATUS);
    }
}

bool StatusMonitor::pollRealtime()
{
    std::vector<Frame> answers;
    if (m_connection.transact(kRealtimeRequests, FrameKind::RealtimeStatus, 8, &answers) !=
        QPC_OK) {
        return false;
    }
    std::array<uint8_t, 8> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = answers[i].bytes[0];
    }
    publish(decodeRealtimeStatus(bytes));
    return true;
}

// Waits for a status block newer than the ones seen when the wait began.
bool StatusMonitor::waitForBlock(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const uint64_t seen = m_blocksSeen;
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return m_stopping || m_blocksSeen != seen;
    }) && !m_stopping;
}

void StatusMonitor::run()
{
    bool automatic = true;
    auto nextCheck = Connection::Clock::now();
    for (;;) {
        std::optional<std::array<uint8_t, 4>> block;
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait_until(lock, nextCheck,
                            [this] { return m_stopping || m_refresh || m_pendingBlock; });
            if (m_stopping) {
                return;
            }
            block.swap(m_pendingBlock);
            if (m_refresh) {
                m_refresh = false;
                nextCheck = Connection::Clock::now();
            }
        }
        if (block) {
            publish(decodeStatusBlock(*block));
            continue;
        }
        if (Connection::Clock::now() < nextCheck) {
            continue;
        }
        nextCheck = Connection::Clock::now() + std::chrono::milliseconds(m_intervalMs);
        if (automatic || m_connection.linkUp() == false) {
            // Ask for automatic status (again): the printer answers with a block now.
            std::unique_lock lock(m_mutex);
            const uint64_t seen = m_blocksSeen;
            lock.unlock();
            if (m_connection.send(kEnableAutomaticStatus) == QPC_OK) {
                lock.lock();
                const bool got =
                    m_cv.wait_for(lock, std::chrono::milliseconds(m_connection.timeoutMs()),
                                  [&] { return m_stopping || m_blocksSeen != seen; });
                lock.unlock();
                if (got) {
                    automatic = true;
                    continue;
                }
            }
        }
        // No status block: ask with real-time requests; a printer that answers them
        // but sends no blocks is polled from now on.
        if (pollRealtime()) {
            automatic = false;
            nextCheck = Connection::Clock::now() + std::chrono::milliseconds(m_intervalMs / 4);
        } else {
            automatic = true;
            publishNoStatus();
        }
    }
}

} // namespace qpcomm
