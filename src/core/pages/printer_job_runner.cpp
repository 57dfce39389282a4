#include "pages/printer_job_runner.h"

#include <qpu/messages.h>
#include <qpu/window_message.h>

#include <QCoreApplication>
#include <QEventLoop>

namespace {

constexpr int kStateOffline = 1;
constexpr int kStateWaitingForRecovery = 16;
constexpr int kStateUnknown = -1;
constexpr int kProgressShowDelayMs = 1;
constexpr int kWaitSliceMs = 10;

// Holds AppLock for a scope; a null lock holds nothing.
class AppLockHold
{
public:
    explicit AppLockHold(pthread_mutex_t* lock) : m_lock(lock)
    {
        if (m_lock != nullptr)
            pthread_mutex_lock(m_lock);
    }
    ~AppLockHold()
    {
        if (m_lock != nullptr)
            pthread_mutex_unlock(m_lock);
    }
    AppLockHold(const AppLockHold&) = delete;
    AppLockHold& operator=(const AppLockHold&) = delete;

private:
    pthread_mutex_t* m_lock;
};

// The progress dialog normally ends only with the worker. When it ended earlier, or was
// never run, the worker may still be running and may wait for this thread (a progress
// report, a message box), so its end is awaited with the events flowing.
void AwaitEnd(JobThread& thread)
{
    while (!thread.IsDone()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kWaitSliceMs);
        qpu_event_wait(thread.DoneEvent(), kWaitSliceMs);
    }
}

void ClearRecord(JobThreadRecord& record)
{
    record.thread.reset();
    record.progressEvent.reset();
    record.progressWindow = nullptr;
    record.threadId = 0;
    record.routine = nullptr;
}

} // namespace

bool JobForbiddenByState(int32_t state)
{
    return state == kStateOffline || state == kStateWaitingForRecovery || state == kStateUnknown;
}

int RunPrinterJob(void* mainWindow, pthread_mutex_t* appLock, JobThreadRecord& record,
                  std::function<int()> routine)
{
    if (mainWindow == nullptr)
        return kJobStartRefused;
    int32_t state = 0;
    qpu::SendWindowMessage(mainWindow, QPU_WM_STATUS_QUERY, reinterpret_cast<intptr_t>(&state), 0);
    if (JobForbiddenByState(state))
        return kJobPrinterBusy;

    const AppLockHold hold(appLock);
    // AppLock is recursive: a second job of this page started from within the first one's
    // dialog would get here too, and must not take over the record.
    if (record.thread)
        return kJobStartRefused;
    void* progressWindow =
        reinterpret_cast<void*>(qpu::SendWindowMessage(mainWindow, QPU_WM_CREATE_PROGRESS, 0, 0));
    if (progressWindow == nullptr)
        return kJobStartRefused;

    record.routine = std::move(routine);
    record.progressWindow = progressWindow;
    std::unique_ptr<JobThread> thread =
        record.threadFactory ? record.threadFactory() : std::make_unique<JobThread>();
    if (!thread || !thread->Create([&record] { return record.routine(); })) {
        ClearRecord(record);
        return kJobStartRefused;
    }
    record.threadId = thread->ThreadId();
    thread->SetBelowNormalPriority();
    record.progressEvent = std::make_unique<platform::ManualResetEvent>(false);
    record.thread = std::move(thread);
    JobThread& worker = *record.thread;
    if (worker.Resume() != 1)
        worker.Terminate(kJobNotRun);

    ProgressRequest request{};
    request.doneEvent = worker.DoneEvent();
    request.progressEvent = record.progressEvent->native();
    request.animationKind = QPU_PROGRESS_ANIMATION_TWO_WAY;
    request.showDelayMs = kProgressShowDelayMs;
    qpu::SendWindowMessage(mainWindow, QPU_WM_RUN_PROGRESS, reinterpret_cast<intptr_t>(&request),
                           0);
    AwaitEnd(worker);

    int result = kJobNotRun;
    if (!worker.ExitCode(&result))
        result = kJobNotRun;
    ClearRecord(record);
    return result;
}

void ReportProgress(int value, JobThreadRecord* record)
{
    if (record == nullptr || record->progressEvent == nullptr)
        return;
    qpu::SendWindowMessage(record->progressWindow, QPU_WM_PROGRESS_103, value, 0);
    record->progressEvent->set();
}
