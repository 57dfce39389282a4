#pragma once

#include "connection.h"
#include "device_enumerator.h"
#include "port_store.h"
#include "status_dispatcher.h"
#include "status_monitor.h"

#include <qpu/comm_lib.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace qpcomm {

// Time limits, overridable by the environment for tests:
// $QPCOMM_TIMEOUT_MS (connect and answer, default 2000), $QPCOMM_STATUS_INTERVAL_MS
// (status check, default 1000), $QPCOMM_DISCOVERY_MS (default 1500).
struct Timing
{
    int timeoutMs = 2000;
    int statusIntervalMs = 1000;
    int discoveryMs = 1500;

    static Timing fromEnvironment();
};

// The state behind the QPC_* entry points: the registered ports, the selected port, the
// open connection with its status monitor, and the status procedures.
class CommLibrary
{
public:
    CommLibrary();
    ~CommLibrary();

    // The instance behind the exported C functions.
    static CommLibrary& instance();

    int32_t enumPort(PortInfo** list, uint32_t capacity, uint32_t* count);
    int32_t addPort(const PortInfo* port);
    int32_t removePort(const PortInfo* port);
    int32_t updatePort(const PortInfo* port);
    int32_t setPort(const PortInfo* port);
    int32_t getPort(PortInfo* port);
    int32_t open(int32_t mode);
    int32_t close();
    int32_t reopen();
    int32_t read(uint8_t* buffer, uint32_t capacity, uint32_t* received, uint32_t timeoutMs);
    int32_t write(const uint8_t* data, uint32_t length, uint32_t* written);
    int32_t getStatus(int32_t* status);
    int32_t initialize();
    int32_t purge();
    int32_t reset();
    int32_t registerProc(StatusDispatcher::Slot slot, QPC_StatusProc proc, void* context);
    int32_t unregisterProcs(StatusDispatcher::Slot slot);
    int32_t communicationTest(PortInfo* port);
    int32_t enumDevPort(const QpuChar16* keyword, PortInfo** list, uint32_t capacity,
                        uint32_t* count);
    int32_t findPort(PortInfo* port);
    int32_t queryText(uint8_t id, QpuChar16* buffer, uint32_t units);
    int32_t backup(const QpuChar16* path);
    int32_t restore(const QpuChar16* path);
    int32_t fileCheck(const QpuChar16* path);
    int32_t getPortName(QpuChar16* buffer, uint32_t units);
    int32_t setFlowControlForced(int32_t forced);
    int32_t setModelType(int32_t modelType);
    int32_t setCaller(int32_t caller);
    int32_t getCaller(int32_t* caller);
    int32_t terminate();

    StatusDispatcher& dispatcher() { return m_dispatcher; }

private:
    struct Session
    {
        PortInfo port{};
        std::unique_ptr<Connection> connection;
        std::unique_ptr<StatusMonitor> monitor;
        ~Session();
    };

    std::shared_ptr<Session> session() const;
    // The port that a driver-path record leads to (see DriverPortResolver).
    int32_t resolveDriverPath(const PortInfo& port, PortInfo* target) const;
    int32_t makeConnection(const PortInfo& port, std::unique_ptr<Connection>* connection) const;
    int32_t openSession(const PortInfo& port, std::shared_ptr<Session>* session);
    int32_t adopt(const PortInfo& port);
    int32_t queryTextOn(Connection& connection, uint8_t id, std::string* text) const;

    const Timing m_timing;
    PortStore m_store;
    DeviceEnumerator m_devices;
    StatusDispatcher m_dispatcher;
    mutable std::mutex m_mutex; // selection, session, settings
    std::optional<PortInfo> m_selected;
    std::shared_ptr<Session> m_session;
    bool m_flowControlForced = false;
    int32_t m_modelType = 0;
    int32_t m_caller = 0;
};

} // namespace qpcomm
