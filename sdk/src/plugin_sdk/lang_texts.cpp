#include <qpu/plugin_sdk/lang_texts.h>

#include <QDir>
#include <QFile>
#include <QStringConverter>

namespace qpu::sdk {

namespace {

// A fixed text field: at most 259 units, ended by a zero.
QString FromField(const QpuChar16* field)
{
    qsizetype length = 0;
    while (length < QPU_TEXT_MAX_CHARS && field[length] != 0)
        ++length;
    return QString::fromUtf16(field, length);
}

QString DecodeFile(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        auto decode = QStringDecoder(QStringDecoder::Utf16LE);
        return decode(bytes.mid(2));
    }
    QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    auto decode = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(body);
    return decode.hasError() ? QString::fromLatin1(body) : text;
}

// The leading decimal digits after the key's last '_'; -1 when there are none.
int KeyNumber(QStringView key)
{
    const qsizetype underscore = key.lastIndexOf(u'_');
    if (underscore < 0)
        return -1;
    int number = -1;
    for (qsizetype i = underscore + 1; i < key.size() && key[i].isDigit(); ++i) {
        const int digit = key[i].digitValue();
        if (number > 100000)
            return -1;
        number = (number < 0 ? 0 : number * 10) + digit;
    }
    return number;
}

QString Unescape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            if (text[i + 1] == u'n') {
                out += u'\n';
                ++i;
                continue;
            }
            if (text[i + 1] == u't') {
                out += u'\t';
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

} // namespace

std::map<QString, std::map<int, QString>> ReadLangFile(const QString& path)
{
    std::map<QString, std::map<int, QString>> sections;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return sections;
    const QString text = DecodeFile(file.readAll());
    std::map<int, QString>* current = nullptr;
    QString currentName;
    for (QStringView rawLine : QStringTokenizer(text, u'\n')) {
        const QStringView line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.lastIndexOf(u']');
            currentName =
                (close > 0 ? line.mid(1, close - 1) : line.mid(1)).trimmed().toString().toUpper();
            // The first section of a name wins; a later one of the same name is ignored.
            current = sections.count(currentName) ? nullptr : &sections[currentName];
            continue;
        }
        if (current == nullptr)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const int number = KeyNumber(line.left(equals).trimmed());
        const QString value = line.mid(equals + 1).trimmed().toString();
        if (number < 0 || value.contains(QStringLiteral("||")))
            continue;
        current->emplace(number, Unescape(value));
    }
    return sections;
}

QString LangTexts::FolderOf(const AppState* state)
{
    return state ? FromField(state->languageFolder) : QString();
}

int LangTexts::Load(const AppState* state, const QStringList& windowNames)
{
    return Load(FolderOf(state), state ? state->languageId : kFallbackLangId, windowNames);
}

int LangTexts::Load(const QString& folder, int languageId, const QStringList& windowNames)
{
    m_sections.clear();
    m_loadedLangId = 0;
    if (folder.isEmpty())
        return kNoFile;
    const QDir dir(folder);
    const auto fileOf = [&dir](int id) {
        return dir.filePath(QStringLiteral("%1.DAT").arg(id, 4, 16, QLatin1Char('0')).toUpper());
    };
    int result = kLoadedRequested;
    QString path = fileOf(languageId);
    if (!QFile::exists(path)) {
        path = fileOf(kFallbackLangId);
        result = kLoadedFallback;
        if (!QFile::exists(path))
            return kNoFile;
    }
    auto all = ReadLangFile(path);
    QStringList wanted = {QStringLiteral("CMN_STR"), QStringLiteral("CMN_MSG")};
    for (const QString& window : windowNames) {
        wanted << window.toUpper() + QStringLiteral("_STR")
               << window.toUpper() + QStringLiteral("_MSG");
    }
    for (const QString& name : wanted) {
        auto it = all.find(name);
        if (it != all.end())
            m_sections[name] = std::move(it->second);
    }
    m_loadedLangId = result == kLoadedRequested ? languageId : kFallbackLangId;
    return result;
}

QString LangTexts::String(const QString& window, int number, const QString& fallback) const
{
    return Lookup(window.toUpper() + QStringLiteral("_STR"), number, fallback);
}

QString LangTexts::Message(const QString& window, int number, const QString& fallback) const
{
    return Lookup(window.toUpper() + QStringLiteral("_MSG"), number, fallback);
}

QString LangTexts::Lookup(const QString& section, int number, const QString& fallback) const
{
    const auto table = m_sections.find(section);
    if (table == m_sections.end())
        return fallback;
    const auto text = table->second.find(number);
    if (text == table->second.end() || text->second.isEmpty())
        return fallback;
    return ResolveCommon(text->second);
}

QString LangTexts::ResolveCommon(const QString& text) const
{
    for (const auto& [prefix, section] :
         {std::pair{QStringLiteral("]CMN_STR_"), QStringLiteral("CMN_STR")},
          std::pair{QStringLiteral("]CMN_MSG_"), QStringLiteral("CMN_MSG")}}) {
        if (!text.startsWith(prefix))
            continue;
        bool ok = false;
        const int number = text.mid(prefix.size()).toInt(&ok);
        if (!ok)
            return text;
        const auto table = m_sections.find(section);
        if (table == m_sections.end())
            return text;
        const auto common = table->second.find(number);
        return common != table->second.end() ? common->second : text;
    }
    return text;
}

} // namespace qpu::sdk
