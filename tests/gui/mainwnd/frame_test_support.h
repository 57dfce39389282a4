#pragma once

#include "mainwnd/main_frame.h"

#include <qpu/comm_lib.h>
#include <qpu/window_message.h>

#include <QThread>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// A view for the status pane that records every window message it receives, with the
// thread it arrived on, and answers each with kAnswer.
class RecordingView : public QWidget, public IFrameStatusView
{
public:
    static constexpr intptr_t kAnswer = 77;

    struct Received
    {
        int message = 0;
        intptr_t wParam = 0;
        intptr_t lParam = 0;
        QThread* thread = nullptr;
    };

    explicit RecordingView(QWidget* parent = nullptr) : QWidget(parent) {}

    std::vector<Received> received;
    std::vector<QSize> sizesReceived; // WM_SIZE
    // IFrameStatusView calls, in order.
    std::vector<std::string> calls;
    const MenuItemList* entries = nullptr;
    CommLibTable* commLib = nullptr;
    std::function<bool()> jobRunning; // what the frame handed the view

    void SetEntryList(const MenuItemList* list) override
    {
        calls.emplace_back("SetEntryList");
        entries = list;
    }
    void ShowCurrentStatus() override { calls.emplace_back("ShowCurrentStatus"); }
    void StartWithPrinterReady() override { calls.emplace_back("StartWithPrinterReady"); }
    void SetCommLib(CommLibTable* table) override
    {
        calls.emplace_back("SetCommLib");
        commLib = table;
    }
    void SetPrinterJobQuery(std::function<bool()> running) override
    {
        jobRunning = std::move(running);
    }

protected:
    bool event(QEvent* event) override
    {
        if (auto* message = qpu::WindowMessageEvent::From(event)) {
            received.push_back({message->message(), message->wParam(), message->lParam(),
                                QThread::currentThread()});
            if (message->message() == QPU_WM_SIZE)
                sizesReceived.emplace_back(qpu::SizeParamWidth(message->lParam()),
                                           qpu::SizeParamHeight(message->lParam()));
            message->setResult(kAnswer);
            return true;
        }
        return QWidget::event(event);
    }
};

// A bound communication library of which the frame uses three entry points; counts the
// calls and keeps the registered status procedure.
struct FakeCommLib
{
    FakeCommLib();
    ~FakeCommLib();

    CommLibTable table{};
    static inline std::mutex mutex;
    static inline std::atomic<int> registerCalls{0};
    static inline std::atomic<int> unregisterCalls{0};
    static inline std::atomic<int> initializeCalls{0};
    static inline QPC_StatusProc proc = nullptr;
    static inline void* context = nullptr;
    // Calls in order: 'R' register, 'U' unregister, 'I' initialise.
    static inline std::string order;
};
