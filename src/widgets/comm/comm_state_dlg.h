#pragma once

#include <qpu/sync.h>

#include <QBasicTimer>
#include <QDialog>
#include <QElapsedTimer>

class QProgressBar;
class CCommAnimation;

// The modal dialog behind which a printer job runs: a looping animation of the PC talking
// to the printer and a progress bar. The main frame creates it hidden and runs it; the job
// runner's worker reports progress with WM_USER+103 and its progress event, and sets the
// done event when it ends.
//
// The dialog becomes visible only after the show delay, so a job that ends earlier never
// shows it; once shown it stays at least about a second, so that it does not flash. It
// polls the two events every 500 ms on the user-interface thread, moves the bar only
// forwards, and closes itself when the job is done. Enter and Escape do not close it, and
// neither does a close request of the user while the job runs.
class CCommStateDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kTemplateId = 146;
    static constexpr int kAnimationId = 1028;
    static constexpr int kProgressId = 1029;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;
    // The two animation clips: data flowing to the printer, and both ways.
    static constexpr int kClipOneWay = 148;
    static constexpr int kClipTwoWay = 149;
    static constexpr int kPollIntervalMs = 500;
    // Shortest time the dialog stays visible once it was shown.
    static constexpr int kMinimumShownMs = 1000;

    explicit CCommStateDlg(QWidget* parent = nullptr);
    ~CCommStateDlg() override;

    // The job's events (owned by the job runner, alive until the dialog ends), the clip to
    // play (kClipOneWay or kClipTwoWay) and the show delay in milliseconds.
    void SetJob(QpuEvent* doneEvent, QpuEvent* progressEvent, int animationResource,
                int showDelayMs);

    // WM_USER+102: starts the show timer and the poll timer.
    void StartTimers();
    // WM_USER+103: stores a position that is not below the stored one and answers 0;
    // answers -1 and keeps the stored position otherwise. The bar shows it at the next poll.
    int SetPosition(int position);

    int Position() const { return m_position; }
    int AnimationResource() const { return m_animationResource; }
    int ShowDelayMs() const { return m_showDelayMs; }
    // Whether the show timer has shown the dialog.
    bool WasShown() const { return m_shownAt.isValid(); }
    // Milliseconds the dialog has been visible so far (or was, once it ended); 0 if never.
    qint64 ShownMs() const;
    // The position that the bar shows.
    int BarValue() const;
    // Whether the animation is playing.
    bool IsAnimating() const;

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnShowTimer();
    void OnPollTimer();
    void OnJobDone();
    void Finish();
    void CenterOnOwner();

    CCommAnimation* m_animation = nullptr;
    QProgressBar* m_progress = nullptr;
    QBasicTimer m_showTimer;
    QBasicTimer m_pollTimer;
    QBasicTimer m_closeTimer; // keeps a dialog that was just shown up a little longer
    QpuEvent* m_doneEvent = nullptr;
    QpuEvent* m_progressEvent = nullptr;
    int m_animationResource = kClipOneWay;
    int m_showDelayMs = 0;
    int m_position = 0;
    QElapsedTimer m_shownAt;
    qint64 m_shownMs = -1; // visible time, fixed when the dialog ends
    bool m_finished = false;
};
