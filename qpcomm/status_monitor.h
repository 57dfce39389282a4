#pragma once

#include "connection.h"
#include "status_decoder.h"
#include "status_dispatcher.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace qpcomm {

// Keeps the printer's status current while a port is open and reports every change to
// the dispatcher. The printer is asked to send its status by itself (automatic status
// back); the request is repeated every interval, which also tells a silent printer and
// brings automatic status back after the printer restarted. A printer that sends no
// status blocks is asked with real-time status requests instead.
class StatusMonitor
{
public:
    StatusMonitor(Connection& connection, StatusDispatcher& dispatcher, int intervalMs);
    ~StatusMonitor();
    StatusMonitor(const StatusMonitor&) = delete;
    StatusMonitor& operator=(const StatusMonitor&) = delete;

    void start();
    void stop();
    // Asks for a fresh status now (after QPC_Initialize).
    void refresh();
    // The status code as the status view would show it; QPC_STATUS_NO_STATUS before the
    // first answer.
    int32_t currentCode() const;
    // The last code reported, or -1 before the first.
    int32_t lastReported() const;

    // Reader thread: a status block arrived.
    void onStatusBlock(const std::array<uint8_t, 4>& block);

private:
    void run();
    void publish(const PrinterCondition& condition);
    void publishNoStatus();
    bool pollRealtime();
    bool waitForBlock(int timeoutMs);

    Connection& m_connection;
    StatusDispatcher& m_dispatcher;
    const int m_intervalMs;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::optional<std::array<uint8_t, 4>> m_pendingBlock;
    uint64_t m_blocksSeen = 0;
    bool m_stopping = false;
    bool m_refresh = false;
    int32_t m_ordinary = -1;
    int32_t m_lasting = QPC_STATUS_LASTING_ENDED;
    int32_t m_lastReported = -1;
    std::thread m_thread;
};

} // namespace qpcomm
