#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

// The window that stands on the screen while start-up opens a printer named on the command
// line: the main window's size, no title, the wait cursor, centred. Start-up closes it
// (Close) before every message box and before it shows the main window; otherwise it
// closes itself once its time-out has passed and the main window exists, checking again
// every 100 ms until then.
class CSplashWnd : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 796;
    static constexpr int kHeight = 523;
    static constexpr int kPictureId = 144;
    static constexpr int kNoTimeout = -1;
    static constexpr int kRecheckMs = 100;
    // Flag bits: a key or mouse press closes the window; close at the time-out even when
    // the main window does not exist yet.
    static constexpr quint16 kCloseOnInput = 0x0001;
    static constexpr quint16 kIgnoreMainWindow = 0x0004;

    // mainWindow tells whether the application's main window exists, and gives it.
    CSplashWnd(int pictureId, int timeoutMs, quint16 flags, std::function<QWidget*()> mainWindow);
    ~CSplashWnd() override;

    int PictureId() const { return m_pictureId; }
    int TimeoutMs() const { return m_timeoutMs; }
    bool TimerActive() const { return m_timer.isActive(); }
    int TimerIntervalMs() const { return m_timer.interval(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnTimer();

    int m_pictureId;
    int m_timeoutMs;
    quint16 m_flags;
    std::function<QWidget*()> m_mainWindow;
    QTimer m_timer;
};

// Runs work, which blocks in library calls, on a worker thread while this thread goes on
// processing its events (input excepted), so that the splash stays painted; returns when
// work has ended.
void RunWhileSplashResponds(const std::function<void()>& work);

// The splash as start-up holds it. The application keeps a pointer to it in its splash
// field; the object clears that field when it goes, whether start-up closed the window,
// the window closed itself, or shutdown deleted the object.
//
// Qt lets widgets live on one thread only, so the window lives on the user-interface
// thread, and start-up runs its blocking library calls on a worker thread meanwhile
// (RunBehindSplash) so that the window stays painted and responsive.
class CSplash : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTimeoutMs = 10000;

    // Shows the window at once. ownerSlot is the application's splash field: set here and
    // cleared when the object is destroyed.
    CSplash(CSplash** ownerSlot, std::function<QWidget*()> mainWindow, QObject* parent = nullptr);
    ~CSplash() override;

    // Posts a close to the window, when it still exists.
    void Close();
    // Closes the window now: before a message box, which must not appear behind it.
    void CloseNow();
    CSplashWnd* Window() const { return m_window; }

private:
    CSplash** m_ownerSlot;
    QPointer<CSplashWnd> m_window;
};
