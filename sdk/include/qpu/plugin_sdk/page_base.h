// The page base of plug-in setting pages: a QWidget that fills the utility's page area,
// runs printer jobs on a worker thread behind the main window's progress dialog, and asks
// before unsaved changes are left behind.
#pragma once

#include <qpu/app_state.h>
#include <qpu/plugin_sdk/data_blocks.h>
#include <qpu/plugin_sdk/lang_texts.h>
#include <qpu/plugin_sdk/printer_link.h>

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace qpu::sdk {

// What FORMVIEWDLL_Initialize received.
struct PluginContext
{
    QWidget* mainFrame = nullptr; // receives the WM_USER messages of qpu/messages.h
    QWidget* pagePane = nullptr;  // parent of the page
    AppState* state = nullptr;

    // Start mode 4: no printer; pages edit the values that go to the settings and output
    // files.
    bool Offline() const { return state != nullptr && state->startMode == 4; }
    const CommLibTable* CommLib() const { return state ? state->commLib : nullptr; }
    pthread_mutex_t* AppLock() const { return state ? state->appLock : nullptr; }
    DataBlocks Blocks() const { return DataBlocks(state); }
};

// Results of RunJob besides the job's own.
inline constexpr int32_t kJobRefused = -25;      // no main window, or it refused the job
inline constexpr int32_t kJobPrinterBusy = -64;  // the printer is offline or silent
inline constexpr int32_t kJobThreadFailed = -24; // the worker could not be started

// Shared message boxes, captioned "QP-R60 Utility".
inline constexpr char kProductTitle[] = "QP-R60 Utility";
void ShowInfoMessage(QWidget* owner, const QString& text);
void ShowWarningMessage(QWidget* owner, const QString& text);
enum class SaveAnswer
{
    Save,    // Yes
    Discard, // No
    Cancel,
};
SaveAnswer AskSaveChanges(QWidget* owner, const QString& text);

// Handed to a job on the worker thread: progress in percent goes to the progress dialog.
class JobProgress
{
public:
    explicit JobProgress(void* progressWindow, void* progressEvent)
        : m_window(progressWindow), m_event(progressEvent)
    {}
    void Report(int percent);

private:
    void* m_window;
    void* m_event;
};

class PageBase : public QWidget
{
    Q_OBJECT
public:
    // The texts of PLUGIN_COMMON_MSG.
    static constexpr int kMsgChanged = 0;
    static constexpr int kMsgFailed = 1;
    static constexpr int kMsgSaveToPrinter = 2;

    // windowName: the page's own language sections; extraWindows: further sections it reads.
    PageBase(const PluginContext& context, const QString& windowName,
             const QStringList& extraWindows = {});
    ~PageBase() override;

    // Runs job on a worker thread while the main window shows its progress dialog; AppLock
    // is held for the whole job. Answers the job's result or a kJob* code. Call it on the
    // user-interface thread; the job must not touch widgets.
    using Job = std::function<int32_t(JobProgress&)>;
    int32_t RunJob(const Job& job);

    // Unsaved changes: the page asks before they are left behind.
    virtual bool HasUnsavedChanges() const { return false; }
    // Writes the changes (to the printer, or to the data block when offline); 1 on success.
    virtual int32_t SaveChanges() { return 1; }
    // Forgets the changes and shows the values of the data block again.
    virtual void DiscardChanges() { Reload(); }
    // Shows the values of the data block.
    virtual void Reload() {}

    // Leaving the page: 0 may leave, -5 stays (the user chose Cancel, or saving failed).
    int32_t AskBeforeLeaving();

    const PluginContext& Context() const { return m_context; }
    const LangTexts& Texts() const { return m_texts; }
    // Text n of the page's _STR / _MSG section, or the English fallback.
    QString Str(int number, const QString& english) const;
    QString Msg(int number, const QString& english) const;
    QString CommonMsg(int number, const QString& english) const;
    // Texts shared by every shipped page (window PLUGIN_PAGE): the button captions and notes.
    static constexpr int kPageTextChanged = 0;
    static constexpr int kPageTextApply = 1;
    static constexpr int kPageTextDefault = 2;
    static constexpr int kPageTextOfflineNote = 3;
    QString PageText(int number, const QString& english) const;
    // Text n of another loaded window's _STR section.
    QString WindowStr(const QString& window, int number, const QString& english) const
    {
        return m_texts.String(window, number, english);
    }

protected:
    // The standard frame of a page: title, description, body, buttons at the bottom right.
    void SetTitle(const QString& title, const QString& description);
    QVBoxLayout* Body() const { return m_body; }
    QPushButton* AddButton(const QString& text);
    void ShowChanged(bool changed);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FollowPane();

    PluginContext m_context;
    QString m_windowName;
    LangTexts m_texts;
    QLabel* m_title = nullptr;
    QLabel* m_description = nullptr;
    QLabel* m_changedNote = nullptr;
    QVBoxLayout* m_body = nullptr;
    QHBoxLayout* m_buttons = nullptr;
};

} // namespace qpu::sdk
