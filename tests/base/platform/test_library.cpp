#include "platform/library.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <dlfcn.h>

using platform::Library;

namespace {

const QString kFullDir = QStringLiteral(FAKE_COMM_FULL_DIR);
const QString kLackingDir = QStringLiteral(FAKE_COMM_LACKING_DIR);

bool IsResident(const QString& path)
{
    void* handle = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle);
    return true;
}

} // namespace

TEST(Library, MapsDllNamesToSharedObjectNames)
{
    EXPECT_EQ(Library::NativeFileName(QStringLiteral("QPComm.dll")),
              QStringLiteral("libQPComm.so"));
    EXPECT_EQ(Library::NativeFileName(QStringLiteral("PrtInfMgrDLL.DLL")),
              QStringLiteral("libPrtInfMgrDLL.so"));
    EXPECT_EQ(Library::NativeFileName(QStringLiteral("/opt/x/Plug.dll")),
              QStringLiteral("/opt/x/libPlug.so"));
    EXPECT_EQ(Library::NativeFileName(QStringLiteral("Plain")), QStringLiteral("libPlain.so"));
    // Real file names pass unchanged.
    EXPECT_EQ(Library::NativeFileName(QStringLiteral("libpage.so")), QStringLiteral("libpage.so"));
    EXPECT_EQ(Library::NativeFileName(QStringLiteral("libm.so.6")), QStringLiteral("libm.so.6"));
    EXPECT_EQ(Library::NativeFileName(QStringLiteral("dir.d/page.so")),
              QStringLiteral("dir.d/page.so"));
    EXPECT_EQ(Library::NativeFileName(QStringLiteral(".dll")), QStringLiteral(".dll"));
}

TEST(Library, LooksInTheProgramFolderFirst)
{
    Library full;
    ASSERT_TRUE(full.Load(QStringLiteral("QPComm.dll"), kFullDir))
        << full.ErrorString().toStdString();
    EXPECT_EQ(QFileInfo(full.FilePath()).canonicalFilePath(),
              QFileInfo(kFullDir + QStringLiteral("/libQPComm.so")).canonicalFilePath());
    EXPECT_NE(full.Resolve("QPC_Terminate"), nullptr);

    // The same name in another program folder is another library.
    Library lacking;
    ASSERT_TRUE(lacking.Load(QStringLiteral("QPComm.dll"), kLackingDir + QLatin1Char('/')));
    EXPECT_NE(lacking.Handle(), full.Handle());
    EXPECT_EQ(lacking.Resolve("QPC_Terminate"), nullptr);
    EXPECT_NE(lacking.Resolve("QPC_Open"), nullptr);
}

TEST(Library, FallsBackToTheDefaultSearch)
{
    QTemporaryDir emptyFolder;
    ASSERT_TRUE(emptyFolder.isValid());
    Library libm;
    ASSERT_TRUE(libm.Load(QStringLiteral("libm.so.6"), emptyFolder.path()))
        << libm.ErrorString().toStdString();
    EXPECT_NE(libm.Resolve("cos"), nullptr);
}

TEST(Library, ReportsMissingLibrariesAndSymbols)
{
    QTemporaryDir emptyFolder;
    Library missing;
    EXPECT_FALSE(missing.Load(QStringLiteral("NoSuchLibraryForTest.dll"), emptyFolder.path()));
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_FALSE(missing.ErrorString().isEmpty());
    EXPECT_EQ(missing.Resolve("anything"), nullptr);
    EXPECT_FALSE(missing.Load(QString()));

    Library full;
    ASSERT_TRUE(full.Load(QStringLiteral("QPComm.dll"), kFullDir));
    EXPECT_EQ(full.Resolve("QPC_NoSuchEntry"), nullptr);
    EXPECT_EQ(full.Resolve(nullptr), nullptr);
    // A failed load releases what was held before.
    EXPECT_FALSE(full.Load(QStringLiteral("NoSuchLibraryForTest.dll"), emptyFolder.path()));
    EXPECT_FALSE(full.IsLoaded());
    EXPECT_FALSE(IsResident(kFullDir + QStringLiteral("/libQPComm.so")));
}

TEST(Library, OwnershipFollowsMovesAndEndsWithTheObject)
{
    const QString path = kFullDir + QStringLiteral("/libQPComm.so");
    {
        Library first;
        ASSERT_TRUE(first.Load(path));
        Library second(std::move(first));
        EXPECT_FALSE(first.IsLoaded());
        EXPECT_TRUE(second.IsLoaded());
        Library third;
        third = std::move(second);
        EXPECT_TRUE(third.IsLoaded());
        EXPECT_TRUE(IsResident(path));
    }
    EXPECT_FALSE(IsResident(path));
}

TEST(Library, DetachKeepsTheLibraryMapped)
{
    const QString path = kLackingDir + QStringLiteral("/libQPComm.so");
    void* detached = nullptr;
    {
        Library library;
        ASSERT_TRUE(library.Load(path));
        detached = library.Detach();
        EXPECT_FALSE(library.IsLoaded());
    }
    ASSERT_NE(detached, nullptr);
    EXPECT_TRUE(IsResident(path));
    dlclose(detached);
    EXPECT_FALSE(IsResident(path));
}

TEST(Library, ExecutableFolderHoldsTheRunningProgram)
{
    const QString folder = Library::ExecutableFolder();
    ASSERT_TRUE(folder.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("test_platform")).isExecutable());
}
