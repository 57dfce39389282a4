#include "platform/activation_channel.h"

#include "platform/special_folders.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

constexpr char kRequest[] = "ACTIVATE\n";
constexpr char kConfirmation[] = "OK\n";
// A connection that has not sent its request in this time is dropped.
constexpr int kRequestTimeoutMs = 2000;
constexpr qsizetype kMaxRequestBytes = 64;

QString systemError(int error = errno)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool makeAddress(const QString& path, sockaddr_un& address, QString& error)
{
    const QByteArray native = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (native.size() >= static_cast<qsizetype>(sizeof(address.sun_path))) {
        error = QStringLiteral("socket path too long: ") + path;
        return false;
    }
    std::memcpy(address.sun_path, native.constData(), static_cast<size_t>(native.size()));
    return true;
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

bool connectTo(int fd, const sockaddr_un& address)
{
    int rc = 0;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// Whether a copy listens on the socket file (a refused connection means a leftover).
bool someoneListens(const sockaddr_un& address)
{
    const FileDescriptor probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (probe.get() < 0)
        return false;
    return connectTo(probe.get(), address) || errno == EAGAIN || errno == EINPROGRESS;
}

// One accepted connection: reads the request, confirms it and goes away.
class Connection : public QObject
{
public:
    Connection(int fd, ActivationServer* server, std::function<void()> onRequest)
        : QObject(server), m_fd(fd), m_onRequest(std::move(onRequest))
    {
        m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            if (!readRequest()) {
                m_notifier->setEnabled(false);
                deleteLater();
            }
        });
        QTimer::singleShot(kRequestTimeoutMs, this, [this] { deleteLater(); });
    }
    ~Connection() override
    {
        delete m_notifier; // stop watching before the descriptor goes
        ::close(m_fd);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

private:
    // Returns whether the connection should wait for more bytes.
    bool readRequest()
    {
        char chunk[kMaxRequestBytes];
        const ssize_t n = ::recv(m_fd, chunk, sizeof(chunk), MSG_DONTWAIT);
        if (n < 0)
            return errno == EAGAIN || errno == EINTR;
        if (n == 0)
            return false;
        m_buffer.append(chunk, n);
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0)
            return m_buffer.size() < kMaxRequestBytes;
        if (m_buffer.left(end + 1) == kRequest) {
            m_onRequest();
            ::send(m_fd, kConfirmation, sizeof(kConfirmation) - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        return false;
    }

    int m_fd;
    std::function<void()> m_onRequest;
    QByteArray m_buffer;
    QSocketNotifier* m_notifier = nullptr; // child
};

} // namespace

ActivationServer::ActivationServer(QObject* parent) : QObject(parent) {}

ActivationServer::~ActivationServer()
{
    close();
}

bool ActivationServer::listen(const QString& name)
{
    close();
    m_error.clear();
    m_path = RuntimeFolder() + u'/' + name;
    sockaddr_un address;
    if (!makeAddress(m_path, address, m_error))
        return false;
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0) {
        m_error = systemError();
        return false;
    }
    struct stat st = {};
    if (::lstat(address.sun_path, &st) == 0) {
        if (!S_ISSOCK(st.st_mode) || someoneListens(address)) {
            m_error = QStringLiteral("the channel is in use: ") + m_path;
            return false;
        }
        ::unlink(address.sun_path);
    }
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd.get(), 8) != 0 || ::lstat(address.sun_path, &st) != 0) {
        m_error = systemError();
        return false;
    }
    m_inode = st.st_ino;
    m_fd = fd.release();
    auto* notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &ActivationServer::acceptPending);
    m_notifier = notifier;
    return true;
}

void ActivationServer::close()
{
    if (m_fd < 0)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fd);
    m_fd = -1;
    // Another copy started with the instance check bypassed may have taken the name over.
    const QByteArray native = QFile::encodeName(m_path);
    struct stat st = {};
    if (::lstat(native.constData(), &st) == 0 && st.st_ino == m_inode)
        ::unlink(native.constData());
}

void ActivationServer::acceptPending()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        new Connection(fd, this, [this] { emit activationRequested(); });
    }
}

bool RequestActivation(const QString& name, int timeoutMs)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    const auto msLeft = [&] {
        return static_cast<int>(
            duration_cast<milliseconds>(deadline - steady_clock::now()).count());
    };
    sockaddr_un address;
    QString error;
    if (!makeAddress(RuntimeFolder() + u'/' + name, address, error))
        return false;
    const FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0)
        return false;
    // A full backlog refuses at once (EAGAIN) rather than blocking; try again shortly.
    while (!connectTo(fd.get(), address)) {
        if (errno != EAGAIN || msLeft() <= 0)
            return false;
        ::usleep(10000);
    }
    if (::send(fd.get(), kRequest, sizeof(kRequest) - 1, MSG_NOSIGNAL) !=
        static_cast<ssize_t>(sizeof(kRequest) - 1))
        return false;
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < kMaxRequestBytes) {
        const int left = msLeft();
        if (left <= 0)
            return false;
        pollfd waitFor{fd.get(), POLLIN, 0};
        const int ready = ::poll(&waitFor, 1, left);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char chunk[kMaxRequestBytes];
        const ssize_t n = ::recv(fd.get(), chunk, sizeof(chunk), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        answer.append(chunk, n);
    }
    return answer.startsWith(kConfirmation);
}

} // namespace platform
