#pragma once
// A host for plug-in tests: loads a plug-in library as the utility does (dlopen, the
// FORMVIEWDLL_* exports), gives it a real AppState with the data manager, AppLock, the
// communication library and a main frame that answers the job messages, and answers the
// message boxes the pages show.

#include "emulator_process.h"

#include "pages/plugin_data_mgr.h"

#include <qpu/app_state.h>
#include <qpu/plugin.h>
#include <qpu/sync.h>
#include <qpu/window_message.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plugintest {

inline const char* const kShippedPlugins[] = {"libQpuPrintSettings.so", "libQpuMemorySwitch.so",
                                              "libQpuPrinterInfo.so"};

// The exports of one plug-in library that the tests call.
struct PluginLibrary
{
    void* module = nullptr;
    FORMVIEWDLL_Initialize_t initialize = nullptr;
    FORMVIEWDLL_GetMenuName_t getMenuName = nullptr;
    FORMVIEWDLL_GetPluginInfo_t getPluginInfo = nullptr;
    FORMVIEWDLL_GetDependPluginData_t getDependPluginData = nullptr;
    FORMVIEWDLL_SetDefaltDataToPluginDataMgr_t setDefaults = nullptr;
    FORMVIEWDLL_ChangeMenuState_t changeMenuState = nullptr;
    FORMVIEWDLL_ReadPrinterSettings_t readPrinterSettings = nullptr;
    FORMVIEWDLL_Finalize_t finalize = nullptr;
    FORMVIEWDLL_GetActiveView_t getActiveView = nullptr;

    explicit PluginLibrary(const std::string& fileName);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool RequiredExportsPresent() const;
    QWidget* Page() const { return static_cast<QWidget*>(getActiveView()); }
};

// The main frame's side of the job messages: the communication state it reports, whether
// it creates the progress dialog, and the progress values it received.
class FakeMainFrame : public QWidget
{
public:
    int32_t commState = 0;
    bool createsProgress = true;
    int runs = 0;
    std::vector<int> progress;

protected:
    bool event(QEvent* event) override;
};

// Answers every message box that opens: records its text and presses `button`.
class MessageBoxAnswerer
{
public:
    MessageBoxAnswerer();
    ~MessageBoxAnswerer();
    void Answer(QMessageBox::StandardButton button) { m_button = button; }
    const QStringList& Texts() const { return m_texts; }
    void Clear() { m_texts.clear(); }

private:
    std::unique_ptr<QTimer> m_timer;
    QMessageBox::StandardButton m_button = QMessageBox::Ok;
    QStringList m_texts;
};

// The communication library, loaded once per process like the utility loads it.
CommLibTable* CommLibrary();

// The host: AppState, data manager, AppLock, a main frame with its page pane.
class Host
{
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    AppState& State() { return *m_state; }
    PluginDataMgr& DataMgr() { return m_dataMgr; }
    FakeMainFrame& Frame() { return *m_frame; }
    QWidget* Pane() { return m_pane; }
    pthread_mutex_t* AppLock() { return &m_appLock; }

    // Opens the emulator's TCP port through the communication library and publishes it.
    bool ConnectPrinter(const qpr60test::EmulatorProcess& printer);
    void SetLanguage(int languageId);
    void SetOffline(); // start mode 4, no communication library

    // Initialise, then register the plug-in's blocks as the menu view does.
    int32_t Bind(PluginLibrary& plugin);

private:
    std::unique_ptr<AppState> m_state;
    PluginDataMgr m_dataMgr;
    pthread_mutex_t m_appLock;
    std::unique_ptr<FakeMainFrame> m_frame;
    QWidget* m_pane = nullptr;
    bool m_portOpen = false;
};

// Processes events until pred holds or timeoutMs passed.
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000);

// Temporary folders for the communication library's port list and lock files; answers
// the folder, which the caller removes at the end.
std::string PrepareEnvironment();

} // namespace plugintest
