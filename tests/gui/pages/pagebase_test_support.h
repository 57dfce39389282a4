// Helpers of the page-base tests: one QApplication, a stand-in main frame that runs the
// progress request like the real one, a watcher that answers message boxes, and an
// AppState with its data manager, lock and language folder.
#pragma once

#include "pages/plugin_data_mgr.h"
#include "platform/app_lock.h"

#include <qpu/app_state.h>
#include <qpu/window_message.h>

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace pagebase_test {

// Receives WM_USER+103 like the progress dialog: keeps every value and the thread that
// handled it.
class ProgressRecorder : public QWidget
{
public:
    explicit ProgressRecorder(QWidget* parent) : QWidget(parent) {}
    std::vector<int> values;
    bool allOnOwnThread = true;

protected:
    bool event(QEvent* event) override;
};

// The main frame as the job runner sees it: answers the state query, creates a progress
// window and runs the request until the done event is set.
class FakeFrame : public QWidget
{
public:
    FakeFrame();

    int32_t state = 0;            // answer of WM_USER+201
    bool refuseStart = false;     // WM_USER+100 answers 0
    bool endDialogAtOnce = false; // WM_USER+101 returns before the job ends
    int stateQueries = 0;
    int startRequests = 0;
    int refreshPosts = 0;
    int closeRequests = 0;
    ProgressRequest lastRequest{};
    bool doneWhenDialogEnded = false;
    int progressSignals = 0; // times the progress event was found set and reset
    QPointer<ProgressRecorder> progress;
    // Values reported during the last job, kept after the progress window is gone.
    std::vector<int> reported;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void RunRequest(const ProgressRequest& request);
};

// Answers every message box that comes up (QMessageBox::Ok, or the button set) and keeps
// its title, text, icon and owner.
class MessageBoxWatcher : public QObject
{
public:
    struct Box
    {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QWidget* owner = nullptr; // may be gone by the time the test looks
        QString ownerClass;       // the owner's class name while the box was up
    };

    explicit MessageBoxWatcher(QMessageBox::StandardButton answer = QMessageBox::Ok);
    std::vector<Box> boxes;

private:
    void Poll();
    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
};

// An AppState with a data manager, an AppLock and a program folder, and a temporary
// language folder.
struct AppFixture
{
    AppFixture();
    // Writes folder/<id>.DAT with the given text (8-bit).
    void WriteLanguageFile(const QString& name, const QByteArray& text);

    QTemporaryDir dir;
    QString languageFolder;
    PluginDataMgr dataMgr;
    platform::AppLock lock;
    std::unique_ptr<AppState> state;
};

// The English language file of the tests: the page's three messages and a common text.
QByteArray EnglishLanguageFile();

// Runs fn on another thread and waits for it.
template <typename Fn> auto OnOtherThread(Fn fn)
{
    decltype(fn()) result{};
    std::thread worker([&] { result = fn(); });
    worker.join();
    return result;
}

} // namespace pagebase_test
