#pragma once

#include <QObject>
#include <QString>

#include <sys/types.h>

// The channel through which a second copy of the utility asks the running copy to bring
// its window to the front. The running copy listens on a local socket named
// kActivationChannelName in RuntimeFolder(); the second copy connects, sends a request,
// waits for the confirmation and ends.
namespace platform {

inline constexpr char kActivationChannelName[] = "QP-R60_UTILITY_QP-R60";

// The listening side. Lives on a thread with an event loop; the top-level window that is
// up connects activationRequested() to the code that raises it.
class ActivationServer : public QObject
{
    Q_OBJECT

public:
    explicit ActivationServer(QObject* parent = nullptr);
    ~ActivationServer() override;
    ActivationServer(const ActivationServer&) = delete;
    ActivationServer& operator=(const ActivationServer&) = delete;

    // Starts listening. A socket file left behind by a copy that ended without closing it
    // is replaced; one on which another copy still listens is not (false).
    bool listen(const QString& name = QString::fromLatin1(kActivationChannelName));
    // Stops listening and removes the socket file if it is still this server's.
    void close();

    bool isListening() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

signals:
    // A second copy asked to bring the window to the front.
    void activationRequested();

private:
    void acceptPending();

    int m_fd = -1;
    ino_t m_inode = 0;
    QString m_path;
    QString m_error;
    QObject* m_notifier = nullptr; // child; watches the listening socket
};

// The asking side: connects to the running copy's channel, asks it to come to the front
// and waits at most timeoutMs for its confirmation. Returns whether it confirmed.
bool RequestActivation(const QString& name = QString::fromLatin1(kActivationChannelName),
                       int timeoutMs = 2000);

} // namespace platform
