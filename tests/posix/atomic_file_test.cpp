#include "posix/atomic_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text, mode_t mode)
{
    std::ofstream(path, std::ios::binary) << text;
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

struct stat statOf(const std::string& path)
{
    struct stat st = {};
    ::stat(path.c_str(), &st);
    return st;
}

// A folder of the test's own under $TMPDIR (else /tmp), removed with all it holds.
class AtomicFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "qpuposix-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string path(const std::string& name) const { return m_dir + "/" + name; }

    // Every entry of the folder: name, kind, mode and, for a file, its bytes.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> entries;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            const std::string p = entry.path().string();
            const struct stat st = statOf(p);
            entries[entry.path().filename().string()] =
                std::to_string(st.st_mode) + ":" + (S_ISREG(st.st_mode) ? readFile(p) : "");
        }
        return entries;
    }

    std::string m_dir;
};

enum class As
{
    Self,
    Nobody,
    SmallFileLimit
};

struct Outcome
{
    bool written = false;
    std::string error;
};

// Writes in a child process, so that the write can run as the user nobody (the superuser
// is not stopped by permission bits) or under a file size limit (as on a full disk).
Outcome writeInChild(const std::string& path, const std::string& bytes, As as)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {false, "pipe failed"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (as == As::SmallFileLimit) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64, 64};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (as == As::Nobody && ::geteuid() == 0 &&
            (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(2);
        std::string error;
        const bool written = posix::WriteFileAtomically(path, bytes, &error);
        const std::string message = (written ? "1" : "0") + error;
        const bool sent = ::write(pipeFds[1], message.data(), message.size()) ==
                          static_cast<ssize_t>(message.size());
        ::_exit(sent ? 0 : 3);
    }
    ::close(pipeFds[1]);
    std::string message;
    char chunk[256];
    for (ssize_t n; (n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;)
        message.append(chunk, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || message.empty())
        return {false, "the child failed"};
    return {message[0] == '1', message.substr(1)};
}

TEST_F(AtomicFileTest, WritesANewFileWithTheModeTheUmaskLeaves)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    std::string error;
    ASSERT_TRUE(posix::WriteFileAtomically(path("new.dat"), std::string("a\0b", 3), &error))
        << error;
    EXPECT_EQ(readFile(path("new.dat")), std::string("a\0b", 3));
    EXPECT_EQ(statOf(path("new.dat")).st_mode & 07777, 0666 & ~mask);
    EXPECT_EQ(snapshot().size(), 1u) << "no temporary file is left";
}

TEST_F(AtomicFileTest, ReplacementKeepsModeAndOwner)
{
    for (const mode_t mode : {0600, 0640, 0604, 0755}) {
        SCOPED_TRACE(mode);
        writeFile(path("old.dat"), "old contents", mode);
        // Only the superuser can hand the file to someone else and keep it so.
        const uid_t owner = ::geteuid() == 0 ? kNobody : ::geteuid();
        ASSERT_EQ(::chown(path("old.dat").c_str(), owner, static_cast<gid_t>(-1)), 0);
        std::string error;
        ASSERT_TRUE(posix::WriteFileAtomically(path("old.dat"), "new", &error)) << error;
        EXPECT_EQ(readFile(path("old.dat")), "new");
        EXPECT_EQ(statOf(path("old.dat")).st_mode & 07777, mode);
        EXPECT_EQ(statOf(path("old.dat")).st_uid, owner);
        EXPECT_EQ(snapshot().size(), 1u) << "no temporary file is left";
    }
}

// Each failure leaves the folder exactly as it was (the old file's bytes and mode, no
// temporary file, nothing created) and says why, with the system's reason.
TEST_F(AtomicFileTest, FailuresLeaveTheFolderAsItWasAndSayWhy)
{
    const struct
    {
        const char* name;
        const char* target;
        As as;
        const char* why;
        int err;
    } cases[] = {
        {"an empty name", "", As::Self, "empty file name", ENOENT},
        {"a target that is a folder", "folder", As::Self, "not a regular file", EISDIR},
        {"a folder that does not exist", "missing/new.dat", As::Self,
         "cannot create a temporary file", ENOENT},
        {"a read-only file", "old.dat", As::Nobody, "the file is read-only", EACCES},
        {"a write that fails halfway", "writable.dat", As::SmallFileLimit, "cannot write", EFBIG},
    };
    fs::create_directory(path("folder"));
    writeFile(path("old.dat"), "old contents", 0444);
    writeFile(path("writable.dat"), "old contents", 0644);
    if (::geteuid() == 0) {
        // The user nobody could replace the file through the folder if it were not for
        // the file's own permission bits.
        ASSERT_EQ(::chown(m_dir.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(::chown(path("old.dat").c_str(), kNobody, kNobody), 0);
    }
    const auto before = snapshot();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = *c.target ? path(c.target) : std::string();
        const Outcome outcome = writeInChild(target, std::string(1000, 'x'), c.as);
        EXPECT_FALSE(outcome.written);
        EXPECT_EQ(outcome.error, std::string(c.why) + ": " + std::strerror(c.err));
        if (c.as == As::Self) {
            EXPECT_FALSE(posix::WriteFileAtomically(target, "x")) << "without an error text";
        }
        EXPECT_EQ(snapshot(), before);
    }
}

} // namespace
