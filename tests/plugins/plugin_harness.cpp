#include "plugin_harness.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QVBoxLayout>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace plugintest {

PluginLibrary::PluginLibrary(const std::string& fileName)
{
    module = ::dlopen((std::string(QPU_APP_DIR) + "/" + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
        return;
    const auto bind = [this](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(::dlsym(module, name));
    };
    bind(initialize, "FORMVIEWDLL_Initialize");
    bind(getMenuName, "FORMVIEWDLL_GetMenuName");
    bind(getPluginInfo, "FORMVIEWDLL_GetPluginInfo");
    bind(getDependPluginData, "FORMVIEWDLL_GetDependPluginData");
    bind(setDefaults, "FORMVIEWDLL_SetDefaltDataToPluginDataMgr");
    bind(changeMenuState, "FORMVIEWDLL_ChangeMenuState");
    bind(readPrinterSettings, "FORMVIEWDLL_ReadPrinterSettings");
    bind(finalize, "FORMVIEWDLL_Finalize");
    bind(getActiveView, "FORMVIEWDLL_GetActiveView");
}

PluginLibrary::~PluginLibrary()
{
    // The library may stay mapped after dlclose; leave its plug-in object uninitialised.
    if (finalize != nullptr)
        finalize();
    if (module != nullptr)
        ::dlclose(module);
}

bool PluginLibrary::RequiredExportsPresent() const
{
    return module && initialize && getPluginInfo && getDependPluginData && setDefaults &&
           changeMenuState && readPrinterSettings && finalize && getActiveView;
}

bool FakeMainFrame::event(QEvent* event)
{
    auto* message = qpu::WindowMessageEvent::From(event);
    if (message == nullptr)
        return QWidget::event(event);
    switch (message->message()) {
    case QPU_WM_STATUS_QUERY:
        *reinterpret_cast<int32_t*>(message->wParam()) = commState;
        message->setResult(0);
        return true;
    case QPU_WM_CREATE_PROGRESS:
        // The frame itself stands in for the progress dialog's window.
        message->setResult(createsProgress ? reinterpret_cast<intptr_t>(this) : 0);
        return true;
    case QPU_WM_RUN_PROGRESS: {
        ++runs;
        auto* request = reinterpret_cast<ProgressRequest*>(message->wParam());
        while (!qpu_event_wait(request->doneEvent, 5))
            QCoreApplication::processEvents();
        message->setResult(0);
        return true;
    }
    case QPU_WM_PROGRESS_103:
        progress.push_back(static_cast<int>(message->wParam()));
        return true;
    default:
        return QWidget::event(event);
    }
}

MessageBoxAnswerer::MessageBoxAnswerer() : m_timer(std::make_unique<QTimer>())
{
    m_timer->setInterval(10);
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        m_texts << box->text();
        QAbstractButton* button = box->button(m_button);
        if (button)
            button->click();
        else
            box->reject();
    });
    m_timer->start();
}

MessageBoxAnswerer::~MessageBoxAnswerer() = default;

CommLibTable* CommLibrary()
{
    static CommLibTable table = [] {
        CommLibTable t{};
        void* comm = ::dlopen(QPU_APP_DIR "/libQPComm.so", RTLD_NOW | RTLD_LOCAL);
        t.module = comm;
        if (comm) {
#define QPU_BIND(name) t.name = reinterpret_cast<QPC_##name##_t>(::dlsym(comm, "QPC_" #name));
            QPU_COMM_ENTRY_POINTS(QPU_BIND)
#undef QPU_BIND
        }
        return t;
    }();
    return table.module ? &table : nullptr;
}

namespace {

void CopyText(QpuChar16* field, const QString& text)
{
    const qsizetype n = std::min<qsizetype>(text.size(), QPU_TEXT_MAX_CHARS);
    std::memcpy(field, text.utf16(), size_t(n) * sizeof(QpuChar16));
    field[n] = 0;
}

} // namespace

Host::Host() : m_state(std::make_unique<AppState>())
{
    std::memset(m_state.get(), 0, sizeof(AppState));
    qpu_app_lock_init(&m_appLock);
    m_state->hostCode = QPU_HOST_CODE;
    m_state->dataMgr = &m_dataMgr;
    m_state->appLock = &m_appLock;
    CopyText(m_state->languageFolder, QStringLiteral(QPU_SOURCE_DIR "/data/program/LANG"));
    CopyText(m_state->programFolder, QStringLiteral(QPU_APP_DIR "/"));
    SetLanguage(0x0409);
    m_frame = std::make_unique<FakeMainFrame>();
    m_frame->resize(796, 523);
    auto* layout = new QVBoxLayout(m_frame.get());
    layout->setContentsMargins(0, 0, 0, 0);
    m_pane = new QWidget(m_frame.get());
    layout->addWidget(m_pane);
    m_frame->show();
}

Host::~Host()
{
    m_frame.reset();
    if (m_portOpen && CommLibrary())
        CommLibrary()->Close();
    qpu_app_lock_destroy(&m_appLock);
}

void Host::SetLanguage(int languageId)
{
    m_state->languageId = languageId;
    CopyText(m_state->languageIdText,
             QStringLiteral("%1").arg(languageId, 4, 16, QLatin1Char('0')).toUpper());
}

void Host::SetOffline()
{
    m_state->startMode = 4;
    m_state->commLib = nullptr;
}

bool Host::ConnectPrinter(const qpr60test::EmulatorProcess& printer)
{
    CommLibTable* comm = CommLibrary();
    if (comm == nullptr)
        return false;
    PortInfo port{};
    CopyText(port.interfaceKeyword, QStringLiteral("NET"));
    CopyText(port.portName,
             QString::fromStdString(printer.tcpHost() + ":" + std::to_string(printer.tcpPort())));
    comm->Close();
    if (comm->SetPort(&port) != QPC_OK || comm->Open(1) != QPC_OK)
        return false;
    m_portOpen = true;
    m_state->portInfo = port;
    m_state->portType = 4;
    m_state->commLib = comm;
    return true;
}

int32_t Host::Bind(PluginLibrary& plugin)
{
    const int32_t rc = plugin.initialize(m_frame.get(), m_pane, m_state.get());
    if (rc != 0)
        return rc;
    PluginInfo info{};
    plugin.getPluginInfo(&info);
    if (m_dataMgr.FindBlock(info.blockId) == PluginDataMgr::kNotFound &&
        m_dataMgr.AddBlock(info.blockId, info.blockVersion, qint32(info.blockSize)) == 0)
        plugin.setDefaults(info.blockId);
    int32_t count = 0;
    plugin.getDependPluginData(nullptr, &count);
    std::vector<PluginInfo> depends(size_t(std::max(count, 0)));
    plugin.getDependPluginData(depends.data(), &count);
    for (int32_t i = 0; i < count; ++i) {
        const PluginInfo& d = depends[size_t(i)];
        if (m_dataMgr.FindBlock(d.blockId) == PluginDataMgr::kNotFound &&
            m_dataMgr.AddBlock(d.blockId, d.blockVersion, qint32(d.blockSize)) == 0)
            plugin.setDefaults(d.blockId);
    }
    return 0;
}

bool WaitFor(const std::function<bool()>& pred, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

std::string PrepareEnvironment()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qpu-plugins-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    ::setenv("QP60UTIL_COMMON_APPDATA", pattern.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", pattern.c_str(), 1);
    ::setenv("QPCOMM_DISCOVERY_ADDR", "127.0.0.1", 1);
    ::setenv("QPCOMM_TIMEOUT_MS", "800", 1);
    return pattern;
}

} // namespace plugintest
