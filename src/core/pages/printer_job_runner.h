#pragma once

#include "pages/job_thread.h"

#include <pthread.h>
#include <sys/types.h>

#include <functional>
#include <memory>

// Failure results of RunPrinterJob.
inline constexpr int kJobNotRun = -24;       // not resumed, or no exit code
inline constexpr int kJobStartRefused = -25; // no main window, start refused, no thread
inline constexpr int kJobPrinterBusy = -64;  // the communication state forbids a job

// The states of the communication state query (WM_USER+201) that forbid a job: offline (1
// and 16) and unknown (-1).
bool JobForbiddenByState(int32_t state);

// What a page keeps about its running job. The routine runs on the worker; the progress
// window (the progress dialog) receives WM_USER+103 with every report, after which the
// progress event is set. Everything is set up and cleared by RunPrinterJob.
struct JobThreadRecord
{
    std::function<int()> routine;
    pid_t threadId = 0;
    std::unique_ptr<JobThread> thread;
    std::unique_ptr<platform::ManualResetEvent> progressEvent;
    void* progressWindow = nullptr;
    // Makes the worker thread object; empty: a JobThread. Tests hand in threads that fail.
    std::function<std::unique_ptr<JobThread>()> threadFactory;
};

// Runs routine on a worker thread below normal priority while the main window runs the
// modal progress dialog:
//   - no main window: -25;
//   - the main window's communication state (WM_USER+201) is 1, 16 or -1: -64;
//   - appLock (may be null) is held from here to the end, so one job runs at a time;
//   - the main window creates the progress dialog (WM_USER+100); none, or a job of this
//     record still running: -25;
//   - the thread cannot be created: -25; a thread that cannot be resumed ends with -24;
//   - the main window runs the dialog (WM_USER+101 with a ProgressRequest: the thread's
//     done event, the progress event, animation 2, show delay 1 ms) until the thread ends.
// Answers the routine's result. Must be called on the main window's thread.
int RunPrinterJob(void* mainWindow, pthread_mutex_t* appLock, JobThreadRecord& record,
                  std::function<int()> routine);

// Called by the routine on the worker: sends WM_USER+103 with value to the record's
// progress window, then sets the progress event. Harmless without a running job.
void ReportProgress(int value, JobThreadRecord* record);
