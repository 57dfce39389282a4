#include "platform/activation_channel.h"
#include "platform/single_instance_lock.h"

#include "env_guard.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace platform;

namespace {

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// A child process running the instance helper; killed when the object goes.
class Helper
{
public:
    explicit Helper(const char* mode, bool captureOutput = false)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (captureOutput) {
            if (::pipe(m_pipe) != 0)
                ADD_FAILURE() << "pipe";
            posix_spawn_file_actions_adddup2(&actions, m_pipe[1], STDOUT_FILENO);
            posix_spawn_file_actions_addclose(&actions, m_pipe[0]);
        }
        char path[] = QPU_INSTANCE_HELPER;
        char* argv[] = {path, const_cast<char*>(mode), nullptr};
        if (::posix_spawn(&m_pid, path, &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (captureOutput)
            ::close(m_pipe[1]);
    }
    ~Helper()
    {
        if (m_pid > 0 && !m_exited) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_pipe[0] >= 0)
            ::close(m_pipe[0]);
    }

    // Runs the event loop until the child ends; its exit code, or -1 on time-out.
    int exitCode(int timeoutMs = 10000)
    {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exited = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            ::usleep(2000);
        }
        return -1;
    }

    std::string readLine()
    {
        std::string line;
        char c = 0;
        while (::read(m_pipe[0], &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    void kill()
    {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_exited = true;
    }

private:
    pid_t m_pid = -1;
    bool m_exited = false;
    int m_pipe[2] = {-1, -1};
};

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override { application(); }

    QTemporaryDir m_runtime;
    EnvGuard m_env{"XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit().constData()};
};

TEST_F(SingleInstanceTest, LockFileLiesInTheRuntimeFolder)
{
    SingleInstanceLock lock;
    EXPECT_TRUE(lock.acquired());
    EXPECT_EQ(lock.path(), m_runtime.filePath("QP-R60_UTILITY"));
    EXPECT_TRUE(QFile::exists(lock.path()));
}

TEST_F(SingleInstanceTest, SecondCopyIsRefusedAndItsRequestReachesTheFirst)
{
    SingleInstanceLock lock;
    ASSERT_TRUE(lock.acquired());
    ActivationServer server;
    ASSERT_TRUE(server.listen()) << server.errorString().toStdString();
    EXPECT_EQ(server.path(), m_runtime.filePath("QP-R60_UTILITY_QP-R60"));
    int raised = 0;
    QObject::connect(&server, &ActivationServer::activationRequested, [&] { ++raised; });

    Helper second("try");
    EXPECT_EQ(second.exitCode(), 3);
    EXPECT_EQ(raised, 1);
    Helper third("try");
    EXPECT_EQ(third.exitCode(), 3);
    EXPECT_EQ(raised, 2);
}

TEST_F(SingleInstanceTest, SecondCopyEndsWhenNoWindowListens)
{
    SingleInstanceLock lock;
    ASSERT_TRUE(lock.acquired());
    Helper second("try");
    EXPECT_EQ(second.exitCode(), 4);
}

TEST_F(SingleInstanceTest, LockIsFreeAgainOnceTheHolderEnds)
{
    {
        SingleInstanceLock lock;
        ASSERT_TRUE(lock.acquired());
        SingleInstanceLock again; // a second lock in the same process is refused too
        EXPECT_EQ(again.state(), SingleInstanceLock::State::AlreadyRunning);
    }
    Helper next("try");
    EXPECT_EQ(next.exitCode(), 0);
}

TEST_F(SingleInstanceTest, CrashedHolderDoesNotBlockTheNextStart)
{
    Helper holder("hold", true);
    ASSERT_EQ(holder.readLine(), "locked");
    EXPECT_EQ(SingleInstanceLock().state(), SingleInstanceLock::State::AlreadyRunning);
    holder.kill();
    EXPECT_TRUE(SingleInstanceLock().acquired());
}

TEST_F(SingleInstanceTest, MissingRuntimeFolderFails)
{
    EnvGuard env("XDG_RUNTIME_DIR", m_runtime.filePath("gone").toLocal8Bit().constData());
    SingleInstanceLock lock;
    EXPECT_EQ(lock.state(), SingleInstanceLock::State::Failed);
    EXPECT_FALSE(lock.error().isEmpty());
    EXPECT_FALSE(RequestActivation(QString::fromLatin1(kActivationChannelName), 200));
}

TEST_F(SingleInstanceTest, LeftoverSocketIsReplacedButALiveOneIsNot)
{
    {
        // A socket file whose owner is gone.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(m_runtime.filePath("QP-R60_UTILITY_QP-R60"));
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
    }
    ActivationServer first;
    ASSERT_TRUE(first.listen()) << first.errorString().toStdString();
    ActivationServer second;
    EXPECT_FALSE(second.listen());
    first.close();
    EXPECT_FALSE(QFile::exists(m_runtime.filePath("QP-R60_UTILITY_QP-R60")));
    EXPECT_TRUE(second.listen()); // the next window takes the channel over
}

// A second copy that connects and says nothing must not hold up the next one.
TEST_F(SingleInstanceTest, SilentConnectionDoesNotBlockARequest)
{
    ActivationServer server;
    ASSERT_TRUE(server.listen());
    int raised = 0;
    QObject::connect(&server, &ActivationServer::activationRequested, [&] { ++raised; });
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(server.path());
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    std::atomic<int> confirmed{-1};
    std::thread asker([&] { confirmed = RequestActivation() ? 1 : 0; });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (confirmed < 0 && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    asker.join();
    ::close(silent);
    EXPECT_EQ(confirmed.load(), 1);
    EXPECT_EQ(raised, 1);
}

TEST_F(SingleInstanceTest, GarbageOnTheChannelDoesNotRaiseTheWindow)
{
    ActivationServer server;
    ASSERT_TRUE(server.listen());
    int raised = 0;
    QObject::connect(&server, &ActivationServer::activationRequested, [&] { ++raised; });
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(server.path());
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::send(fd, "HELLO\n", 6, MSG_NOSIGNAL), 6);
    char answer[8] = {};
    for (int i = 0; i < 100; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ::usleep(2000);
    }
    EXPECT_EQ(::recv(fd, answer, sizeof(answer), MSG_DONTWAIT), 0); // closed, no answer
    ::close(fd);
    EXPECT_EQ(raised, 0);
}

} // namespace
