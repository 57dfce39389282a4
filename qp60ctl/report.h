#pragma once

#include "cli.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

// What qp60ctl prints about a run over printers. With --json: one JSON object per printer
// and line, as each printer finishes, nothing else. Otherwise the results in the order the
// printers were named, failures on standard error; a terminal also gets a progress bar
// (standard error) and a summary table.
namespace qp60ctl {

struct ReportStreams
{
    FILE* out = stdout;
    FILE* err = stderr;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
};

class Report
{
public:
    Report(Command command, bool json, const QStringList& labels, const ReportStreams& streams);

    // One printer's result; index into the labels.
    void Finished(int index, QJsonObject result);
    // Prints what is left to print; the exit status: 0 when every printer succeeded, else 1.
    int Finish();

private:
    void PrintProgress();
    void PrintResults();
    void PrintSummary();
    QString Detail(const QJsonObject& result) const;

    Command m_command;
    bool m_json;
    QStringList m_labels;
    ReportStreams m_streams;
    QList<QJsonObject> m_results;
    int m_done = 0;
    bool m_progressShown = false;
};

// Writes text and a line end to stream, as UTF-8, and flushes it.
void PrintLine(FILE* stream, const QString& text);

// One JSON object as one line.
QByteArray JsonLine(const QJsonObject& object);

} // namespace qp60ctl
