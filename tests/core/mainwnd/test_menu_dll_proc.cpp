#include "mainwnd/menu_dll_proc.h"

#include "platform/library.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <dlfcn.h>

namespace {

QString PluginPath(const char* target)
{
    return QStringLiteral(FAKE_PLUGIN_DIR "/lib%1.so").arg(QLatin1String(target));
}

bool IsResident(const QString& path)
{
    void* handle = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

// Holds its own reference to a stand-in plug-in, so that its records outlive the host's
// binding, and reads them.
class PluginSpy
{
public:
    explicit PluginSpy(const QString& path)
    {
        EXPECT_TRUE(m_library.Load(path)) << m_library.ErrorString().toStdString();
    }
    int Calls(const char* name) const
    {
        return m_library.ResolveAs<int (*)(const char*)>("FakePlugin_CallCount")(name);
    }
    template <typename Fn> Fn Get(const char* name) const
    {
        auto fn = m_library.ResolveAs<Fn>(name);
        EXPECT_NE(fn, nullptr) << name;
        return fn;
    }
    void SetMenuNameMode(int mode) const { Get<void (*)(int)>("FakePlugin_SetMenuNameMode")(mode); }
    void Release() { m_library.Unload(); }

private:
    platform::Library m_library;
};

constexpr int kMenuNameHuge = 1;
constexpr int kMenuNameNegative = 2;
constexpr int kMenuNameAnswersZero = 3;
constexpr int kMenuNameNoTerminator = 4;
constexpr int kMenuNameFailsSecond = 5;

} // namespace

TEST(CMenuDLLProc, LoadsAndInitialisesACompletePlugin)
{
    const QString path = PluginPath("fake_plugin_full");
    PluginSpy spy(path);
    CMenuDLLProc proc;
    ASSERT_EQ(proc.LoadPlugin(path), 0) << proc.ErrorString().toStdString();
    EXPECT_TRUE(proc.IsLoaded());
    EXPECT_TRUE(proc.HasMenuNameExport());

    int frame = 0;
    int pane = 0;
    AppState state{};
    EXPECT_EQ(proc.InitializePlugin(&frame, &pane, &state), 0);
    void* seenFrame = nullptr;
    void* seenPane = nullptr;
    AppState* seenState = nullptr;
    spy.Get<void (*)(void**, void**, AppState**)>("FakePlugin_InitArgs")(&seenFrame, &seenPane,
                                                                         &seenState);
    EXPECT_EQ(seenFrame, &frame);
    EXPECT_EQ(seenPane, &pane);
    EXPECT_EQ(seenState, &state);
    // Loading calls nothing; GetActiveView is bound but never called.
    EXPECT_EQ(spy.Calls("Initialize"), 1);
    EXPECT_EQ(spy.Get<int (*)()>("FakePlugin_TotalCalls")(), 1);
}

TEST(CMenuDLLProc, UnboundHostAnswersNotLoaded)
{
    CMenuDLLProc proc;
    AppState state{};
    PluginInfo info{};
    int32_t required = 0;
    EXPECT_FALSE(proc.IsLoaded());
    EXPECT_EQ(proc.InitializePlugin(nullptr, nullptr, &state), -1);
    EXPECT_EQ(proc.GetMenuNameFromPlugin(nullptr, 0, nullptr, 0, &required), -1);
    EXPECT_EQ(proc.ChangeMenuState(QPU_MENU_STATE_LEAVE), -1);
    EXPECT_EQ(proc.GetPluginInfo(info), -1);
    EXPECT_EQ(proc.SetDefaultDataToPluginDataMgr(0x10005u), -1);
    EXPECT_EQ(proc.ReadPrinterSettings(), -1);
    std::vector<PluginInfo> blocks{PluginInfo{1, 2, 3}};
    EXPECT_FALSE(proc.DependPluginData(blocks));
    EXPECT_TRUE(blocks.empty());
    QString text = QStringLiteral("stale");
    EXPECT_FALSE(proc.MenuNameFromPlugin(QStringLiteral("KEY"), text));
    EXPECT_TRUE(text.isEmpty());
    proc.Teardown();
    EXPECT_FALSE(proc.IsLoaded());
}

TEST(CMenuDLLProc, RefusesMissingLibrariesAndRequiredExports)
{
    QTemporaryDir emptyFolder;
    CMenuDLLProc proc;
    EXPECT_EQ(proc.LoadPlugin(QStringLiteral("libno_such_plugin.so"), emptyFolder.path()), -1);
    EXPECT_FALSE(proc.IsLoaded());
    EXPECT_FALSE(proc.ErrorString().isEmpty());

    // Without FORMVIEWDLL_GetActiveView nothing stays bound and the library is released.
    const QString path = PluginPath("fake_plugin_no_active_view");
    EXPECT_EQ(proc.LoadPlugin(path), -1);
    EXPECT_FALSE(proc.IsLoaded());
    EXPECT_FALSE(proc.HasMenuNameExport());
    EXPECT_TRUE(proc.ErrorString().contains(QLatin1String("FORMVIEWDLL_GetActiveView")));
    EXPECT_FALSE(IsResident(path));
    AppState state{};
    EXPECT_EQ(proc.InitializePlugin(nullptr, nullptr, &state), -1);
    EXPECT_EQ(proc.ReadPrinterSettings(), -1);
}

TEST(CMenuDLLProc, PluginOfAnotherMajorInterfaceVersionIsRefused)
{
    const struct
    {
        const char* target;
        uint32_t version; // 0: refused
    } cases[] = {{"fake_plugin_full", 0x00010000u},
                 {"fake_plugin_interface_1_5", 0x00010005u},
                 {"fake_plugin_interface_2_0", 0},
                 {"fake_plugin_interface_0_9", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        CMenuDLLProc proc;
        const QString path = PluginPath(c.target);
        EXPECT_EQ(proc.LoadPlugin(path), c.version != 0 ? 0 : -1);
        EXPECT_EQ(proc.InterfaceVersion(), c.version);
        if (c.version == 0) {
            EXPECT_TRUE(proc.ErrorString().contains(QLatin1String("plug-in interface")))
                << proc.ErrorString().toStdString();
            EXPECT_FALSE(IsResident(path));
        }
    }
}

TEST(CMenuDLLProc, PluginWithoutMenuNameExportStillLoads)
{
    const QString path = PluginPath("fake_plugin_no_menu_name");
    CMenuDLLProc proc;
    ASSERT_EQ(proc.LoadPlugin(path), 0);
    EXPECT_TRUE(proc.IsLoaded());
    EXPECT_FALSE(proc.HasMenuNameExport());
    int32_t required = 0;
    EXPECT_EQ(proc.GetMenuNameFromPlugin(nullptr, 0, nullptr, 0, &required), -7);
    QString text;
    EXPECT_FALSE(proc.MenuNameFromPlugin(QStringLiteral("KEY"), text));
    EXPECT_TRUE(text.isEmpty());
}

TEST(CMenuDLLProc, FailedInitialisationIsNeitherFinalizedNorUnloaded)
{
    const QString path = PluginPath("fake_plugin_init_fails");
    PluginSpy spy(path);
    auto proc = std::make_unique<CMenuDLLProc>();
    ASSERT_EQ(proc->LoadPlugin(path), 0);
    AppState state{};
    EXPECT_EQ(proc->InitializePlugin(nullptr, nullptr, &state), -3);
    proc.reset();
    EXPECT_EQ(spy.Calls("Initialize"), 1);
    EXPECT_EQ(spy.Calls("Finalize"), 0);
    // The dropped plug-in stays mapped: it may have left objects behind.
    spy.Release();
    EXPECT_TRUE(IsResident(path));
}

TEST(CMenuDLLProc, PluginNeverInitialisedIsReleasedWithoutFinalize)
{
    const QString path = PluginPath("fake_plugin_full");
    PluginSpy spy(path);
    {
        CMenuDLLProc proc;
        ASSERT_EQ(proc.LoadPlugin(path), 0);
    }
    EXPECT_EQ(spy.Calls("Finalize"), 0);
    spy.Release();
    EXPECT_FALSE(IsResident(path));
}

TEST(CMenuDLLProc, MenuNameByTheTwoCallProtocol)
{
    const QString path = PluginPath("fake_plugin_full");
    PluginSpy spy(path);
    CMenuDLLProc proc;
    ASSERT_EQ(proc.LoadPlugin(path), 0);
    const auto lastKey = spy.Get<int (*)(char16_t*, int, int*)>("FakePlugin_LastKey");

    QString text;
    ASSERT_TRUE(proc.MenuNameFromPlugin(QStringLiteral("Memory"), text));
    EXPECT_EQ(text, QStringLiteral("Page Memory"));
    EXPECT_EQ(spy.Calls("GetMenuName"), 2);
    char16_t key[16] = {};
    int keyLength = 0;
    EXPECT_EQ(lastKey(key, 16, &keyLength), 6);
    EXPECT_EQ(keyLength, 6);
    EXPECT_EQ(std::u16string(key, 6), u"Memory");

    // An empty key goes over as a null pointer.
    ASSERT_TRUE(proc.MenuNameFromPlugin(QString(), text));
    EXPECT_EQ(text, QStringLiteral("Page "));
    EXPECT_EQ(lastKey(key, 16, &keyLength), -1);
    EXPECT_EQ(keyLength, 0);

    // The raw call passes the plug-in's own answer through.
    int32_t required = 0;
    EXPECT_EQ(proc.GetMenuNameFromPlugin(nullptr, 0, nullptr, 0, &required),
              QPU_PLUGIN_BUFFER_TOO_SMALL);
    EXPECT_EQ(required, 6);
}

TEST(CMenuDLLProc, MenuNameSurvivesMisbehavingPlugins)
{
    const QString path = PluginPath("fake_plugin_full");
    PluginSpy spy(path);
    CMenuDLLProc proc;
    ASSERT_EQ(proc.LoadPlugin(path), 0);
    QString text;

    spy.SetMenuNameMode(kMenuNameHuge);
    const int before = spy.Calls("GetMenuName");
    EXPECT_FALSE(proc.MenuNameFromPlugin(QStringLiteral("K"), text));
    EXPECT_EQ(spy.Calls("GetMenuName"), before + 1);
    EXPECT_TRUE(text.isEmpty());

    spy.SetMenuNameMode(kMenuNameNegative);
    EXPECT_FALSE(proc.MenuNameFromPlugin(QStringLiteral("K"), text));

    spy.SetMenuNameMode(kMenuNameAnswersZero);
    EXPECT_FALSE(proc.MenuNameFromPlugin(QStringLiteral("K"), text));

    spy.SetMenuNameMode(kMenuNameFailsSecond);
    EXPECT_FALSE(proc.MenuNameFromPlugin(QStringLiteral("K"), text));
    EXPECT_TRUE(text.isEmpty());

    // A text that fills the buffer without a terminating zero still ends where it should.
    spy.SetMenuNameMode(kMenuNameNoTerminator);
    ASSERT_TRUE(proc.MenuNameFromPlugin(QStringLiteral("K"), text));
    EXPECT_EQ(text, QStringLiteral("Page K"));
}

TEST(CMenuDLLProc, ForwardsTheOtherExports)
{
    const QString path = PluginPath("fake_plugin_full");
    PluginSpy spy(path);
    CMenuDLLProc proc;
    ASSERT_EQ(proc.LoadPlugin(path), 0);

    spy.Get<void (*)(int32_t)>("FakePlugin_SetChangeMenuStateResult")(QPU_MENU_STATE_REFUSE);
    EXPECT_EQ(proc.ChangeMenuState(QPU_MENU_STATE_LEAVE), QPU_MENU_STATE_REFUSE);
    EXPECT_EQ(spy.Get<int32_t (*)()>("FakePlugin_LastChangeMenuState")(), QPU_MENU_STATE_LEAVE);

    PluginInfo info{9, 9, 9};
    EXPECT_EQ(proc.GetPluginInfo(info), 0);
    EXPECT_EQ(info.blockId, 0x10005u);
    EXPECT_EQ(info.blockVersion, 0x10000u);
    EXPECT_EQ(info.blockSize, 152u);

    EXPECT_EQ(proc.SetDefaultDataToPluginDataMgr(0x10007u), 0);
    EXPECT_EQ(spy.Get<uint32_t (*)()>("FakePlugin_LastDefaultBlock")(), 0x10007u);
    EXPECT_EQ(proc.ReadPrinterSettings(), QPU_READ_ALL_DONE);
}

TEST(CMenuDLLProc, DependencyListByCountThenRecords)
{
    const QString path = PluginPath("fake_plugin_full");
    PluginSpy spy(path);
    const auto setDepend = spy.Get<void (*)(int32_t, int32_t)>("FakePlugin_SetDepend");
    CMenuDLLProc proc;
    ASSERT_EQ(proc.LoadPlugin(path), 0);
    std::vector<PluginInfo> blocks;

    setDepend(2, 2);
    ASSERT_TRUE(proc.DependPluginData(blocks));
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].blockId, 0x20000u);
    EXPECT_EQ(blocks[1].blockId, 0x20001u);
    EXPECT_EQ(blocks[1].blockSize, 64u);

    // Fewer records than announced: only those that were filled.
    setDepend(5, 3);
    ASSERT_TRUE(proc.DependPluginData(blocks));
    EXPECT_EQ(blocks.size(), 3u);

    setDepend(0, 0);
    const int callsBefore = spy.Calls("GetDependPluginData");
    ASSERT_TRUE(proc.DependPluginData(blocks));
    EXPECT_TRUE(blocks.empty());
    EXPECT_EQ(spy.Calls("GetDependPluginData"), callsBefore + 1);

    setDepend(-1, 0);
    EXPECT_FALSE(proc.DependPluginData(blocks));
    setDepend(1 << 30, 0);
    EXPECT_FALSE(proc.DependPluginData(blocks));
    EXPECT_TRUE(blocks.empty());
}

TEST(CMenuDLLProc, TeardownFinalizesOnceAndReleases)
{
    const QString path = PluginPath("fake_plugin_full");
    PluginSpy spy(path);
    {
        CMenuDLLProc proc;
        ASSERT_EQ(proc.LoadPlugin(path), 0);
        AppState state{};
        ASSERT_EQ(proc.InitializePlugin(nullptr, nullptr, &state), 0);
        proc.Teardown();
        EXPECT_FALSE(proc.IsLoaded());
        EXPECT_EQ(spy.Calls("Finalize"), 1);
        proc.Teardown();
        EXPECT_EQ(spy.Calls("Finalize"), 1);
        EXPECT_EQ(proc.ReadPrinterSettings(), -1);

        // The destructor tears down a binding that is still held.
        ASSERT_EQ(proc.LoadPlugin(path), 0);
        ASSERT_EQ(proc.InitializePlugin(nullptr, nullptr, &state), 0);
    }
    EXPECT_EQ(spy.Calls("Finalize"), 2);
    spy.Release();
    EXPECT_FALSE(IsResident(path));
}

TEST(CMenuDLLProc, LoadingAgainReleasesThePreviousPlugin)
{
    const QString first = PluginPath("fake_plugin_full");
    const QString second = PluginPath("fake_plugin_no_menu_name");
    PluginSpy spy(first);
    CMenuDLLProc proc;
    ASSERT_EQ(proc.LoadPlugin(first), 0);
    AppState state{};
    ASSERT_EQ(proc.InitializePlugin(nullptr, nullptr, &state), 0);
    ASSERT_EQ(proc.LoadPlugin(second), 0);
    EXPECT_EQ(spy.Calls("Finalize"), 1);
    EXPECT_FALSE(proc.HasMenuNameExport());
    spy.Release();
    EXPECT_FALSE(IsResident(first));
    EXPECT_TRUE(IsResident(second));
}
