#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>

// The companion programs that the add-port dialog can start: the network configuration
// tool, the port assignment tool and the Bluetooth connector. They are separate products;
// this finds them where their installers put them, starts them, and reads back the port
// that the connector created.
//
// Locations, in place of the platform registry, start menu and program-files folder:
// system settings in the registry stand-in (platform/registry.h), start-menu shortcuts as
// desktop entries (platform/desktop_entry.h, "X.lnk" is "X.desktop"), "%ProgramFiles%"
// (normally /opt).
namespace tools {

// Window messages that a tool worker sends to the add-port dialog.
inline constexpr int kMsgConnectorStarted = 0x0400 + 100; // no parameter
inline constexpr int kMsgConnectorEnded = 0x0400 + 110;   // no parameter
inline constexpr int kMsgNetworkTool = 0x0400 + 400;      // wParam 1 started, 0 ended
inline constexpr int kNetworkToolStarted = 1;
inline constexpr int kNetworkToolEnded = 0;
// The answer to a network-tool message with any other parameter (invalid parameter).
inline constexpr int kInvalidParameter = 87;

// Longest path a lookup hands on; anything longer counts as not found.
inline constexpr int kMaxPathLength = 259;

// The registry key of the network tool's installation and its value.
QString NetworkToolUninstallKey();
// The network configuration tool: the "InstallLocation" of its uninstall key (a plain,
// not an expandable, string) followed by "/VNConfig.exe"; without that value,
// "%ProgramFiles%/VORKA/VorkaNet Config V4/VNConfig.exe". A path from the key is returned
// even when no file is there. Empty when nothing fits kMaxPathLength.
QString FindNetworkTool();

// The port assignment tool, which may be a folder or a program: the expanded "Path" value
// of its App Paths key (at most 129 characters before expansion); else the folder of the
// program that one of its start-menu shortcuts starts, all users' start menus first, then
// the user's; else "%ProgramFiles%/VORKA/QPCOMUSB/VrkCa.exe". Never empty unless the
// last resort is too long.
QString FindPortTool();

// The Bluetooth connector, "%ProgramFiles%/VORKA/QP Bluetooth Connector/
// QPBluetoothConnector.exe", when that file exists; else empty.
QString FindConnector();

// The connector's settings file below the common application data folder.
QString ConnectorSettingsPath();
// "VirtualComPort" of section "Setting" of the connector's settings file (at most 254
// characters); empty when the file or the key is missing.
QString ReadVirtualComPort();

bool IsExistingFile(const QString& path);
bool IsExistingFileOrFolder(const QString& path);
bool IsExistingFolder(const QString& path);

// The paths the dialog keeps and the tool buttons' states after an interface change.
struct ToolPaths
{
    QString networkTool;
    QString portTool;
    QString connector;
};
struct ToolButtons
{
    bool networkToolEnabled = false; // only decided for Ethernet
    bool portToolEnabled = false;    // decided for every other interface
    bool connectorEnabled = false;   // only decided for Bluetooth
    bool networkDecided = false;
    bool portDecided = false;
    bool connectorDecided = false;
};

// Looks the tools up for an interface (button index 0..4): clears the network and port
// tool paths; Ethernet looks up the network tool (enabled when the file exists); every
// other interface looks up the port tool (enabled when a file or folder exists);
// Bluetooth also looks up the connector (enabled when found). The connector path is kept
// otherwise.
ToolButtons LookUpTools(int interfaceIndex, ToolPaths& paths);

// A worker thread that starts one program (no arguments, the utility's environment and
// folder), waits for it without a time limit and notifies a receiver with two window
// messages, sent synchronously: the receiver's thread handles them and the worker waits
// for that. The worker never touches the receiver otherwise.
//
// The receiver must outlive the worker object (a dialog keeps its workers as members).
// Destroying the worker stops the notifications: a message not yet handled is dropped and
// the worker does not wait for it. A worker whose program still runs is left to end by
// itself (it then only reaps the program).
class ToolWorker
{
public:
    struct Notification
    {
        int message = 0;
        intptr_t wParam = 0;
    };

    // Starts the worker. Null when the thread could not be created.
    static std::unique_ptr<ToolWorker> Start(QObject* receiver, const QString& program,
                                             Notification started, Notification ended);
    ~ToolWorker();
    ToolWorker(const ToolWorker&) = delete;
    ToolWorker& operator=(const ToolWorker&) = delete;

    // True once the ended notification was handled (or dropped) and the thread is done
    // with the receiver.
    bool IsFinished() const;
    // Whether the program could be started; valid once IsFinished().
    bool ProgramStarted() const;

    struct Channel;

private:
    ToolWorker() = default;

    std::shared_ptr<Channel> m_channel;
    std::thread m_thread;
};

} // namespace tools
