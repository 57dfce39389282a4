#include "job_pool.h"

#include <QByteArray>
#include <QJsonDocument>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <list>
#include <string>
#include <vector>

extern char** environ;

namespace qp60ctl {

namespace {

using Clock = std::chrono::steady_clock;

// Keeps at most this much of a worker's diagnostics, for the report of a worker that died.
constexpr qsizetype kMaxDiagnosticBytes = 4096;

struct Pipe
{
    int read = -1;
    int write = -1;
    bool Open()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    void CloseRead()
    {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    void CloseWrite()
    {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
};

struct Worker
{
    int index = -1;
    pid_t pid = -1;
    Pipe out;
    Pipe err;
    QByteArray output;
    QByteArray diagnostics;
    Clock::time_point deadline;
    bool killed = false;
    Worker() = default;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker()
    {
        out.CloseRead();
        out.CloseWrite();
        err.CloseRead();
        err.CloseWrite();
    }
};

// The environment of a worker: this process's, with the answer time-out for the library.
std::vector<std::string> WorkerEnvironment(int timeoutMs)
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::string_view(*entry).rfind("QPCOMM_TIMEOUT_MS=", 0) != 0)
            env.emplace_back(*entry);
    env.push_back("QPCOMM_TIMEOUT_MS=" + std::to_string(timeoutMs));
    return env;
}

// True when this process runs one thread only: then a worker may be a plain fork() of
// it, which costs a fraction of starting the program again.
bool SingleThreaded()
{
    std::error_code error;
    const auto tasks = std::filesystem::directory_iterator("/proc/self/task", error);
    return !error && std::distance(tasks, std::filesystem::directory_iterator()) == 1;
}

// The worker as a fork of this process: it runs the job and ends with _exit, so nothing
// of the parent's state is torn down twice.
bool Fork(const PoolJob& job, Worker* worker)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        ::dup2(worker->out.write, STDOUT_FILENO);
        ::dup2(worker->err.write, STDERR_FILENO);
        ::close_range(3, ~0u, 0);
        const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (devNull >= 0)
            ::dup2(devNull, STDIN_FILENO);
        ::setenv("QPCOMM_TIMEOUT_MS", std::to_string(job.request.timeoutMs).c_str(), 1);
        ::_exit(RunWorkerJob(job.request));
    }
    worker->pid = pid;
    return true;
}

// The worker as a new run of this program with the request on its command line.
bool Exec(const std::string& program, const PoolJob& job, Worker* worker)
{
    const std::string request =
        QJsonDocument(job.request.ToJson()).toJson(QJsonDocument::Compact).toStdString();
    std::vector<std::string> env = WorkerEnvironment(job.request.timeoutMs);
    std::vector<char*> argv = {const_cast<char*>("qp60ctl"), const_cast<char*>("--worker"),
                               const_cast<char*>(request.c_str()), nullptr};
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, worker->out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, worker->err.write, STDERR_FILENO);
    const int rc =
        ::posix_spawn(&worker->pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        errno = rc; // posix_spawn returns its error instead of setting errno
        return false;
    }
    return true;
}

bool Spawn(const std::string& program, bool forkable, const PoolJob& job, Worker* worker)
{
    if (!worker->out.Open() || !worker->err.Open())
        return false;
    const bool started = forkable ? Fork(job, worker) : Exec(program, job, worker);
    const int cause = errno;
    worker->out.CloseWrite();
    worker->err.CloseWrite();
    if (!started) {
        worker->pid = -1;
        errno = cause;
        return false;
    }
    worker->deadline = Clock::now() + std::chrono::milliseconds(job.deadlineMs);
    for (const int fd : {worker->out.read, worker->err.read})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return true;
}

// Reads what is there; false at the end of the stream.
bool Drain(int fd, QByteArray* into, qsizetype limit)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            if (into->size() < limit)
                into->append(buffer, std::min<qsizetype>(n, limit - into->size()));
            continue;
        }
        if (n == 0)
            return false;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

QJsonObject ResultOf(Worker& worker, int status, int deadlineMs)
{
    if (worker.killed)
        return FailureObject(
            QStringLiteral("timeout"),
            QStringLiteral("The printer did not finish within %1 ms; its job was stopped.")
                .arg(deadlineMs));
    const QByteArray line = worker.output.trimmed().split('\n').last();
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (document.isObject())
        return document.object();
    QString why = WIFSIGNALED(status) ? QStringLiteral("ended by signal %1").arg(WTERMSIG(status))
                                      : QStringLiteral("exit status %1").arg(WEXITSTATUS(status));
    const QString diagnostics = QString::fromLocal8Bit(worker.diagnostics).trimmed();
    if (!diagnostics.isEmpty())
        why += QStringLiteral(": ") + diagnostics.split(QLatin1Char('\n')).last();
    return FailureObject(QStringLiteral("worker-failed"),
                         QStringLiteral("The worker process gave no result (%1).").arg(why));
}

} // namespace

JobPool::JobPool(int parallel, Finished finished)
    : m_parallel(std::max(1, parallel)), m_finished(std::move(finished)),
      m_program(QStringLiteral("/proc/self/exe"))
{}

void JobPool::Run(const QList<PoolJob>& jobs)
{
    const std::string program = m_program.toStdString();
    const bool forkable = m_forkAllowed && SingleThreaded();
    std::list<Worker> running;
    int next = 0;
    while (next < jobs.size() || !running.empty()) {
        while (next < jobs.size() && int(running.size()) < m_parallel) {
            Worker& worker = running.emplace_back();
            worker.index = next++;
            if (!Spawn(program, forkable, jobs[worker.index], &worker)) {
                m_finished(worker.index,
                           FailureObject(QStringLiteral("worker-failed"),
                                         QStringLiteral("No worker process could be started: %1")
                                             .arg(QString::fromLocal8Bit(std::strerror(errno)))));
                running.pop_back();
            }
        }
        std::vector<pollfd> fds;
        auto nearest = Clock::time_point::max();
        for (const Worker& worker : running) {
            for (const int fd : {worker.out.read, worker.err.read})
                if (fd >= 0)
                    fds.push_back({fd, POLLIN, 0});
            nearest = std::min(nearest, worker.deadline);
        }
        if (running.empty())
            continue;
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now());
        ::poll(fds.data(), fds.size(), int(std::clamp<long long>(wait.count() + 1, 0, 1000)));
        const auto now = Clock::now();
        for (auto it = running.begin(); it != running.end();) {
            Worker& worker = *it;
            if (worker.out.read >= 0 && !Drain(worker.out.read, &worker.output, 1 << 24))
                worker.out.CloseRead();
            if (worker.err.read >= 0 &&
                !Drain(worker.err.read, &worker.diagnostics, kMaxDiagnosticBytes))
                worker.err.CloseRead();
            const bool ended = worker.out.read < 0 && worker.err.read < 0;
            if (!ended && now >= worker.deadline) {
                ::kill(worker.pid, SIGKILL);
                worker.killed = true;
            } else if (!ended) {
                ++it;
                continue;
            }
            int status = 0;
            while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
            }
            m_finished(worker.index, ResultOf(worker, status, jobs[worker.index].deadlineMs));
            it = running.erase(it);
        }
    }
}

namespace {

void WriteResult(const QJsonObject& result)
{
    const QByteArray line = QJsonDocument(result).toJson(QJsonDocument::Compact) + '\n';
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t n =
            ::write(STDOUT_FILENO, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

} // namespace

int RunWorkerJob(const JobRequest& request)
{
    // A worker never outlives the process that waits for its result.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1)
        return 1;
    WriteResult(RunJob(request));
    return 0;
}

int RunWorker(const QString& requestJson)
{
    JobRequest request;
    const QJsonDocument document = QJsonDocument::fromJson(requestJson.toUtf8());
    if (!document.isObject() || !JobRequest::FromJson(document.object(), &request)) {
        WriteResult(
            FailureObject(QStringLiteral("usage"), QStringLiteral("malformed worker request")));
        return 0;
    }
    return RunWorkerJob(request);
}

} // namespace qp60ctl
