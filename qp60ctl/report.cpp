#include "report.h"

#include "setting_names.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <tuple>

namespace qp60ctl {

namespace {

constexpr int kBarWidth = 30;

QString ValueText(const QJsonValue& value)
{
    if (value.isString())
        return value.toString();
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.isDouble())
        return QString::number(value.toInteger());
    return QStringLiteral("-");
}

bool Succeeded(const QJsonObject& result)
{
    return result.value(QStringLiteral("ok")).toBool();
}

QString ErrorText(const QJsonObject& result)
{
    return result.value(QStringLiteral("error"))
        .toObject()
        .value(QStringLiteral("text"))
        .toString();
}

// Rows of cells as aligned columns.
QStringList Table(const QList<QStringList>& rows)
{
    QList<qsizetype> widths;
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], row[i].size());
        }
    QStringList lines;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        lines.append(line);
    }
    return lines;
}

// Settings in the order --help lists them: density, speed, memory switches, customized
// values, each by number.
bool SettingOrder(const QString& a, const QString& b)
{
    const auto key = [](const QString& text) {
        const auto name = ParseSettingName(text);
        return name ? std::tuple(int(name->kind == SettingName::Kind::SwitchBit
                                         ? SettingName::Kind::Switch
                                         : name->kind),
                                 name->number, name->bit)
                    : std::tuple(99, 0, 0);
    };
    return key(a) < key(b);
}

QString ValuesText(const QJsonObject& result, const QString& separator)
{
    const QJsonObject values = result.value(QStringLiteral("values")).toObject();
    QStringList keys = values.keys();
    std::stable_sort(keys.begin(), keys.end(), SettingOrder);
    QStringList parts;
    for (const QString& key : keys)
        parts.append(key + QLatin1Char('=') + ValueText(values.value(key)));
    return parts.join(separator);
}

} // namespace

QByteArray JsonLine(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

void PrintLine(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

Report::Report(Command command, bool json, const QStringList& labels, const ReportStreams& streams)
    : m_command(command), m_json(json), m_labels(labels), m_streams(streams),
      m_results(labels.size())
{}

void Report::Finished(int index, QJsonObject result)
{
    result.insert(QStringLiteral("printer"), m_labels.value(index));
    if (!result.contains(QStringLiteral("ok")))
        result.insert(QStringLiteral("ok"), false);
    m_results[index] = result;
    ++m_done;
    if (m_json) {
        const QByteArray line = JsonLine(result);
        std::fwrite(line.constData(), 1, size_t(line.size()), m_streams.out);
        std::fflush(m_streams.out);
        return;
    }
    PrintProgress();
}

void Report::PrintProgress()
{
    if (!m_streams.errIsTerminal || m_labels.size() < 2)
        return;
    const int total = int(m_labels.size());
    const int filled = kBarWidth * m_done / total;
    const QString bar = QStringLiteral("\r[%1%2] %3/%4")
                            .arg(QString(filled, QLatin1Char('#')))
                            .arg(QString(kBarWidth - filled, QLatin1Char(' ')))
                            .arg(m_done)
                            .arg(total);
    std::fputs(bar.toUtf8().constData(), m_streams.err);
    std::fflush(m_streams.err);
    m_progressShown = true;
}

QString Report::Detail(const QJsonObject& result) const
{
    if (!Succeeded(result))
        return ErrorText(result);
    switch (m_command) {
    case Command::Info:
        return QStringLiteral("%1 %2").arg(result.value(QStringLiteral("model")).toString(),
                                           result.value(QStringLiteral("serial")).toString());
    case Command::Status:
        return result.value(QStringLiteral("status"))
            .toObject()
            .value(QStringLiteral("text"))
            .toString();
    case Command::Get:
        return ValuesText(result, QStringLiteral(" "));
    case Command::Set:
        return result.value(QStringLiteral("changed")).toBool() ? QStringLiteral("changed")
                                                                : QStringLiteral("unchanged");
    case Command::Backup:
    case Command::Restore:
        return result.value(QStringLiteral("file")).toString();
    case Command::Diff:
        return result.value(QStringLiteral("identical")).toBool() ? QStringLiteral("identical")
                                                                  : QStringLiteral("different");
    default:
        return {};
    }
}

void Report::PrintResults()
{
    const bool single = m_labels.size() == 1;
    QList<QStringList> rows;
    if (m_command == Command::Info)
        rows.append({QStringLiteral("PRINTER"), QStringLiteral("MODEL"), QStringLiteral("SERIAL"),
                     QStringLiteral("FIRMWARE"), QStringLiteral("CHARSET"),
                     QStringLiteral("STATUS")});
    for (qsizetype i = 0; i < m_results.size(); ++i) {
        const QJsonObject& result = m_results[i];
        const QString& label = m_labels[i];
        if (!Succeeded(result)) {
            PrintLine(m_streams.err,
                      QStringLiteral("qp60ctl: %1: %2").arg(label, ErrorText(result)));
            continue;
        }
        const auto field = [&](const char* key) {
            return ValueText(result.value(QLatin1String(key)));
        };
        switch (m_command) {
        case Command::Info:
            rows.append({label, field("model"), field("serial"), field("firmware"),
                         field("charset"),
                         result.value(QStringLiteral("status"))
                             .toObject()
                             .value(QStringLiteral("text"))
                             .toString()});
            break;
        case Command::Get:
            if (single)
                PrintLine(m_streams.out, ValuesText(result, QStringLiteral("\n")));
            else
                PrintLine(m_streams.out, label + QStringLiteral(": ") + Detail(result));
            break;
        case Command::Set:
            PrintLine(m_streams.out,
                      QStringLiteral("%1: %2 (%3)")
                          .arg(label, Detail(result), ValuesText(result, QStringLiteral(" "))));
            break;
        case Command::Diff: {
            const QJsonArray differences = result.value(QStringLiteral("differences")).toArray();
            if (differences.isEmpty())
                PrintLine(m_streams.out,
                          QStringLiteral("%1: identical to %2").arg(label, field("file")));
            for (const QJsonValue& value : differences) {
                const QJsonObject d = value.toObject();
                PrintLine(m_streams.out, QStringLiteral("%1: printer %2, file %3")
                                             .arg(d.value(QStringLiteral("name")).toString(),
                                                  ValueText(d.value(QStringLiteral("printer"))),
                                                  ValueText(d.value(QStringLiteral("file")))));
            }
            break;
        }
        default:
            PrintLine(m_streams.out, label + QStringLiteral(": ") + Detail(result));
            break;
        }
    }
    if (rows.size() > 1)
        for (const QString& line : Table(rows))
            PrintLine(m_streams.out, line);
}

void Report::PrintSummary()
{
    if (!m_streams.outIsTerminal || m_labels.size() < 2)
        return;
    QList<QStringList> rows{
        {QStringLiteral("PRINTER"), QStringLiteral("RESULT"), QStringLiteral("DETAIL")}};
    int failed = 0;
    for (qsizetype i = 0; i < m_results.size(); ++i) {
        const bool ok = Succeeded(m_results[i]);
        failed += ok ? 0 : 1;
        rows.append({m_labels[i], ok ? QStringLiteral("ok") : QStringLiteral("FAILED"),
                     Detail(m_results[i])});
    }
    PrintLine(m_streams.out, QString());
    for (const QString& line : Table(rows))
        PrintLine(m_streams.out, line);
    PrintLine(m_streams.out, QStringLiteral("%1 printers: %2 succeeded, %3 failed")
                                 .arg(m_labels.size())
                                 .arg(m_labels.size() - failed)
                                 .arg(failed));
}

int Report::Finish()
{
    if (m_progressShown) {
        std::fputs("\r\033[K", m_streams.err);
        std::fflush(m_streams.err);
    }
    if (!m_json) {
        PrintResults();
        PrintSummary();
    }
    std::fflush(m_streams.out);
    const bool allOk = std::all_of(m_results.begin(), m_results.end(), Succeeded);
    return allOk ? 0 : 1;
}

} // namespace qp60ctl
