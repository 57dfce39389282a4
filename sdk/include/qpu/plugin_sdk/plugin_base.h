// The plug-in side of the setting-page interface: one SettingPagePlugin object per
// library, and QPU_DEFINE_SETTING_PAGE_PLUGIN, which defines the FORMVIEWDLL_* exports
// around it, the interface version the plug-in is built against among them.
#pragma once

#include <qpu/plugin.h>
#include <qpu/plugin_sdk/page_base.h>

#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

namespace qpu::sdk {

inline constexpr int32_t kPluginNotInitialised = -2;
inline constexpr int32_t kPluginAlreadyInitialised = -3;

class SettingPagePlugin
{
public:
    virtual ~SettingPagePlugin();

    // The plug-in's own data block.
    virtual PluginInfo Info() const = 0;
    // Blocks of other pages that this plug-in reads.
    virtual std::vector<PluginInfo> Dependencies() const { return {}; }
    // Writes the default data of a block that the host has just added (own or dependency).
    virtual int32_t WriteDefaults(uint32_t blockId) = 0;
    // Reads the printer's settings into the data block; runs on the worker thread. 1 all
    // read, -64 stop reading, other: some settings not read.
    virtual int32_t ReadFromPrinter() { return 1; }
    // The menu text under a key (a menu file's MENU_NAME_KEY); empty when the plug-in has
    // none for it.
    virtual QString MenuName(const QString& key) const;
    // Creates the page; called on the first entry.
    virtual std::unique_ptr<PageBase> CreatePage() = 0;

    // The FORMVIEWDLL_* functions.
    int32_t Initialize(void* mainFrame, void* pagePane, AppState* state);
    int32_t GetMenuName(const QpuChar16* key, int32_t keyLength, QpuChar16* buffer,
                        int32_t bufferLength, int32_t* required) const;
    int32_t GetPluginInfo(PluginInfo* info) const;
    int32_t GetDependPluginData(PluginInfo* list, int32_t* count) const;
    int32_t SetDefaultData(uint32_t blockId);
    int32_t ChangeMenuState(int32_t state);
    int32_t ReadPrinterSettings();
    int32_t Finalize();
    void* ActiveView() const;

    const PluginContext& Context() const { return m_context; }
    // Text n of a window's _STR section in the current language, else english.
    QString LanguageString(const QString& window, int number, const QString& english) const;
    bool Initialised() const { return m_initialised; }
    PageBase* Page() const { return m_page.data(); }

private:
    PluginContext m_context;
    bool m_initialised = false;
    QPointer<PageBase> m_page;
};

} // namespace qpu::sdk

// Defines the exports of a plug-in library whose plug-in class is PluginClass (default
// constructible; constructed on first use, so its constructor must not need a window).
#define QPU_DEFINE_SETTING_PAGE_PLUGIN(PluginClass)                                                \
    namespace {                                                                                    \
    qpu::sdk::SettingPagePlugin& QpuPluginInstance()                                               \
    {                                                                                              \
        static PluginClass instance;                                                               \
        return instance;                                                                           \
    }                                                                                              \
    }                                                                                              \
    QPU_EXPORT int32_t FORMVIEWDLL_Initialize(void* mainFrame, void* pagePane, AppState* state)    \
    {                                                                                              \
        return QpuPluginInstance().Initialize(mainFrame, pagePane, state);                         \
    }                                                                                              \
    QPU_EXPORT int32_t FORMVIEWDLL_GetMenuName(const QpuChar16* key, int32_t keyLength,            \
                                               QpuChar16* buffer, int32_t bufferLength,            \
                                               int32_t* required)                                  \
    {                                                                                              \
        return QpuPluginInstance().GetMenuName(key, keyLength, buffer, bufferLength, required);    \
    }                                                                                              \
    QPU_EXPORT int32_t FORMVIEWDLL_GetPluginInfo(PluginInfo* info)                                 \
    {                                                                                              \
        return QpuPluginInstance().GetPluginInfo(info);                                            \
    }                                                                                              \
    QPU_EXPORT int32_t FORMVIEWDLL_GetDependPluginData(PluginInfo* list, int32_t* count)           \
    {                                                                                              \
        return QpuPluginInstance().GetDependPluginData(list, count);                               \
    }                                                                                              \
    QPU_EXPORT int32_t FORMVIEWDLL_SetDefaltDataToPluginDataMgr(uint32_t blockId)                  \
    {                                                                                              \
        return QpuPluginInstance().SetDefaultData(blockId);                                        \
    }                                                                                              \
    QPU_EXPORT int32_t FORMVIEWDLL_ChangeMenuState(int32_t state)                                  \
    {                                                                                              \
        return QpuPluginInstance().ChangeMenuState(state);                                         \
    }                                                                                              \
    QPU_EXPORT int32_t FORMVIEWDLL_ReadPrinterSettings(void)                                       \
    {                                                                                              \
        return QpuPluginInstance().ReadPrinterSettings();                                          \
    }                                                                                              \
    QPU_EXPORT int32_t FORMVIEWDLL_Finalize(void)                                                  \
    {                                                                                              \
        return QpuPluginInstance().Finalize();                                                     \
    }                                                                                              \
    QPU_EXPORT void* FORMVIEWDLL_GetActiveView(void)                                               \
    {                                                                                              \
        return QpuPluginInstance().ActiveView();                                                   \
    }                                                                                              \
    QPU_EXPORT uint32_t FORMVIEWDLL_GetInterfaceVersion(void)                                      \
    {                                                                                              \
        return QPU_PLUGIN_INTERFACE_VERSION;                                                       \
    }
