#include "program_run.h"

#include <QDeadlineTimer>
#include <QFile>

ProgramRun::ProgramRun(const QString& program, const QProcessEnvironment& environment,
                       const QString& hookPath)
    : m_hookPath(hookPath)
{
    m_process.setProgram(program);
    QProcessEnvironment env = environment;
    env.insert(QStringLiteral("QP60UTIL_TEST_HOOK"), hookPath);
    m_process.setProcessEnvironment(env);
}

ProgramRun::~ProgramRun()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ProgramRun::Start(const QStringList& arguments)
{
    QFile::remove(m_hookPath);
    if (!m_server.listen(m_hookPath))
        return false;
    m_process.setArguments(arguments);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return false;
    if (!m_server.waitForNewConnection(20000))
        return false;
    m_socket = m_server.nextPendingConnection();
    return WaitFor(QStringLiteral("hello"), {}, 5000).has_value();
}

ProgramRun::Line ProgramRun::Parse(const QString& raw)
{
    Line line;
    line.raw = raw;
    line.kind = raw.section(QLatin1Char(' '), 0, 0);
    line.id = raw.section(QLatin1Char(' '), 1, 1).toInt();
    line.rest = raw.section(QLatin1Char(' '), 2);
    return line;
}

std::optional<ProgramRun::Line> ProgramRun::NextLine(int timeoutMs)
{
    if (!m_unread.isEmpty())
        return m_unread.takeFirst();
    if (m_socket == nullptr)
        return std::nullopt;
    QDeadlineTimer deadline(timeoutMs);
    while (!m_socket->canReadLine()) {
        if (m_socket->state() != QLocalSocket::ConnectedState && m_socket->bytesAvailable() == 0)
            return std::nullopt;
        if (deadline.hasExpired())
            return std::nullopt;
        m_socket->waitForReadyRead(
            static_cast<int>(std::min<qint64>(deadline.remainingTime(), 100)));
    }
    const QString raw = QString::fromUtf8(m_socket->readLine()).chopped(1);
    m_log << raw;
    return Parse(raw);
}

std::optional<ProgramRun::Line> ProgramRun::WaitFor(const QString& kind, const QString& restPrefix,
                                                    int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QList<Line> skipped;
    std::optional<Line> found;
    while (!deadline.hasExpired()) {
        std::optional<Line> line = NextLine(static_cast<int>(deadline.remainingTime()));
        if (!line)
            break;
        if (line->kind == kind && line->rest.startsWith(restPrefix)) {
            found = line;
            break;
        }
        skipped << *line;
    }
    // Lines of other kinds stay readable for a later wait.
    m_unread = skipped + m_unread;
    return found;
}

std::optional<QString> ProgramRun::AnswerMessageBox(const QString& button, int timeoutMs)
{
    const std::optional<Line> box = WaitFor(QStringLiteral("msgbox"), {}, timeoutMs);
    if (!box)
        return std::nullopt;
    Send(QStringLiteral("click %1 %2").arg(box->id).arg(button));
    // The next command must not reach the program while the box is still up.
    WaitForHidden(box->id, timeoutMs);
    return Unescape(box->rest);
}

bool ProgramRun::WaitForHidden(int windowId, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QList<Line> skipped;
    bool found = false;
    while (!found && !deadline.hasExpired()) {
        std::optional<Line> line = NextLine(static_cast<int>(deadline.remainingTime()));
        if (!line)
            break;
        if (line->kind == QLatin1String("hidden") && line->id == windowId)
            found = true;
        else
            skipped << *line;
    }
    m_unread = skipped + m_unread;
    return found;
}

void ProgramRun::Send(const QString& command)
{
    if (m_socket == nullptr)
        return;
    m_socket->write(command.toUtf8() + '\n');
    m_socket->flush();
    m_socket->waitForBytesWritten(1000);
}

std::optional<QHash<int, QString>> ProgramRun::State(int windowId, int timeoutMs)
{
    Send(QStringLiteral("state %1").arg(windowId));
    const std::optional<Line> line = WaitFor(QStringLiteral("state"), {}, timeoutMs);
    if (!line)
        return std::nullopt;
    QHash<int, QString> fields;
    for (const QString& field : line->rest.split(QLatin1Char('\t'), Qt::SkipEmptyParts))
        fields.insert(field.section(QLatin1Char('='), 0, 0).toInt(),
                      Unescape(field.section(QLatin1Char('='), 1)));
    return fields;
}

std::optional<int> ProgramRun::WaitForExit(int timeoutMs)
{
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs)) {
        m_log << QStringLiteral("(still running after %1 ms)").arg(timeoutMs);
        return std::nullopt;
    }
    if (m_process.exitStatus() != QProcess::NormalExit) {
        m_log << QStringLiteral("(crashed: %1)")
                     .arg(QString::fromLocal8Bit(m_process.readAllStandardError()));
        return std::nullopt;
    }
    return m_process.exitCode();
}

QString ProgramRun::Unescape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch != QLatin1Char('\\') || i + 1 == text.size()) {
            out += ch;
            continue;
        }
        const QChar next = text.at(++i);
        out += next == QLatin1Char('n')   ? QChar(u'\n')
               : next == QLatin1Char('r') ? QChar(u'\r')
                                          : next;
    }
    return out;
}
