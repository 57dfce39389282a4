#pragma once
// Runs the built qp60ctl as a child process and collects what it printed.
//
// The child is started with fork and exec rather than QProcess: QProcess starts it with
// clone(CLONE_VM | CLONE_VFORK), which ThreadSanitizer cannot follow, and tests that then
// talk to a printer on the library's reader thread would show every lock-protected access
// as a race.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ctltest {

struct CtlRun
{
    int status = -1; // exit status; -1 when it crashed or did not end in time
    QString out;
    QString err;
    long long elapsedMs = 0;
    QStringList OutLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

inline QString CtlProgram()
{
    return QStringLiteral(QPU_APP_DIR "/qp60ctl");
}

namespace detail {

// This process's environment with the extra variables set over it, as "KEY=VALUE" lines.
inline std::vector<std::string> ChildEnvironment(const QProcessEnvironment& extra)
{
    std::vector<std::string> lines;
    const QStringList keys = extra.keys();
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string line(*entry);
        const QString key = QString::fromLocal8Bit(line.substr(0, line.find('=')));
        if (!keys.contains(key))
            lines.push_back(line);
    }
    for (const QString& key : keys)
        lines.push_back((key + QLatin1Char('=') + extra.value(key)).toStdString());
    return lines;
}

inline std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads both pipes until both are closed or the deadline passes; false on the deadline.
inline bool Drain(int outFd, int errFd, std::string* out, std::string* err,
                  std::chrono::steady_clock::time_point deadline)
{
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {out, err};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || ::poll(fds, 2, static_cast<int>(left)) < 0)
            return false;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0)
                sinks[i]->append(buffer, static_cast<size_t>(n));
            else
                fds[i].fd = -1;
        }
    }
    return true;
}

} // namespace detail

// Runs qp60ctl with arguments and the extra environment; gives up (status -1) after
// limitMs, which no run of these tests comes near.
inline CtlRun RunCtl(const QStringList& arguments,
                     const QProcessEnvironment& extra = QProcessEnvironment(), int limitMs = 60000)
{
    std::vector<std::string> args{CtlProgram().toStdString()};
    for (const QString& a : arguments)
        args.push_back(a.toStdString());
    std::vector<std::string> env = detail::ChildEnvironment(extra);
    std::vector<char*> argv = detail::Pointers(args);
    std::vector<char*> envp = detail::Pointers(env);

    CtlRun run;
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return run;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return run;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    std::string outText;
    std::string errText;
    bool ended = pid > 0 && detail::Drain(out[0], err[0], &outText, &errText,
                                          start + std::chrono::milliseconds(limitMs));
    ::close(out[0]);
    ::close(err[0]);
    if (pid > 0) {
        if (!ended)
            ::kill(pid, SIGKILL);
        int status = 0;
        ended = ::waitpid(pid, &status, 0) == pid && ended;
        if (ended && WIFEXITED(status))
            run.status = WEXITSTATUS(status);
    }
    run.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    run.out = QString::fromUtf8(outText);
    run.err = QString::fromUtf8(errText);
    return run;
}

} // namespace ctltest
