#include "app/device_query.h"

#include "app/fixed_text.h"
#include "platform/library.h"

#include <qpu/prtinf.h>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <dlfcn.h>

namespace {

const QString kPrtInfDir = QStringLiteral(FAKE_PRTINF_DIR "/");
const QString kPrtInfNoIdDir = QStringLiteral(FAKE_PRTINF_NO_ID_DIR "/");
constexpr int32_t kNoAnswer = QPC_ERR_NOT_BOUND;

bool IsResident(const QString& path)
{
    void* handle = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

struct PrtInfCounts
{
    int initialize = 0;
    int finalize = 0;
    int open = 0;
};

// Keeps the stand-in library loaded between queries so that its records survive.
class PrtInfSpy
{
public:
    explicit PrtInfSpy(const QString& folder)
    {
        EXPECT_TRUE(m_library.Load(folder + QStringLiteral("libPrtInfMgrDLL.so")));
    }
    void Configure(int32_t deviceId, int32_t result, bool refuse) const
    {
        m_library.ResolveAs<void (*)(int32_t, int32_t, int)>("FakePrtInf_Configure")(
            deviceId, result, refuse ? 1 : 0);
    }
    PrtInfCounts Counts() const
    {
        PrtInfCounts counts;
        m_library.ResolveAs<void (*)(int*, int*, int*)>("FakePrtInf_Counts")(
            &counts.initialize, &counts.finalize, &counts.open);
        return counts;
    }
    const CommLibTable* LastCommLib() const
    {
        return m_library.ResolveAs<const CommLibTable* (*)()>("FakePrtInf_LastCommLib")();
    }

private:
    platform::Library m_library;
};

class DeviceIdTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_table.module = &m_table;
        m_state.commLib = &m_table;
        ASSERT_TRUE(SetFixedText(m_state.programFolder, kPrtInfDir));
        m_state.deviceId = 99;
    }

    CommLibTable m_table{};
    AppState m_state{};
};

} // namespace

TEST_F(DeviceIdTest, StoresTheReportedIdAndClosesTheConnection)
{
    PrtInfSpy spy(kPrtInfDir);
    spy.Configure(0x1234, PRTINF_OK, false);
    QueryDeviceId(m_state, QPC_OK);
    EXPECT_EQ(m_state.deviceId, 0x1234);
    const PrtInfCounts counts = spy.Counts();
    EXPECT_EQ(counts.initialize, 1);
    EXPECT_EQ(counts.finalize, 1);
    EXPECT_EQ(counts.open, 0);
    // The library talks through the program's own binding.
    EXPECT_EQ(spy.LastCommLib(), &m_table);
}

TEST_F(DeviceIdTest, StaysZeroWhenThePrinterDidNotAnswer)
{
    PrtInfSpy spy(kPrtInfDir);
    spy.Configure(0x1234, PRTINF_OK, false);
    QueryDeviceId(m_state, kNoAnswer);
    EXPECT_EQ(m_state.deviceId, 0);
    EXPECT_EQ(spy.Counts().initialize, 0);

    m_state.commLib = nullptr;
    QueryDeviceId(m_state, QPC_OK);
    EXPECT_EQ(m_state.deviceId, 0);
    EXPECT_EQ(spy.Counts().initialize, 0);
}

TEST_F(DeviceIdTest, StaysZeroWhenTheLibraryFails)
{
    PrtInfSpy spy(kPrtInfDir);
    spy.Configure(0x1234, 0, false);
    QueryDeviceId(m_state, QPC_OK);
    EXPECT_EQ(m_state.deviceId, 0);
    EXPECT_EQ(spy.Counts().finalize, 1);

    spy.Configure(0x1234, PRTINF_OK, true);
    m_state.deviceId = 5;
    QueryDeviceId(m_state, QPC_OK);
    EXPECT_EQ(m_state.deviceId, 0);
    const PrtInfCounts counts = spy.Counts();
    EXPECT_EQ(counts.initialize, 2);
    EXPECT_EQ(counts.finalize, 1);
}

TEST_F(DeviceIdTest, StaysZeroWithoutLibraryOrEntryPoint)
{
    QTemporaryDir emptyFolder;
    ASSERT_TRUE(SetFixedText(m_state.programFolder, emptyFolder.path() + QLatin1Char('/')));
    QueryDeviceId(m_state, QPC_OK);
    EXPECT_EQ(m_state.deviceId, 0);

    PrtInfSpy spy(kPrtInfNoIdDir);
    ASSERT_TRUE(SetFixedText(m_state.programFolder, kPrtInfNoIdDir));
    m_state.deviceId = 7;
    QueryDeviceId(m_state, QPC_OK);
    EXPECT_EQ(m_state.deviceId, 0);
    EXPECT_EQ(spy.Counts().initialize, 0);
}

TEST_F(DeviceIdTest, ReleasesTheLibraryAfterwards)
{
    QueryDeviceId(m_state, QPC_OK);
    EXPECT_FALSE(IsResident(kPrtInfDir + QStringLiteral("libPrtInfMgrDLL.so")));
}

namespace {

// A communication binding made of plain functions, with answers the tests set.
struct FakeFlags
{
    static inline int32_t enableResult = QPC_OK;
    static inline int32_t enableOut = 0;
    static inline int32_t supportedOut = 0;
    static inline int32_t lastFeature = -1;
    static inline int32_t enableArgs[3] = {};
    static inline int supportedCalls = 0;
};

CommLibTable MakeFlagTable()
{
    FakeFlags::enableResult = QPC_OK;
    FakeFlags::enableOut = 0;
    FakeFlags::supportedOut = 0;
    FakeFlags::lastFeature = -1;
    FakeFlags::supportedCalls = 0;
    CommLibTable table{};
    table.module = reinterpret_cast<void*>(&MakeFlagTable);
    table.IsEnableCommand = [](int32_t a, int32_t b, int32_t c, int32_t* enabled) {
        FakeFlags::enableArgs[0] = a;
        FakeFlags::enableArgs[1] = b;
        FakeFlags::enableArgs[2] = c;
        *enabled = FakeFlags::enableOut;
        return FakeFlags::enableResult;
    };
    table.IsSupported = [](int32_t feature, int32_t* supported) {
        ++FakeFlags::supportedCalls;
        FakeFlags::lastFeature = feature;
        *supported = FakeFlags::supportedOut;
        return int32_t{QPC_OK};
    };
    return table;
}

} // namespace

TEST(FeatureFlags, CommandFlagNeedsSuccessAndANonZeroAnswer)
{
    CommLibTable table = MakeFlagTable();
    AppState state{};
    state.commLib = &table;

    FakeFlags::enableOut = 1;
    QueryFeatureFlags(state, kNoAnswer);
    EXPECT_EQ(state.command1_14_48Enabled, 1);
    EXPECT_EQ(FakeFlags::enableArgs[0], 1);
    EXPECT_EQ(FakeFlags::enableArgs[1], 14);
    EXPECT_EQ(FakeFlags::enableArgs[2], 48);

    FakeFlags::enableResult = static_cast<int32_t>(0x80000001u);
    QueryFeatureFlags(state, kNoAnswer);
    EXPECT_EQ(state.command1_14_48Enabled, 0);

    FakeFlags::enableResult = QPC_OK;
    FakeFlags::enableOut = 0;
    state.command1_14_48Enabled = 1;
    QueryFeatureFlags(state, kNoAnswer);
    EXPECT_EQ(state.command1_14_48Enabled, 0);

    // Unbound: 0 without calling anything.
    table.module = nullptr;
    FakeFlags::enableOut = 1;
    QueryFeatureFlags(state, QPC_OK);
    EXPECT_EQ(state.command1_14_48Enabled, 0);
    EXPECT_EQ(FakeFlags::supportedCalls, 0);
}

TEST(FeatureFlags, Feature100OnlyAfterAnAnswerAndNeverLowered)
{
    CommLibTable table = MakeFlagTable();
    AppState state{};
    state.commLib = &table;

    FakeFlags::supportedOut = 1;
    QueryFeatureFlags(state, kNoAnswer);
    EXPECT_EQ(state.feature100Supported, 0);
    EXPECT_EQ(FakeFlags::supportedCalls, 0);

    QueryFeatureFlags(state, QPC_OK);
    EXPECT_EQ(state.feature100Supported, 1);
    EXPECT_EQ(FakeFlags::lastFeature, 100);

    FakeFlags::supportedOut = 0;
    QueryFeatureFlags(state, QPC_OK);
    EXPECT_EQ(state.feature100Supported, 1);

    state.commLib = nullptr;
    QueryFeatureFlags(state, QPC_OK);
    EXPECT_EQ(state.feature100Supported, 1);
    EXPECT_EQ(state.command1_14_48Enabled, 0);
}
