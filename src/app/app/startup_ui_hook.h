#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

class QLocalSocket;

// The test hook through which an end-to-end test drives the running program instead of a
// person (see startup_test_hooks.h; only in the test build of the program). It connects to
// the local socket that QP60UTIL_TEST_HOOK names and speaks one line per message, UTF-8,
// with '\' and line breaks in texts escaped as "\\" and "\n".
//
// The program reports every top-level window as it appears and goes:
//   shown <id> <class> <title>
//   msgbox <id> <icon> <title>\t<text>      a message box (icon: warning, question, ...)
//   owner <id> <class>                      right after msgbox: the class of the box's
//                                           owner window, or "none"
//   hidden <id> <class>
//   listening <id>                          the window's activation channel is open
//   activated <id>                          a second copy asked the window to the front
// and answers commands:
//   click <id> <button>      a message box's button (yes, no, ok, cancel) or a window's
//                            push button by control ID or text
//   close <id>               closes the window
//   grab <id> <file>         saves a picture of the window; answers "grabbed <id>"
//   state <id>               answers "state <id> <property>=<value> ..." with the
//                            window's dynamic properties of the status and menu views
//   menu <id> <row or text>  selects a row of the window's menu view (a row number from 0
//                            or the row's text) with a left-button press and release on
//                            it, as a person would; answers "menu <id> <row>" or an error
//   set <id> <name> <value>  sets the control with that objectName in the window (names
//                            joined by '/' look below each other: "Page/apply"): a combo
//                            box's item by item data (or index, as "#<index>"), a check
//                            box's or button's checked state (0 or 1); answers
//                            "set <id> <name>" or an error
//   get <id> <name>          answers "value <id> <name> <value>": a combo box's current
//                            item data, a check box's or button's checked state (0 or 1)
//   press <id> <name>        clicks the push button with that objectName; answers
//                            "pressed <id> <name>" (queued: a modal loop it opens comes
//                            after the answer) or an error
//   size <id>                answers "size <id> <width> <height>" of the window
//   resize <id> <w> <h>      resizes the window as a person would; answers with its size
class StartupUiHook : public QObject
{
    Q_OBJECT

public:
    // Connects when QP60UTIL_TEST_HOOK is set and the build honours it; otherwise
    // returns null.
    static StartupUiHook* Install(QObject* parent);
    ~StartupUiHook() override;

    static QString Escape(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit StartupUiHook(QLocalSocket* socket, QObject* parent);
    void Send(const QString& line);
    void OnReadyRead();
    void RunCommand(const QString& line);
    void Click(QWidget* window, const QString& button);
    void ReportState(int id, QWidget* window);
    void SelectMenuRow(int id, QWidget* window, const QString& row);
    void SetControl(int id, QWidget* window, const QString& argument);
    void ReportControl(int id, QWidget* window, const QString& name);
    void PressControl(int id, QWidget* window, const QString& name);
    void ReportSize(int id, QWidget* window);
    int IdOf(QWidget* window);
    void WatchActivation(QWidget* window);

    QLocalSocket* m_socket; // child
    QHash<int, QPointer<QWidget>> m_windows;
    QHash<QWidget*, int> m_ids;
    QSet<QObject*> m_watchedServers;
    int m_nextId = 1;
};
