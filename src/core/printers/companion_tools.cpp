#include "printers/companion_tools.h"

#include "platform/desktop_entry.h"
#include "platform/environment_strings.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/special_folders.h"

#include <qpu/window_message.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSemaphore>

#include <cerrno>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>

extern char** environ;

namespace tools {

namespace {

constexpr char kNetworkToolKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                   "{6D1C2A47-91B3-4E08-A5F2-3C7B9E140D58}";
constexpr char kNetworkToolProgram[] = "VNConfig.exe";
constexpr char kNetworkToolDefault[] = "VORKA/VorkaNet Config V4/VNConfig.exe";

constexpr char kPortToolKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\VrkCa.exe";
// The "Path" value is read into 260 bytes: at most 129 characters and a zero.
constexpr int kMaxPortToolValueLength = 129;
constexpr const char* kPortToolShortcuts[] = {
    "VORKA QPCOMUSB Serial Emulation Driver/COM Assignment Tool.desktop",
    "VORKA/QP Virtual Port Driver/Port Assignment Tool.desktop",
};
constexpr char kPortToolDefault[] = "VORKA/QPCOMUSB/VrkCa.exe";

constexpr char kConnectorDefault[] = "VORKA/QP Bluetooth Connector/QPBluetoothConnector.exe";
constexpr char kConnectorSettings[] = "VORKA/QPBTConnector/QPBTSetting.ini";
constexpr int kMaxVirtualComPortLength = 254;

QString ProgramFilesPath(const char* relative)
{
    const QString programFiles =
        platform::ExpandEnvironmentStrings(QStringLiteral("%ProgramFiles%"));
    if (programFiles.size() > kMaxPathLength)
        return {};
    const QString path = QStringLiteral("%1/%2").arg(programFiles, QLatin1String(relative));
    return path.size() <= kMaxPathLength ? path : QString();
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}

QString PortToolFromShortcuts()
{
    QStringList menus = platform::CommonStartMenuFolders();
    menus.append(platform::UserStartMenuFolder());
    for (const QString& menu : menus) {
        if (menu.isEmpty())
            continue;
        for (const char* shortcut : kPortToolShortcuts) {
            const QString target =
                platform::DesktopEntryTarget(menu + u'/' + QLatin1String(shortcut));
            // A shortcut resolves only to a program that is there.
            if (target.size() > kMaxPathLength || !IsExistingFile(target))
                continue;
            if (const QString folder = FolderOf(target); !folder.isEmpty())
                return folder;
        }
    }
    return {};
}

} // namespace

QString NetworkToolUninstallKey()
{
    return QLatin1String(kNetworkToolKey);
}

QString FindNetworkTool()
{
    const auto location =
        platform::ReadRegistryValue(NetworkToolUninstallKey(), QStringLiteral("InstallLocation"));
    if (location && !location->expandable && location->text.size() <= kMaxPathLength) {
        const QString path = location->text + u'/' + QLatin1String(kNetworkToolProgram);
        if (path.size() <= kMaxPathLength)
            return path;
    }
    return ProgramFilesPath(kNetworkToolDefault);
}

QString FindPortTool()
{
    const auto value =
        platform::ReadRegistryValue(QLatin1String(kPortToolKey), QStringLiteral("Path"));
    if (value && value->text.size() <= kMaxPortToolValueLength) {
        // The value is expanded whether or not it is marked as expandable.
        const QString path = platform::ExpandEnvironmentStrings(value->text);
        if (!path.isEmpty() && path.size() <= kMaxPathLength)
            return path;
    }
    if (const QString folder = PortToolFromShortcuts(); !folder.isEmpty())
        return folder;
    return ProgramFilesPath(kPortToolDefault);
}

QString FindConnector()
{
    const QString path = ProgramFilesPath(kConnectorDefault);
    return IsExistingFile(path) ? path : QString();
}

QString ConnectorSettingsPath()
{
    return platform::CommonAppDataFolder() + u'/' + QLatin1String(kConnectorSettings);
}

QString ReadVirtualComPort()
{
    const QString file = ConnectorSettingsPath();
    if (!QFileInfo(file).isFile())
        return {};
    return platform::GetPrivateProfileString(QStringLiteral("Setting"),
                                             QStringLiteral("VirtualComPort"), QString(), file)
        .left(kMaxVirtualComPortLength);
}

bool IsExistingFile(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool IsExistingFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool IsExistingFileOrFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

ToolButtons LookUpTools(int interfaceIndex, ToolPaths& paths)
{
    constexpr int kEthernet = 3;
    constexpr int kBluetooth = 4;
    ToolButtons buttons;
    paths.networkTool.clear();
    paths.portTool.clear();
    if (interfaceIndex == kEthernet) {
        paths.networkTool = FindNetworkTool();
        buttons.networkDecided = true;
        buttons.networkToolEnabled = IsExistingFile(paths.networkTool);
    } else {
        paths.portTool = FindPortTool();
        buttons.portDecided = true;
        buttons.portToolEnabled = IsExistingFileOrFolder(paths.portTool);
    }
    if (interfaceIndex == kBluetooth) {
        paths.connector = FindConnector();
        buttons.connectorDecided = true;
        buttons.connectorEnabled = !paths.connector.isEmpty();
    }
    return buttons;
}

// ---------------------------------------------------------------------------------------
// ToolWorker

// What the worker and its owner share: whether notifications may still be delivered, and
// the worker's progress.
struct ToolWorker::Channel
{
    std::mutex mutex;
    QObject* receiver = nullptr; // null once the owner stopped the notifications
    std::atomic<bool> finished{false};
    std::atomic<bool> programStarted{false};

    // Sends a window message and waits until the receiver's thread handled it, or until the
    // message was dropped (the receiver stopped listening or was destroyed).
    void Send(int message, intptr_t wParam);
};

namespace {

// Releases the worker that waits for a message once the message is gone: handled, or
// dropped together with its receiver.
class ReleaseOnDestruction
{
public:
    explicit ReleaseOnDestruction(std::shared_ptr<QSemaphore> done) : m_done(std::move(done)) {}
    ~ReleaseOnDestruction() { m_done->release(); }
    ReleaseOnDestruction(const ReleaseOnDestruction&) = delete;
    ReleaseOnDestruction& operator=(const ReleaseOnDestruction&) = delete;

private:
    std::shared_ptr<QSemaphore> m_done;
};

} // namespace

void ToolWorker::Channel::Send(int message, intptr_t wParam)
{
    auto done = std::make_shared<QSemaphore>(0);
    {
        // Posting under the lock: the owner cannot go away between the check and the post.
        // Once posted, the call is either made or deleted with the receiver; either way the
        // release object goes with it.
        const std::lock_guard lock(mutex);
        if (!receiver)
            return;
        QObject* target = receiver;
        auto release = std::make_shared<ReleaseOnDestruction>(done);
        QMetaObject::invokeMethod(
            target,
            [target, message, wParam, release] {
                qpu::WindowMessageEvent event(message, wParam, 0);
                QCoreApplication::sendEvent(target, &event);
            },
            Qt::QueuedConnection);
    }
    done->acquire();
}

std::unique_ptr<ToolWorker> ToolWorker::Start(QObject* receiver, const QString& program,
                                              Notification started, Notification ended)
{
    std::unique_ptr<ToolWorker> worker(new ToolWorker);
    auto channel = std::make_shared<Channel>();
    channel->receiver = receiver;
    worker->m_channel = channel;
    const QByteArray path = program.toLocal8Bit();
    try {
        worker->m_thread = std::thread([channel, path, started, ended] {
            channel->Send(started.message, started.wParam);
            char* argv[] = {const_cast<char*>(path.constData()), nullptr};
            pid_t pid = -1;
            if (!path.isEmpty() &&
                ::posix_spawn(&pid, path.constData(), nullptr, nullptr, argv, environ) == 0) {
                channel->programStarted = true;
                int status = 0;
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }
            channel->Send(ended.message, ended.wParam);
            channel->finished = true;
        });
    } catch (const std::system_error&) {
        return nullptr;
    }
    return worker;
}

ToolWorker::~ToolWorker()
{
    {
        // A message already posted is either being handled now or is deleted with the
        // receiver, which releases the worker.
        const std::lock_guard lock(m_channel->mutex);
        m_channel->receiver = nullptr;
    }
    if (!m_thread.joinable())
        return;
    // A worker still waiting for its program holds only the shared channel; it ends by
    // itself when the program does.
    if (m_channel->finished)
        m_thread.join();
    else
        m_thread.detach();
}

bool ToolWorker::IsFinished() const
{
    return m_channel->finished;
}

bool ToolWorker::ProgramStarted() const
{
    return m_channel->programStarted;
}

} // namespace tools
