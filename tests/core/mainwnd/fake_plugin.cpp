// A stand-in setting-page plug-in for the host tests. Built in several variants:
// FAKE_PLUGIN_NO_MENU_NAME leaves out FORMVIEWDLL_GetMenuName, FAKE_PLUGIN_NO_ACTIVE_VIEW
// leaves out FORMVIEWDLL_GetActiveView, FAKE_PLUGIN_INIT_RESULT sets what Initialize answers,
// FAKE_PLUGIN_INTERFACE_VERSION adds FORMVIEWDLL_GetInterfaceVersion with that answer.
#include <qpu/plugin.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#ifndef FAKE_PLUGIN_INIT_RESULT
#define FAKE_PLUGIN_INIT_RESULT 0
#endif

namespace {

// How GetMenuName misbehaves, set by the tests.
enum MenuNameMode
{
    kMenuNameWell = 0,         // -8 with the length (zero included), then the text
    kMenuNameHuge = 1,         // asks for an absurd length
    kMenuNameNegative = 2,     // -8 with a negative length
    kMenuNameAnswersZero = 3,  // 0 at once without a buffer
    kMenuNameNoTerminator = 4, // length without the zero; fills the whole buffer
    kMenuNameFailsSecond = 5,  // -8, then -8 again
};

struct State
{
    std::map<std::string, int> calls;
    void* frame = nullptr;
    void* pane = nullptr;
    AppState* appState = nullptr;
    int menuNameMode = kMenuNameWell;
    std::u16string lastKey;
    bool lastKeyNull = false;
    int32_t lastKeyLength = -1;
    int32_t lastChangeMenuState = 0;
    int32_t changeMenuStateResult = 0;
    int32_t dependCount = 2;
    int32_t dependFilled = 2;
    uint32_t lastDefaultBlock = 0;
    std::vector<std::string> order;
};

State& S()
{
    static State state;
    return state;
}

void Record(const char* name)
{
    ++S().calls[name];
    S().order.push_back(name);
}

} // namespace

QPU_EXPORT int32_t FORMVIEWDLL_Initialize(void* mainFrame, void* pagePane, AppState* state)
{
    Record("Initialize");
    S().frame = mainFrame;
    S().pane = pagePane;
    S().appState = state;
    return FAKE_PLUGIN_INIT_RESULT;
}

#ifndef FAKE_PLUGIN_NO_MENU_NAME
QPU_EXPORT int32_t FORMVIEWDLL_GetMenuName(const QpuChar16* key, int32_t keyLength,
                                           QpuChar16* buffer, int32_t bufferLength,
                                           int32_t* required)
{
    Record("GetMenuName");
    State& s = S();
    s.lastKeyNull = key == nullptr;
    s.lastKeyLength = keyLength;
    s.lastKey =
        key ? std::u16string(key, static_cast<size_t>(std::max(keyLength, 0))) : std::u16string();
    const std::u16string text = u"Page " + s.lastKey;
    const auto length = static_cast<int32_t>(text.size());
    switch (s.menuNameMode) {
    case kMenuNameHuge:
        *required = 0x7fffffff;
        return QPU_PLUGIN_BUFFER_TOO_SMALL;
    case kMenuNameNegative:
        *required = -4;
        return QPU_PLUGIN_BUFFER_TOO_SMALL;
    case kMenuNameAnswersZero:
        *required = 0;
        return 0;
    case kMenuNameFailsSecond:
        *required = length + 1;
        return QPU_PLUGIN_BUFFER_TOO_SMALL;
    case kMenuNameNoTerminator:
        *required = length;
        if (!buffer || bufferLength < length)
            return QPU_PLUGIN_BUFFER_TOO_SMALL;
        std::copy(text.begin(), text.end(), buffer);
        return 0;
    default:
        *required = length + 1;
        if (!buffer || bufferLength < length + 1)
            return QPU_PLUGIN_BUFFER_TOO_SMALL;
        std::copy(text.begin(), text.end(), buffer);
        buffer[length] = 0;
        return 0;
    }
}
#endif

QPU_EXPORT int32_t FORMVIEWDLL_GetPluginInfo(PluginInfo* info)
{
    Record("GetPluginInfo");
    info->blockId = 0x10005u;
    info->blockVersion = 0x10000u;
    info->blockSize = 152;
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_GetDependPluginData(PluginInfo* list, int32_t* count)
{
    Record("GetDependPluginData");
    if (!list) {
        *count = S().dependCount;
        return 0;
    }
    const int32_t filled = std::min(*count, S().dependFilled);
    for (int32_t i = 0; i < filled; ++i)
        list[i] = PluginInfo{0x20000u + static_cast<uint32_t>(i), 0x10000u, 64};
    *count = filled;
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_SetDefaltDataToPluginDataMgr(uint32_t blockId)
{
    Record("SetDefaltDataToPluginDataMgr");
    S().lastDefaultBlock = blockId;
    return 0;
}

QPU_EXPORT int32_t FORMVIEWDLL_ChangeMenuState(int32_t state)
{
    Record("ChangeMenuState");
    S().lastChangeMenuState = state;
    return S().changeMenuStateResult;
}

QPU_EXPORT int32_t FORMVIEWDLL_ReadPrinterSettings(void)
{
    Record("ReadPrinterSettings");
    return QPU_READ_ALL_DONE;
}

QPU_EXPORT int32_t FORMVIEWDLL_Finalize(void)
{
    Record("Finalize");
    return 0;
}

#ifndef FAKE_PLUGIN_NO_ACTIVE_VIEW
QPU_EXPORT void* FORMVIEWDLL_GetActiveView(void)
{
    Record("GetActiveView");
    return nullptr;
}
#endif

#ifdef FAKE_PLUGIN_INTERFACE_VERSION
QPU_EXPORT uint32_t FORMVIEWDLL_GetInterfaceVersion(void)
{
    Record("GetInterfaceVersion");
    return FAKE_PLUGIN_INTERFACE_VERSION;
}
#endif

// Inspection and control for the tests.
QPU_EXPORT int FakePlugin_CallCount(const char* name)
{
    const auto it = S().calls.find(name);
    return it == S().calls.end() ? 0 : it->second;
}
QPU_EXPORT int FakePlugin_TotalCalls(void)
{
    return static_cast<int>(S().order.size());
}
QPU_EXPORT void FakePlugin_InitArgs(void** frame, void** pane, AppState** state)
{
    *frame = S().frame;
    *pane = S().pane;
    *state = S().appState;
}
QPU_EXPORT void FakePlugin_SetMenuNameMode(int mode)
{
    S().menuNameMode = mode;
}
QPU_EXPORT int FakePlugin_LastKey(char16_t* buffer, int capacity, int* keyLength)
{
    const std::u16string& key = S().lastKey;
    const int n = std::min(static_cast<int>(key.size()), capacity);
    std::copy(key.begin(), key.begin() + n, buffer);
    *keyLength = S().lastKeyLength;
    return S().lastKeyNull ? -1 : n;
}
QPU_EXPORT void FakePlugin_SetChangeMenuStateResult(int32_t result)
{
    S().changeMenuStateResult = result;
}
QPU_EXPORT int32_t FakePlugin_LastChangeMenuState(void)
{
    return S().lastChangeMenuState;
}
QPU_EXPORT void FakePlugin_SetDepend(int32_t count, int32_t filled)
{
    S().dependCount = count;
    S().dependFilled = filled;
}
QPU_EXPORT uint32_t FakePlugin_LastDefaultBlock(void)
{
    return S().lastDefaultBlock;
}
