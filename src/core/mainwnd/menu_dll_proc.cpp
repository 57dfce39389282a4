#include "mainwnd/menu_dll_proc.h"

#include <algorithm>

namespace {

// Upper bound for the dependency list a plug-in may report.
constexpr int32_t kMaxDependBlocks = 4096;

} // namespace

CMenuDLLProc::~CMenuDLLProc()
{
    Teardown();
}

int CMenuDLLProc::LoadPlugin(const QString& libraryName, const QString& programFolder)
{
    Teardown();
    m_error.clear();
    if (!m_library.Load(libraryName, programFolder)) {
        m_error = m_library.ErrorString();
        return kNotLoaded;
    }
    m_initialize = m_library.ResolveAs<FORMVIEWDLL_Initialize_t>("FORMVIEWDLL_Initialize");
    m_finalize = m_library.ResolveAs<FORMVIEWDLL_Finalize_t>("FORMVIEWDLL_Finalize");
    m_getActiveView = m_library.ResolveAs<FORMVIEWDLL_GetActiveView_t>("FORMVIEWDLL_GetActiveView");
    m_changeMenuState =
        m_library.ResolveAs<FORMVIEWDLL_ChangeMenuState_t>("FORMVIEWDLL_ChangeMenuState");
    m_getPluginInfo = m_library.ResolveAs<FORMVIEWDLL_GetPluginInfo_t>("FORMVIEWDLL_GetPluginInfo");
    m_readPrinterSettings =
        m_library.ResolveAs<FORMVIEWDLL_ReadPrinterSettings_t>("FORMVIEWDLL_ReadPrinterSettings");
    m_setDefaultData = m_library.ResolveAs<FORMVIEWDLL_SetDefaltDataToPluginDataMgr_t>(
        "FORMVIEWDLL_SetDefaltDataToPluginDataMgr");
    m_getDependPluginData =
        m_library.ResolveAs<FORMVIEWDLL_GetDependPluginData_t>("FORMVIEWDLL_GetDependPluginData");
    m_getMenuName = m_library.ResolveAs<FORMVIEWDLL_GetMenuName_t>("FORMVIEWDLL_GetMenuName");

    const struct
    {
        const void* entry;
        const char* name;
    } required[] = {
        {reinterpret_cast<const void*>(m_initialize), "FORMVIEWDLL_Initialize"},
        {reinterpret_cast<const void*>(m_finalize), "FORMVIEWDLL_Finalize"},
        {reinterpret_cast<const void*>(m_getActiveView), "FORMVIEWDLL_GetActiveView"},
        {reinterpret_cast<const void*>(m_changeMenuState), "FORMVIEWDLL_ChangeMenuState"},
        {reinterpret_cast<const void*>(m_getPluginInfo), "FORMVIEWDLL_GetPluginInfo"},
        {reinterpret_cast<const void*>(m_readPrinterSettings), "FORMVIEWDLL_ReadPrinterSettings"},
        {reinterpret_cast<const void*>(m_setDefaultData),
         "FORMVIEWDLL_SetDefaltDataToPluginDataMgr"},
        {reinterpret_cast<const void*>(m_getDependPluginData), "FORMVIEWDLL_GetDependPluginData"},
    };
    for (const auto& entry : required) {
        if (!entry.entry) {
            m_error = QStringLiteral("export %1 missing in %2")
                          .arg(QLatin1String(entry.name), m_library.FilePath());
            ClearEntryPoints();
            m_library.Unload();
            return kNotLoaded;
        }
    }
    m_loaded = true;
    return 0;
}

int CMenuDLLProc::InitializePlugin(void* mainFrame, void* pagePane, AppState* state)
{
    if (!m_loaded)
        return kNotLoaded;
    const int result = m_initialize(mainFrame, pagePane, state);
    if (result == 0)
        m_initialized = true;
    else
        m_initializeFailed = true;
    return result;
}

int CMenuDLLProc::GetMenuNameFromPlugin(const QpuChar16* key, int32_t keyLength, QpuChar16* buffer,
                                        int32_t bufferLength, int32_t* requiredLength)
{
    if (!m_loaded)
        return kNotLoaded;
    if (!m_getMenuName)
        return kNoMenuNameExport;
    return m_getMenuName(key, keyLength, buffer, bufferLength, requiredLength);
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
    return m_loaded ? m_changeMenuState(state) : kNotLoaded;
}

int CMenuDLLProc::GetPluginInfo(PluginInfo& info)
{
    info = PluginInfo{};
    return m_loaded ? m_getPluginInfo(&info) : kNotLoaded;
}

bool CMenuDLLProc::DependPluginData(std::vector<PluginInfo>& blocks)
{
    blocks.clear();
    if (!m_loaded)
        return false;
    // The results of both calls carry no meaning; the count decides.
    int32_t count = 0;
    m_getDependPluginData(nullptr, &count);
    if (count < 0 || count > kMaxDependBlocks)
        return false;
    if (count == 0)
        return true;
    std::vector<PluginInfo> list(static_cast<size_t>(count), PluginInfo{});
    int32_t filled = count;
    m_getDependPluginData(list.data(), &filled);
    // A plug-in may fill fewer records than it announced, never more than the array holds.
    list.resize(static_cast<size_t>(std::clamp(filled, 0, count)));
    blocks = std::move(list);
    return true;
}

int CMenuDLLProc::SetDefaultDataToPluginDataMgr(uint32_t blockId)
{
    return m_loaded ? m_setDefaultData(blockId) : kNotLoaded;
}

int CMenuDLLProc::ReadPrinterSettings()
{
    return m_loaded ? m_readPrinterSettings() : kNotLoaded;
}

void CMenuDLLProc::Teardown()
{
    if (m_loaded && m_initialized)
        m_finalize();
    const bool keepMapped = m_loaded && m_initializeFailed && !m_initialized;
    ClearEntryPoints();
    if (keepMapped)
        m_library.Detach();
    else
        m_library.Unload();
}

void CMenuDLLProc::ClearEntryPoints()
{
    m_initialize = nullptr;
    m_finalize = nullptr;
    m_getActiveView = nullptr;
    m_changeMenuState = nullptr;
    m_getPluginInfo = nullptr;
    m_readPrinterSettings = nullptr;
    m_setDefaultData = nullptr;
    m_getDependPluginData = nullptr;
    m_getMenuName = nullptr;
    m_loaded = false;
    m_initialized = false;
    m_initializeFailed = false;
}
