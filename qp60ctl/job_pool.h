#pragma once

#include "printer_job.h"

#include <QJsonObject>
#include <QList>

#include <functional>

// Runs jobs on many printers at once, each in a worker process of its own: the
// communication library holds one open port per process, and a printer that never answers
// or answers garbage can only hold up its own worker. At most `parallel` workers run at a
// time; a worker still running at its deadline is killed and its printer reported as not
// answering in time.
namespace qp60ctl {

struct PoolJob
{
    JobRequest request;
    int deadlineMs = 0;
};

class JobPool
{
public:
    // finished(index, result) is called in the calling thread as each job ends.
    using Finished = std::function<void(int index, const QJsonObject& result)>;

    JobPool(int parallel, Finished finished);

    // A worker is a fork of this process while it runs a single thread (the communication
    // library not loaded); otherwise, or when forking is not allowed, this executable is
    // started again with "--worker REQUEST".
    void SetWorkerProgram(const QString& path) { m_program = path; }
    void AllowFork(bool allowed) { m_forkAllowed = allowed; }

    // Runs every job; returns when all have ended.
    void Run(const QList<PoolJob>& jobs);

private:
    int m_parallel;
    Finished m_finished;
    QString m_program;
    bool m_forkAllowed = true;
};

// The worker's side: runs the request given as JSON text and writes the result as one
// JSON line to standard output. Returns the worker's exit status.
int RunWorker(const QString& requestJson);
// The same for a request at hand (a forked worker).
int RunWorkerJob(const JobRequest& request);

} // namespace qp60ctl
