#include "mainwnd/menu_dll_proc.h"

#include "platform/log_categories.h"

#include <algorithm>

namespace {

// Upper bound for the dependency list a plug-in may report.
constexpr int32_t kMaxDependBlocks = 4096;

QString VersionText(uint32_t version)
{
    return QStringLiteral("%1.%2")
        .arg(QPU_PLUGIN_INTERFACE_MAJOR(version))
        .arg(QPU_PLUGIN_INTERFACE_MINOR(version));
}

} // namespace

CMenuDLLProc::~CMenuDLLProc()
{
    Teardown();
}

int CMenuDLLProc::LoadPlugin(const QString& libraryName, const QString& programFolder)
{
    Teardown();
    m_error.clear();
    if (!m_library.Load(libraryName, programFolder))
        return Refuse(m_library.ErrorString());
    if (!ResolveEntryPoints() || !CheckInterfaceVersion())
        return Refuse(m_error);
    m_loaded = true;
    qCDebug(lcPlugins).noquote() << "loaded" << m_library.FilePath() << "interface"
                                 << VersionText(InterfaceVersion());
    return 0;
}

bool CMenuDLLProc::ResolveEntryPoints()
{
#define QPU_RESOLVE_PLUGIN_EXPORT(name, required)                                                  \
    m_entries.name = m_library.ResolveAs<FORMVIEWDLL_##name##_t>("FORMVIEWDLL_" #name);            \
    if ((required) && m_entries.name == nullptr && m_error.isEmpty())                              \
        m_error = QStringLiteral("export FORMVIEWDLL_" #name " missing in %1")                     \
                      .arg(m_library.FilePath());
    QPU_PLUGIN_EXPORTS(QPU_RESOLVE_PLUGIN_EXPORT)
#undef QPU_RESOLVE_PLUGIN_EXPORT
    return m_error.isEmpty();
}

bool CMenuDLLProc::CheckInterfaceVersion()
{
    const uint32_t version = m_entries.GetInterfaceVersion != nullptr
                                 ? m_entries.GetInterfaceVersion()
                                 : QPU_PLUGIN_INTERFACE_VERSION & 0xFFFF0000u;
    if (QPU_PLUGIN_INTERFACE_MAJOR(version) ==
        QPU_PLUGIN_INTERFACE_MAJOR(QPU_PLUGIN_INTERFACE_VERSION))
        return true;
    m_error = QStringLiteral("%1 was built against plug-in interface %2; this utility speaks %3")
                  .arg(m_library.FilePath(), VersionText(version),
                       VersionText(QPU_PLUGIN_INTERFACE_VERSION));
    return false;
}

int CMenuDLLProc::Refuse(const QString& why)
{
    m_error = why;
    ClearEntryPoints();
    m_library.Unload();
    qCWarning(lcPlugins).noquote() << "plug-in not loaded:" << why;
    return kNotLoaded;
}

uint32_t CMenuDLLProc::InterfaceVersion() const
{
    if (!m_loaded)
        return 0;
    return m_entries.GetInterfaceVersion != nullptr ? m_entries.GetInterfaceVersion()
                                                    : QPU_PLUGIN_INTERFACE_VERSION & 0xFFFF0000u;
}

int CMenuDLLProc::InitializePlugin(void* mainFrame, void* pagePane, AppState* state)
{
    if (!m_loaded)
        return kNotLoaded;
    const int result = m_entries.Initialize(mainFrame, pagePane, state);
    if (result == 0) {
        m_initialized = true;
    } else {
        m_initializeFailed = true;
        qCWarning(lcPlugins).noquote()
            << "plug-in" << m_library.FilePath() << "refused to initialise, answer" << result;
    }
    return result;
}

int CMenuDLLProc::GetMenuNameFromPlugin(const QpuChar16* key, int32_t keyLength, QpuChar16* buffer,
                                        int32_t bufferLength, int32_t* requiredLength)
{
    if (!m_loaded)
        return kNotLoaded;
    if (!m_entries.GetMenuName)
        return kNoMenuNameExport;
    return m_entries.GetMenuName(key, keyLength, buffer, bufferLength, requiredLength);
}

bool CMenuDLLProc::MenuNameFromPlugin(const QString& key, QString& text)
{
    text.clear();
    const QpuChar16* keyUnits =
        key.isEmpty() ? nullptr : reinterpret_cast<const QpuChar16*>(key.utf16());
    const auto keyLength = static_cast<int32_t>(key.size());
    int32_t required = 0;
    if (GetMenuNameFromPlugin(keyUnits, keyLength, nullptr, 0, &required) !=
        QPU_PLUGIN_BUFFER_TOO_SMALL)
        return false;
    if (required <= 0 || required > kMaxMenuNameChars)
        return false;
    // One unit more than asked for, so the text ends even if the plug-in fills it all.
    std::vector<QpuChar16> buffer(static_cast<size_t>(required) + 1, u'\0');
    int32_t secondRequired = 0;
    if (GetMenuNameFromPlugin(keyUnits, keyLength, buffer.data(), required, &secondRequired) != 0)
        return false;
    const auto end = std::find(buffer.begin(), buffer.begin() + required, u'\0');
    text = QString::fromUtf16(buffer.data(), end - buffer.begin());
    return true;
}

int CMenuDLLProc::ChangeMenuState(int32_t state)
{
    return m_loaded ? m_entries.ChangeMenuState(state) : kNotLoaded;
}

int CMenuDLLProc::GetPluginInfo(PluginInfo& info)
{
    info = PluginInfo{};
    return m_loaded ? m_entries.GetPluginInfo(&info) : kNotLoaded;
}

bool CMenuDLLProc::DependPluginData(std::vector<PluginInfo>& blocks)
{
    blocks.clear();
    if (!m_loaded)
        return false;
    // The results of both calls carry no meaning; the count decides.
    int32_t count = 0;
    m_entries.GetDependPluginData(nullptr, &count);
    if (count < 0 || count > kMaxDependBlocks)
        return false;
    if (count == 0)
        return true;
    std::vector<PluginInfo> list(static_cast<size_t>(count), PluginInfo{});
    int32_t filled = count;
    m_entries.GetDependPluginData(list.data(), &filled);
    // A plug-in may fill fewer records than it announced, never more than the array holds.
    list.resize(static_cast<size_t>(std::clamp(filled, 0, count)));
    blocks = std::move(list);
    return true;
}

int CMenuDLLProc::SetDefaultDataToPluginDataMgr(uint32_t blockId)
{
    return m_loaded ? m_entries.SetDefaltDataToPluginDataMgr(blockId) : kNotLoaded;
}

int CMenuDLLProc::ReadPrinterSettings()
{
    return m_loaded ? m_entries.ReadPrinterSettings() : kNotLoaded;
}

void CMenuDLLProc::Teardown()
{
    if (m_loaded && m_initialized)
        m_entries.Finalize();
    const bool keepMapped = m_loaded && m_initializeFailed && !m_initialized;
    ClearEntryPoints();
    if (keepMapped)
        m_library.Detach();
    else
        m_library.Unload();
}

void CMenuDLLProc::ClearEntryPoints()
{
    m_entries = EntryPoints{};
    m_loaded = false;
    m_initialized = false;
    m_initializeFailed = false;
}
