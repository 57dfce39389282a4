#include "comm/comm_lib_binding.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <dlfcn.h>

#include <array>
#include <cstring>

namespace {

const QString kFullDir = QStringLiteral(FAKE_COMM_FULL_DIR);
const QString kLackingDir = QStringLiteral(FAKE_COMM_LACKING_DIR);

QString LibraryIn(const QString& folder)
{
    return folder + QStringLiteral("/libQPComm.so");
}

// True while the library file is mapped into the process.
bool IsResident(const QString& path)
{
    void* handle = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

bool TableIsZero(const CommLibTable& table)
{
    static const CommLibTable zero{};
    return std::memcmp(&table, &zero, sizeof table) == 0;
}

template <typename Fn> Fn FakeControl(const CommLibTable& table, const char* name)
{
    return reinterpret_cast<Fn>(dlsym(table.module, name));
}

} // namespace

TEST(CommLibBinding, BindsEveryEntryPointInTableOrder)
{
    CommLibBinding binding;
    ASSERT_EQ(binding.Bind(QStringLiteral("QPComm.dll"), kFullDir), QPC_OK)
        << binding.ErrorString().toStdString();
    ASSERT_TRUE(binding.IsBound());
    const CommLibTable& table = *binding.Table();
    ASSERT_NE(table.module, nullptr);

    // Each slot holds the export of its own name, in the fixed order.
    std::array<void*, QPU_COMM_ENTRY_POINT_COUNT + 1> tableSlots{};
    std::memcpy(tableSlots.data(), &table, sizeof table);
    EXPECT_EQ(tableSlots[0], table.module);
    size_t index = 1;
#define CHECK_SLOT(name)                                                                           \
    EXPECT_EQ(tableSlots[index], dlsym(table.module, "QPC_" #name))                                \
        << "slot " << index << " " #name;                                                          \
    EXPECT_NE(tableSlots[index], nullptr) << #name;                                                \
    ++index;
    QPU_COMM_ENTRY_POINTS(CHECK_SLOT)
#undef CHECK_SLOT
    EXPECT_EQ(index, tableSlots.size());
}

TEST(CommLibBinding, CallsReachTheLibraryWithTheirArguments)
{
    CommLibBinding binding;
    ASSERT_EQ(binding.Bind(QStringLiteral("QPComm.dll"), kFullDir), QPC_OK);
    const auto callCount =
        FakeControl<int (*)(const char*)>(*binding.Table(), "FakeComm_CallCount");
    const auto openMode = FakeControl<int32_t (*)()>(*binding.Table(), "FakeComm_OpenMode");
    const auto enableArgs =
        FakeControl<void (*)(int32_t*)>(*binding.Table(), "FakeComm_IsEnableCommandArgs");
    ASSERT_TRUE(callCount && openMode && enableArgs);

    const int setCallerBefore = callCount("SetCaller");
    EXPECT_EQ(binding.Call(&CommLibTable::SetCaller, 3), QPC_OK);
    int32_t caller = 0;
    EXPECT_EQ(binding.Call(&CommLibTable::GetCaller, &caller), QPC_OK);
    EXPECT_EQ(caller, 3);
    EXPECT_EQ(callCount("SetCaller"), setCallerBefore + 1);

    EXPECT_EQ(QpcCall(binding.Table(), &CommLibTable::Open, 1), QPC_OK);
    EXPECT_EQ(openMode(), 1);

    int32_t enabled = 0;
    EXPECT_EQ(binding.Call(&CommLibTable::IsEnableCommand, 1, 14, 48, &enabled), QPC_OK);
    int32_t args[3] = {};
    enableArgs(args);
    EXPECT_EQ(args[0], 1);
    EXPECT_EQ(args[1], 14);
    EXPECT_EQ(args[2], 48);
    EXPECT_EQ(enabled, 1);
}

TEST(CommLibBinding, MissingEntryPointLeavesNothingBound)
{
    CommLibBinding binding;
    EXPECT_EQ(binding.Bind(QStringLiteral("QPComm.dll"), kLackingDir), QPC_ERR_NOT_BOUND);
    EXPECT_FALSE(binding.IsBound());
    EXPECT_TRUE(TableIsZero(*binding.Table()));
    EXPECT_TRUE(binding.ErrorString().contains(QLatin1String("QPC_Terminate")))
        << binding.ErrorString().toStdString();
    EXPECT_FALSE(IsResident(LibraryIn(kLackingDir)));

    // Every call answers "not bound", including those whose names were found.
    EXPECT_EQ(binding.Call(&CommLibTable::Open, 1), QPC_ERR_NOT_BOUND);
    EXPECT_EQ(binding.Call(&CommLibTable::Terminate), QPC_ERR_NOT_BOUND);
    EXPECT_EQ(binding.Call(&CommLibTable::SetCaller, 1), QPC_ERR_NOT_BOUND);
}

TEST(CommLibBinding, LibraryOfAnotherMajorInterfaceVersionIsRefused)
{
    const struct
    {
        const char* folder;
        bool bound;
    } cases[] = {{"0140", true}, {"0199", true}, {"0240", false}, {"0040", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        CommLibBinding binding;
        const QString folder = QStringLiteral(FAKE_COMM_VERSIONS_DIR "/") + c.folder;
        EXPECT_EQ(binding.Bind(QStringLiteral("QPComm.dll"), folder),
                  c.bound ? QPC_OK : QPC_ERR_NOT_BOUND);
        EXPECT_EQ(binding.IsBound(), c.bound);
        if (!c.bound) {
            EXPECT_TRUE(TableIsZero(*binding.Table()));
            EXPECT_TRUE(binding.ErrorString().contains(QStringLiteral("interface version")))
                << binding.ErrorString().toStdString();
            EXPECT_FALSE(IsResident(LibraryIn(folder)));
        }
    }
}

TEST(CommLibBinding, MissingLibraryAnswersNotBound)
{
    QTemporaryDir emptyFolder;
    ASSERT_TRUE(emptyFolder.isValid());
    CommLibBinding binding;
    EXPECT_EQ(binding.Bind(QStringLiteral("QPCommMissingForTest.dll"), emptyFolder.path()),
              QPC_ERR_NOT_BOUND);
    EXPECT_FALSE(binding.IsBound());
    EXPECT_TRUE(TableIsZero(*binding.Table()));
    EXPECT_FALSE(binding.ErrorString().isEmpty());

    int32_t status = 0;
    EXPECT_EQ(binding.Call(&CommLibTable::GetStatus, &status), QPC_ERR_NOT_BOUND);
    EXPECT_EQ(binding.Call(&CommLibTable::Initialize), QPC_ERR_NOT_BOUND);
    EXPECT_EQ(binding.Call(&CommLibTable::IsEnableCommand, 1, 14, 48, &status), QPC_ERR_NOT_BOUND);
}

TEST(CommLibBinding, CallHelperGuardsTablesFromOutside)
{
    EXPECT_EQ(QpcCall(nullptr, &CommLibTable::Close), QPC_ERR_NOT_BOUND);
    EXPECT_FALSE(IsCommLibBound(nullptr));

    // A table with a module handle but a cleared entry point must not be called through.
    CommLibTable table{};
    int marker = 0;
    table.module = &marker;
    EXPECT_TRUE(IsCommLibBound(&table));
    EXPECT_EQ(QpcCall(&table, &CommLibTable::Close), QPC_ERR_NOT_BOUND);
    table.Close = [] { return int32_t{7}; };
    EXPECT_EQ(QpcCall(&table, &CommLibTable::Close), 7);
    table.module = nullptr;
    EXPECT_EQ(QpcCall(&table, &CommLibTable::Close), QPC_ERR_NOT_BOUND);
}

TEST(CommLibBinding, FailedRebindReleasesThePreviousLibrary)
{
    CommLibBinding binding;
    CommLibTable* const published = binding.Table();
    ASSERT_EQ(binding.Bind(QStringLiteral("QPComm.dll"), kFullDir), QPC_OK);
    EXPECT_TRUE(IsResident(LibraryIn(kFullDir)));

    EXPECT_EQ(binding.Bind(QStringLiteral("QPComm.dll"), kLackingDir), QPC_ERR_NOT_BOUND);
    EXPECT_FALSE(IsResident(LibraryIn(kFullDir)));
    EXPECT_FALSE(IsResident(LibraryIn(kLackingDir)));
    EXPECT_TRUE(TableIsZero(*binding.Table()));
    // AppState keeps the table's address; it never moves.
    EXPECT_EQ(binding.Table(), published);
}

TEST(CommLibBinding, UnbindAndDestructionReleaseTheLibrary)
{
    {
        CommLibBinding binding;
        ASSERT_EQ(binding.Bind(QStringLiteral("QPComm.dll"), kFullDir), QPC_OK);
        binding.Unbind();
        EXPECT_FALSE(binding.IsBound());
        EXPECT_TRUE(TableIsZero(*binding.Table()));
        EXPECT_FALSE(IsResident(LibraryIn(kFullDir)));
        ASSERT_EQ(binding.Bind(QStringLiteral("QPComm.dll"), kFullDir), QPC_OK);
        EXPECT_TRUE(IsResident(LibraryIn(kFullDir)));
    }
    EXPECT_FALSE(IsResident(LibraryIn(kFullDir)));
}
