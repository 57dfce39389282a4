#pragma once
// Runs the built qp60ctl as a child process and collects what it printed.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>

namespace ctltest {

struct CtlRun
{
    int status = -1; // exit status; -1 when it crashed or did not end in time
    QString out;
    QString err;
    long long elapsedMs = 0;
    QStringList OutLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

inline QString CtlProgram()
{
    return QStringLiteral(QPU_APP_DIR "/qp60ctl");
}

// Runs qp60ctl with arguments and the extra environment; gives up (status -1) after
// limitMs, which no run of these tests comes near.
inline CtlRun RunCtl(const QStringList& arguments,
                     const QProcessEnvironment& extra = QProcessEnvironment(), int limitMs = 60000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    process.setProcessEnvironment(env);
    const auto start = std::chrono::steady_clock::now();
    process.start(CtlProgram(), arguments);
    CtlRun run;
    if (!process.waitForFinished(limitMs)) {
        process.kill();
        process.waitForFinished();
    } else if (process.exitStatus() == QProcess::NormalExit) {
        run.status = process.exitCode();
    }
    run.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace ctltest
