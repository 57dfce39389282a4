#include "platform/environment_strings.h"

#include <QProcessEnvironment>

namespace platform {
namespace {

bool isNameStart(QChar c)
{
    return c == u'_' || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool isNameChar(QChar c)
{
    return isNameStart(c) || (c >= u'0' && c <= u'9');
}

// One reference found at a position: how many characters it spans and its value.
struct Reference
{
    qsizetype length = 0;
    std::optional<QString> value;
};

Reference percentReference(QStringView rest, const EnvironmentLookup& lookup)
{
    const qsizetype close = rest.indexOf(u'%', 1);
    if (close < 0)
        return {};
    if (close == 1)
        return {2, std::nullopt}; // "%%" stays
    return {close + 1, lookup(rest.sliced(1, close - 1).toString())};
}

Reference dollarReference(QStringView rest, const EnvironmentLookup& lookup)
{
    if (rest.size() > 2 && rest[1] == u'{') {
        const qsizetype close = rest.indexOf(u'}', 2);
        if (close <= 2)
            return {};
        return {close + 1, lookup(rest.sliced(2, close - 2).toString())};
    }
    qsizetype end = 1;
    if (end < rest.size() && isNameStart(rest[end])) {
        while (end < rest.size() && isNameChar(rest[end]))
            ++end;
        return {end, lookup(rest.sliced(1, end - 1).toString())};
    }
    return {};
}

} // namespace

std::optional<QString> ProcessEnvironment(const QString& name)
{
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (environment.contains(name))
        return environment.value(name);
    for (const QString& key : environment.keys()) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return environment.value(key);
    }
    if (name.compare(u"ProgramFiles", Qt::CaseInsensitive) == 0)
        return QStringLiteral("/opt");
    return std::nullopt;
}

QString ExpandEnvironmentStrings(const QString& text, const EnvironmentLookup& lookup)
{
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const QChar c = text[pos];
        Reference reference;
        if (c == u'%')
            reference = percentReference(QStringView(text).sliced(pos), lookup);
        else if (c == u'$')
            reference = dollarReference(QStringView(text).sliced(pos), lookup);
        if (reference.length > 0 && reference.value) {
            out += *reference.value;
            pos += reference.length;
        } else if (reference.length > 0) {
            out += text.sliced(pos, reference.length);
            pos += reference.length;
        } else {
            out += c;
            ++pos;
        }
    }
    return out;
}

} // namespace platform
