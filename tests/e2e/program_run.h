#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// One run of the real program, driven through its test hook (QP60UTIL_TEST_HOOK): the
// program reports each window and message box as a line, and the test answers.
class ProgramRun
{
public:
    // A line the program sent: its kind ("shown", "msgbox", ...), the window id and the rest.
    struct Line
    {
        QString kind;
        int id = 0;
        QString rest;
        QString raw;
    };

    ProgramRun(const QString& program, const QProcessEnvironment& environment,
               const QString& hookPath);
    ~ProgramRun();

    // Starts the program and waits for its hook to connect ("hello").
    bool Start(const QStringList& arguments);
    // The next line of this kind whose rest begins with restPrefix; lines skipped on the way
    // are kept in Log(). nullopt when none came within timeoutMs or the program ended.
    std::optional<Line> WaitFor(const QString& kind, const QString& restPrefix = {},
                                int timeoutMs = 20000);
    // A message box: answers it with button, waits until it has gone and returns
    // "<icon> <title>\t<text>", unescaped.
    std::optional<QString> AnswerMessageBox(const QString& button, int timeoutMs = 20000);
    // Waits for the window to go; lines of other kinds stay readable.
    bool WaitForHidden(int windowId, int timeoutMs = 20000);
    void Send(const QString& command);
    // Asks for the texts of a window's controls; control ID -> text.
    std::optional<QHash<int, QString>> State(int windowId, int timeoutMs = 5000);
    // Waits until the process ends; its exit code, or nullopt on time-out.
    std::optional<int> WaitForExit(int timeoutMs = 20000);
    // Every line received so far.
    const QStringList& Log() const { return m_log; }
    qint64 Pid() const { return m_process.processId(); }
    QByteArray StandardError() { return m_process.readAllStandardError(); }

    static QString Unescape(const QString& text);

private:
    std::optional<Line> NextLine(int timeoutMs);
    static Line Parse(const QString& raw);

    QProcess m_process;
    QLocalServer m_server;
    QLocalSocket* m_socket = nullptr;
    QString m_hookPath;
    QStringList m_log;
    QList<Line> m_unread;
};
