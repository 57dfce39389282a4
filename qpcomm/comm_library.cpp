#include "comm_library.h"

#include "discovery.h"
#include "driver_port.h"
#include "printer_commands.h"
#include "serial_transport.h"
#include "tcp_transport.h"
#include "text.h"

#include "posix/atomic_file.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace qpcomm {

namespace cmd = printer_commands;

namespace {

int envInt(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') {
        return fallback;
    }
    const long n = std::strtol(value, nullptr, 10);
    return n > 0 && n < 600000 ? static_cast<int>(n) : fallback;
}

bool knownKeyword(const std::string& keyword)
{
    return keyword == "COM" || keyword == "LPT" || keyword == "USB" || keyword == "NET" ||
           keyword == "BT";
}

// Writes text into a caller's buffer of `units` code units; cut texts still end in zero.
int32_t copyOut(const std::string& text, QpuChar16* buffer, uint32_t units)
{
    if (buffer == nullptr || units == 0) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    copyToField(text, buffer, units);
    return toUtf16(text).size() < units ? QPC_OK : QPC_ERR_BUFFER_TOO_SMALL;
}

constexpr char kBackupHeader[] = "QPR60-BACKUP 1";
constexpr int kCustomValueCount = 256;
constexpr int kMemorySwitchCount = 8;

struct Backup
{
    std::string model;
    std::map<int, uint16_t> customValues;
    std::map<int, std::string> memorySwitches;
};

bool parseBackup(const std::string& path, Backup* backup)
{
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line) || line != kBackupHeader) {
        return false;
    }
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        if (line.rfind("model=", 0) == 0) {
            backup->model = line.substr(6);
            continue;
        }
        int number = -1;
        char value[32] = {};
        if (std::sscanf(line.c_str(), "custom %d=%31s", &number, value) == 2) {
            char* end = nullptr;
            const long v = std::strtol(value, &end, 10);
            if (number < 0 || number >= kCustomValueCount || *end != '\0' || v < 0 || v > 0xFFFF) {
                return false;
            }
            backup->customValues[number] = static_cast<uint16_t>(v);
        } else if (std::sscanf(line.c_str(), "memsw %d=%31s", &number, value) == 2) {
            const std::string bits = value;
            if (number < 1 || number > kMemorySwitchCount || bits.size() != 8 ||
                bits.find_first_not_of("01") != std::string::npos) {
                return false;
            }
            backup->memorySwitches[number] = bits;
        } else {
            return false;
        }
    }
    return !backup->customValues.empty() || !backup->memorySwitches.empty();
}

// Leaving the user-setting mode restarts the printer: it drops TCP connections and
// answers nothing for a while. Wait until it answers a real-time status request again, so
// that the next request of the caller does not run into the restart.
int32_t leaveUserSettingAndWait(Connection& connection, int restartLimitMs)
{
    const int32_t sent = connection.send(printer_commands::leaveUserSetting());
    if (sent != QPC_OK) {
        return sent;
    }
    const std::vector<uint8_t> printerStatus = {0x10, 0x04, 0x01};
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(restartLimitMs);
    std::vector<Frame> answers;
    // The request sent right after leaving would reach the printer before it restarts.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (;;) {
        const int32_t r =
            connection.transact(printerStatus, FrameKind::RealtimeStatus, 1, &answers, 250);
        if (r == QPC_OK) {
            return QPC_OK;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return r;
        }
        if (r != QPC_ERR_TIMEOUT) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // connection refused
        }
    }
}

constexpr int kRestartLimitMs = 15000;

int32_t readCustomValue(Connection& connection, uint8_t a, uint16_t* value)
{
    std::vector<Frame> answers;
    const int32_t r = connection.transact(printer_commands::transmitCustomValue(a),
                                          FrameKind::Setting, 1, &answers);
    if (r != QPC_OK) {
        return r;
    }
    const auto parsed = printer_commands::parseCustomValue(answers.front(), a);
    if (!parsed) {
        return QPC_ERR_BAD_ANSWER;
    }
    *value = *parsed;
    return QPC_OK;
}

int32_t readMemorySwitch(Connection& connection, uint8_t a, std::string* bits)
{
    std::vector<Frame> answers;
    const int32_t r = connection.transact(printer_commands::transmitMemorySwitch(a),
                                          FrameKind::Setting, 1, &answers);
    if (r != QPC_OK) {
        return r;
    }
    auto parsed = printer_commands::parseMemorySwitch(answers.front());
    if (!parsed) {
        return QPC_ERR_BAD_ANSWER;
    }
    *bits = std::move(*parsed);
    return QPC_OK;
}

} // namespace

Timing Timing::fromEnvironment()
{
    Timing t;
    t.timeoutMs = envInt("QPCOMM_TIMEOUT_MS", t.timeoutMs);
    t.statusIntervalMs = envInt("QPCOMM_STATUS_INTERVAL_MS", t.statusIntervalMs);
    t.discoveryMs = envInt("QPCOMM_DISCOVERY_MS", t.discoveryMs);
    return t;
}

CommLibrary::Session::~Session()
{
    if (monitor) {
        monitor->stop();
    }
    if (connection) {
        connection->close();
    }
}

CommLibrary::CommLibrary() : m_timing(Timing::fromEnvironment()), m_store(PortStore::defaultPath())
{}

CommLibrary::~CommLibrary()
{
    terminate();
}

CommLibrary& CommLibrary::instance()
{
    static CommLibrary library;
    return library;
}

std::shared_ptr<CommLibrary::Session> CommLibrary::session() const
{
    std::lock_guard lock(m_mutex);
    return m_session;
}

int32_t CommLibrary::enumPort(PortInfo** list, uint32_t capacity, uint32_t* count)
{
    if (count == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    std::vector<PortInfo> ports;
    if (const int32_t r = m_store.load(&ports); r != QPC_OK) {
        *count = 0;
        return r;
    }
    if (list == nullptr || capacity == 0) {
        *count = static_cast<uint32_t>(ports.size());
        return QPC_OK;
    }
    uint32_t filled = 0;
    for (; filled < capacity && filled < ports.size(); ++filled) {
        if (list[filled] == nullptr) {
            break;
        }
        *list[filled] = ports[filled];
    }
    *count = filled;
    return QPC_OK;
}

int32_t CommLibrary::addPort(const PortInfo* port)
{
    if (port == nullptr || !knownKeyword(toUtf8(port->interfaceKeyword)) ||
        port->portName[0] == 0) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    return m_store.add(*port);
}

int32_t CommLibrary::removePort(const PortInfo* port)
{
    return port == nullptr ? QPC_ERR_INVALID_ARGUMENT : m_store.remove(*port);
}

int32_t CommLibrary::updatePort(const PortInfo* port)
{
    return port == nullptr ? QPC_ERR_INVALID_ARGUMENT : m_store.update(*port);
}

int32_t CommLibrary::setPort(const PortInfo* port)
{
    if (port == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    const bool valid = isDriverPathRecord(*port)
                           ? port->driverPortPath[0] != 0
                           : knownKeyword(toUtf8(port->interfaceKeyword)) && port->portName[0] != 0;
    if (!valid) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    std::lock_guard lock(m_mutex);
    m_selected = *port;
    return QPC_OK;
}

int32_t CommLibrary::getPort(PortInfo* port)
{
    if (port == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    std::lock_guard lock(m_mutex);
    if (!m_selected) {
        return QPC_ERR_NOT_OPEN;
    }
    *port = *m_selected;
    return QPC_OK;
}

int32_t CommLibrary::resolveDriverPath(const PortInfo& port, PortInfo* target) const
{
    std::vector<PortInfo> registered;
    if (const int32_t r = m_store.load(&registered); r != QPC_OK) {
        return r;
    }
    const TtyDriverTable ttys;
    return DriverPortResolver(m_devices, ttys)
        .resolve(toUtf8(port.driverPortPath), registered, target);
}

int32_t CommLibrary::makeConnection(const PortInfo& port,
                                    std::unique_ptr<Connection>* connection) const
{
    if (isDriverPathRecord(port)) {
        // Resolved at every opening, so that a reopened link finds the port as it is now.
        PortInfo target{};
        if (const int32_t r = resolveDriverPath(port, &target); r != QPC_OK) {
            return r;
        }
        return makeConnection(target, connection);
    }
    const std::string keyword = toUtf8(port.interfaceKeyword);
    const std::string name = toUtf8(port.portName);
    std::unique_ptr<Transport> transport;
    if (keyword == "NET") {
        std::string host;
        uint16_t tcpPort = 0;
        if (!TcpTransport::parseAddress(name, &host, &tcpPort)) {
            return QPC_ERR_INVALID_ARGUMENT;
        }
        transport = std::make_unique<TcpTransport>(host, tcpPort);
    } else if (keyword == "COM" || keyword == "BT") {
        SerialSettings settings;
        if (!serialSettingsFromCodes(port.serialParamsPresent, port.dataBitsCode, port.baudRateCode,
                                     port.parityCode, &settings)) {
            return QPC_ERR_INVALID_ARGUMENT;
        }
        {
            std::lock_guard lock(m_mutex);
            settings.rtsCts = m_flowControlForced;
        }
        transport = std::make_unique<SerialTransport>(m_devices.devicePath(keyword, name, nullptr),
                                                      settings);
    } else if (keyword == "LPT" || keyword == "USB") {
        const std::string path = m_devices.devicePath(keyword, name, port.usbDeviceId);
        if (path.empty()) {
            return QPC_ERR_NOT_FOUND;
        }
        transport = std::make_unique<DeviceTransport>(path);
    } else {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    if (name.empty()) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    *connection = std::make_unique<Connection>(std::move(transport), m_timing.timeoutMs);
    return QPC_OK;
}

int32_t CommLibrary::openSession(const PortInfo& port, std::shared_ptr<Session>* result)
{
    auto session = std::make_shared<Session>();
    session->port = port;
    if (const int32_t r = makeConnection(port, &session->connection); r != QPC_OK) {
        return r;
    }
    session->monitor = std::make_unique<StatusMonitor>(*session->connection, m_dispatcher,
                                                       m_timing.statusIntervalMs);
    StatusMonitor* monitor = session->monitor.get();
    session->connection->setStatusListener(
        [monitor](const std::array<uint8_t, 4>& block) { monitor->onStatusBlock(block); });
    if (const int32_t r = session->connection->open(); r != QPC_OK) {
        return r;
    }
    session->monitor->start();
    *result = std::move(session);
    return QPC_OK;
}

int32_t CommLibrary::open(int32_t mode)
{
    if (mode < 0) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    PortInfo port{};
    {
        std::lock_guard lock(m_mutex);
        if (!m_selected) {
            return QPC_ERR_NOT_OPEN;
        }
        if (m_session) {
            return sameTarget(m_session->port, *m_selected) ? QPC_OK : QPC_ERR_ALREADY_OPEN;
        }
        port = *m_selected;
    }
    return adopt(port);
}

// Opens a session on `port` and makes it the open one. A session that another thread
// opened meanwhile wins; ours is closed again when `opened` goes out of scope.
int32_t CommLibrary::adopt(const PortInfo& port)
{
    std::shared_ptr<Session> opened;
    if (const int32_t result = openSession(port, &opened); result != QPC_OK) {
        return result;
    }
    std::lock_guard lock(m_mutex);
    if (m_session) {
        return QPC_ERR_ALREADY_OPEN;
    }
    m_session = std::move(opened);
    return QPC_OK;
}

int32_t CommLibrary::close()
{
    std::shared_ptr<Session> closing;
    {
        std::lock_guard lock(m_mutex);
        closing.swap(m_session);
    }
    if (closing) {
        closing->monitor->stop();
        // Automatic status stays on in the printer; turn it off so that whoever uses the
        // port next (a print spooler) gets no status bytes it did not ask for.
        if (closing->connection->linkUp()) {
            closing->connection->send({0x1D, 0x61, 0x00});
        }
        closing->connection->close();
    }
    return QPC_OK;
}

int32_t CommLibrary::reopen()
{
    PortInfo port{};
    {
        std::lock_guard lock(m_mutex);
        if (!m_session) {
            return QPC_ERR_NOT_OPEN;
        }
        port = m_session->port;
    }
    close();
    return adopt(port);
}

int32_t CommLibrary::read(uint8_t* buffer, uint32_t capacity, uint32_t* received,
                          uint32_t timeoutMs)
{
    if (buffer == nullptr || received == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    *received = 0;
    const auto s = session();
    if (!s) {
        return QPC_ERR_NOT_OPEN;
    }
    std::size_t got = 0;
    const int32_t r = s->connection->read(buffer, capacity, &got,
                                          static_cast<int>(std::min<uint32_t>(timeoutMs, 600000)));
    *received = static_cast<uint32_t>(got);
    return r;
}

int32_t CommLibrary::write(const uint8_t* data, uint32_t length, uint32_t* written)
{
    if (data == nullptr && length > 0) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    if (written != nullptr) {
        *written = 0;
    }
    const auto s = session();
    if (!s) {
        return QPC_ERR_NOT_OPEN;
    }
    const int32_t r = s->connection->write(data, length);
    if (r == QPC_OK && written != nullptr) {
        *written = length;
    }
    return r;
}

int32_t CommLibrary::getStatus(int32_t* status)
{
    if (status == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    const auto s = session();
    if (!s) {
        *status = QPC_STATUS_NO_STATUS;
        return QPC_ERR_NOT_OPEN;
    }
    *status = s->monitor->currentCode();
    return QPC_OK;
}

int32_t CommLibrary::initialize()
{
    const auto s = session();
    if (!s) {
        return QPC_ERR_NOT_OPEN;
    }
    s->connection->purge();
    s->monitor->refresh();
    return QPC_OK;
}

int32_t CommLibrary::purge()
{
    const auto s = session();
    if (!s) {
        return QPC_ERR_NOT_OPEN;
    }
    s->connection->purge();
    return QPC_OK;
}

int32_t CommLibrary::reset()
{
    return reopen();
}

int32_t CommLibrary::registerProc(StatusDispatcher::Slot slot, QPC_StatusProc proc, void* context)
{
    const auto s = session();
    const int32_t current = s ? s->monitor->lastReported() : -1;
    return m_dispatcher.add(slot, proc, context, current >= 0 ? s->monitor->currentCode() : -1);
}

int32_t CommLibrary::unregisterProcs(StatusDispatcher::Slot slot)
{
    m_dispatcher.removeAll(slot);
    return QPC_OK;
}

int32_t CommLibrary::queryTextOn(Connection& connection, uint8_t id, std::string* text) const
{
    std::vector<Frame> answers;
    if (const int32_t r = connection.transact(cmd::transmitId(id), FrameKind::Text, 1, &answers);
        r != QPC_OK) {
        return r;
    }
    const auto parsed = cmd::parseText(answers.front());
    if (!parsed) {
        return QPC_ERR_BAD_ANSWER;
    }
    *text = fromCodePage437(*parsed);
    return QPC_OK;
}

int32_t CommLibrary::communicationTest(PortInfo* port)
{
    if (port == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    std::string model;
    int32_t result = QPC_OK;
    if (const auto s = session(); s && sameTarget(s->port, *port)) {
        result = queryTextOn(*s->connection, cmd::kModelName, &model);
    } else {
        std::unique_ptr<Connection> connection;
        result = makeConnection(*port, &connection);
        if (result == QPC_OK) {
            result = connection->open();
        }
        if (result == QPC_OK) {
            result = queryTextOn(*connection, cmd::kModelName, &model);
            connection->close();
        }
    }
    if (result == QPC_OK) {
        copyToField(model, port->deviceName);
    }
    return result;
}

int32_t CommLibrary::enumDevPort(const QpuChar16* keyword, PortInfo** list, uint32_t capacity,
                                 uint32_t* count)
{
    if (keyword == nullptr || count == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    *count = 0;
    const std::string key = toUtf8(keyword);
    std::vector<PortInfo> ports;
    if (key == "NET") {
        Discovery discovery;
        for (const DiscoveredPrinter& printer :
             discovery.search(Discovery::targetsFromEnvironment(), m_timing.discoveryMs)) {
            ports.push_back(Discovery::toPortInfo(printer));
        }
    } else if (!m_devices.enumerate(key, &ports)) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    // The count tells every device found, so that a caller with too small a list can
    // grow it and ask again; only `capacity` records are filled.
    *count = static_cast<uint32_t>(ports.size());
    if (list == nullptr) {
        return QPC_OK;
    }
    for (uint32_t i = 0; i < capacity && i < ports.size(); ++i) {
        if (list[i] != nullptr) {
            *list[i] = ports[i];
        }
    }
    return QPC_OK;
}

int32_t CommLibrary::findPort(PortInfo* port)
{
    if (port == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    if (isDriverPathRecord(*port)) {
        // The caller's record stays as it is; only the port it leads to is looked for.
        PortInfo target{};
        if (const int32_t r = resolveDriverPath(*port, &target); r != QPC_OK) {
            return r;
        }
        return findPort(&target);
    }
    const std::string keyword = toUtf8(port->interfaceKeyword);
    const std::string name = toUtf8(port->portName);
    if (keyword == "NET") {
        std::unique_ptr<Connection> connection;
        int32_t r = makeConnection(*port, &connection);
        if (r == QPC_OK) {
            r = connection->open();
            connection->close();
        }
        return r;
    }
    if (!knownKeyword(keyword)) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    const std::string path = m_devices.devicePath(keyword, name, port->usbDeviceId);
    if (path.empty() || ::access(path.c_str(), F_OK) != 0) {
        return QPC_ERR_NOT_FOUND;
    }
    if (keyword == "USB") {
        // Tell the caller under which name the printer is now.
        const int number = std::atoi(path.c_str() + path.rfind("lp") + 2);
        char current[16];
        std::snprintf(current, sizeof current, "%03d", number + 1);
        copyToField(current, port->portName);
    }
    return QPC_OK;
}

int32_t CommLibrary::queryText(uint8_t id, QpuChar16* buffer, uint32_t units)
{
    if (buffer == nullptr || units == 0) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    buffer[0] = 0;
    const auto s = session();
    if (!s) {
        return QPC_ERR_NOT_OPEN;
    }
    std::string text;
    if (const int32_t r = queryTextOn(*s->connection, id, &text); r != QPC_OK) {
        return r;
    }
    return copyOut(text, buffer, units);
}

int32_t CommLibrary::backup(const QpuChar16* path)
{
    const std::string file = toUtf8(path);
    if (file.empty()) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    const auto s = session();
    if (!s) {
        return QPC_ERR_NOT_OPEN;
    }
    Connection& c = *s->connection;
    std::vector<Frame> answers;
    if (const int32_t r = c.transact(cmd::enterUserSetting(), FrameKind::Setting, 1, &answers);
        r != QPC_OK) {
        return r;
    }
    std::string model;
    queryTextOn(c, cmd::kModelName, &model);
    std::ostringstream out;
    out << kBackupHeader << "\nmodel=" << model << "\n";
    int32_t result = QPC_OK;
    for (int a = 0; a < kCustomValueCount && result == QPC_OK; ++a) {
        uint16_t value = 0;
        result = readCustomValue(c, static_cast<uint8_t>(a), &value);
        if (result == QPC_OK) {
            out << "custom " << a << "=" << value << "\n";
        }
    }
    for (int a = 1; a <= kMemorySwitchCount && result == QPC_OK; ++a) {
        std::string bits;
        result = readMemorySwitch(c, static_cast<uint8_t>(a), &bits);
        if (result == QPC_OK) {
            out << "memsw " << a << "=" << bits << "\n";
        }
    }
    const int32_t left = leaveUserSettingAndWait(c, kRestartLimitMs);
    if (result != QPC_OK) {
        return result;
    }
    if (left != QPC_OK) {
        return left;
    }
    return posix::WriteFileAtomically(file, out.str()) ? QPC_OK : QPC_ERR_FILE;
}

int32_t CommLibrary::fileCheck(const QpuChar16* path)
{
    Backup backup;
    return path != nullptr && parseBackup(toUtf8(path), &backup) ? QPC_OK : QPC_ERR_FILE;
}

int32_t CommLibrary::restore(const QpuChar16* path)
{
    Backup backup;
    if (path == nullptr || !parseBackup(toUtf8(path), &backup)) {
        return QPC_ERR_FILE;
    }
    const auto s = session();
    if (!s) {
        return QPC_ERR_NOT_OPEN;
    }
    Connection& c = *s->connection;
    std::vector<Frame> answers;
    if (const int32_t r = c.transact(cmd::enterUserSetting(), FrameKind::Setting, 1, &answers);
        r != QPC_OK) {
        return r;
    }
    int32_t result = QPC_OK;
    for (const auto& [a, value] : backup.customValues) {
        if (result == QPC_OK) {
            result = c.send(cmd::setCustomValue(static_cast<uint8_t>(a), value));
        }
    }
    for (const auto& [a, bits] : backup.memorySwitches) {
        if (result == QPC_OK) {
            result = c.send(cmd::setMemorySwitch(static_cast<uint8_t>(a), bits));
        }
    }
    // Leaving the user-setting mode stores the values; the printer restarts.
    const int32_t left = leaveUserSettingAndWait(c, kRestartLimitMs);
    return result != QPC_OK ? result : left;
}

int32_t CommLibrary::getPortName(QpuChar16* buffer, uint32_t units)
{
    std::lock_guard lock(m_mutex);
    if (!m_selected) {
        if (buffer != nullptr && units > 0) {
            buffer[0] = 0;
        }
        return QPC_ERR_NOT_OPEN;
    }
    return copyOut(toUtf8(m_selected->portName), buffer, units);
}

int32_t CommLibrary::setFlowControlForced(int32_t forced)
{
    std::lock_guard lock(m_mutex);
    m_flowControlForced = forced != 0;
    return QPC_OK;
}

int32_t CommLibrary::setModelType(int32_t modelType)
{
    if (modelType != 0) {
        return QPC_ERR_NOT_SUPPORTED; // 0, the QP-R60, is the only model this library serves
    }
    std::lock_guard lock(m_mutex);
    m_modelType = modelType;
    return QPC_OK;
}

int32_t CommLibrary::setCaller(int32_t caller)
{
    if (caller < 0 || caller > 4) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    std::lock_guard lock(m_mutex);
    m_caller = caller;
    return QPC_OK;
}

int32_t CommLibrary::getCaller(int32_t* caller)
{
    if (caller == nullptr) {
        return QPC_ERR_INVALID_ARGUMENT;
    }
    std::lock_guard lock(m_mutex);
    *caller = m_caller;
    return QPC_OK;
}

int32_t CommLibrary::terminate()
{
    close();
    m_dispatcher.stop();
    std::lock_guard lock(m_mutex);
    m_selected.reset();
    return QPC_OK;
}

} // namespace qpcomm
