#pragma once

#include "platform/library.h"

#include <qpu/plugin.h>

#include <QString>

#include <vector>

// The host side of one setting-page plug-in: loads the library, resolves its
// FORMVIEWDLL_* exports and calls them. Each menu entry holds one. Either every required
// export is bound (and the optional ones the plug-in has) or none is; a plug-in built
// against another major version of the interface is refused. Every refusal is logged under
// qpu.plugins. Window handles are the QWidget* of the main frame and the page pane, passed
// as void*.
class CMenuDLLProc
{
public:
    // Result of the calls when no plug-in is loaded.
    static constexpr int kNotLoaded = -1;
    // GetMenuNameFromPlugin when the plug-in has no FORMVIEWDLL_GetMenuName.
    static constexpr int kNoMenuNameExport = -7;
    // Longest menu text (in characters) the host accepts from a plug-in.
    static constexpr int32_t kMaxMenuNameChars = 4096;

    CMenuDLLProc() = default;
    // Ends the binding (see Teardown).
    virtual ~CMenuDLLProc();
    CMenuDLLProc(const CMenuDLLProc&) = delete;
    CMenuDLLProc& operator=(const CMenuDLLProc&) = delete;

    // Asks the plug-in for the menu text stored under key: the plug-in's answer, -1 when
    // not loaded, -7 without FORMVIEWDLL_GetMenuName. key may be null (empty key).
    virtual int GetMenuNameFromPlugin(const QpuChar16* key, int32_t keyLength, QpuChar16* buffer,
                                      int32_t bufferLength, int32_t* requiredLength);

    // Loads the library, resolves the exports and checks the interface version: 0 when
    // bound, -1 otherwise (nothing is then kept). A name without a folder is looked up in
    // programFolder (empty: the executable's folder) first. A binding held before is torn down
    // first.
    int LoadPlugin(const QString& libraryName, const QString& programFolder = {});
    // FORMVIEWDLL_Initialize with the frame, the page pane and the shared block; -1 when not
    // loaded. The result decides what Teardown does.
    int InitializePlugin(void* mainFrame, void* pagePane, AppState* state);

    // The menu text under key by the plug-in's two-call protocol: a first call asks for
    // the length (-8 and the length in characters), a second one fills a buffer of that
    // length. False (text empty) when the plug-in is not loaded, has no
    // FORMVIEWDLL_GetMenuName, answers anything else, or asks for an absurd length.
    bool MenuNameFromPlugin(const QString& key, QString& text);

    // The other exports; each answers -1 when no plug-in is loaded.
    int ChangeMenuState(int32_t state);
    int GetPluginInfo(PluginInfo& info);
    // The blocks the plug-in depends on, by the two-call protocol (count, then records).
    // False when not loaded or the plug-in reports a negative or absurd count.
    bool DependPluginData(std::vector<PluginInfo>& blocks);
    int SetDefaultDataToPluginDataMgr(uint32_t blockId);
    int ReadPrinterSettings();

    // Ends the binding: FORMVIEWDLL_Finalize if the plug-in was initialised, then the
    // library is released and every entry point cleared. A plug-in whose initialisation
    // failed gets no Finalize and its library stays mapped for the rest of the run: it may
    // have left objects behind whose code lives in it. Harmless when nothing is loaded.
    void Teardown();

    bool IsLoaded() const { return m_loaded; }
    bool HasMenuNameExport() const { return m_entries.GetMenuName != nullptr; }
    // The interface version the plug-in was built against (major version 1 without the
    // export); 0 when nothing is loaded.
    uint32_t InterfaceVersion() const;
    QString LibraryPath() const { return m_library.FilePath(); }
    // Why the last LoadPlugin failed: the loader's message, the missing export or the
    // interface version.
    QString ErrorString() const { return m_error; }

private:
    // The resolved exports, one per entry of QPU_PLUGIN_EXPORTS.
    struct EntryPoints
    {
#define QPU_PLUGIN_ENTRY_POINT(name, required) FORMVIEWDLL_##name##_t name = nullptr;
        QPU_PLUGIN_EXPORTS(QPU_PLUGIN_ENTRY_POINT)
#undef QPU_PLUGIN_ENTRY_POINT
    };

    bool ResolveEntryPoints();
    bool CheckInterfaceVersion();
    int Refuse(const QString& why);
    void ClearEntryPoints();

    platform::Library m_library;
    EntryPoints m_entries;
    bool m_loaded = false;
    bool m_initialized = false;      // Initialize answered 0
    bool m_initializeFailed = false; // Initialize answered anything else
    QString m_error;
};
