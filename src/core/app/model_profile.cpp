#include "app/model_profile.h"

#include "app/command_line.h"
#include "app/fixed_text.h"
#include "lang/lang_res_store.h"
#include "platform/profile.h"

#include <QStringView>

#include <algorithm>
#include <cstdint>

namespace {

struct ProfileSwitch
{
    const char* section;
    const char* key;
    int32_t AppState::*field;
};

constexpr ProfileSwitch kFontAndInterfaceSwitches[] = {
    {"Font", "EnableFontA", &AppState::enableFontA},
    {"Font", "EnableFontB", &AppState::enableFontB},
    {"Font", "EnableFlexibleFont", &AppState::enableFlexibleFont},
    {"IFSetting", "EnableIFSelect", &AppState::enableIFSelect},
    {"IFSetting", "EnableBTSearch", &AppState::enableBTSearch},
    {"RoroVuvivid", "EnableAutoRestore", &AppState::enableAutoRestore},
};
constexpr ProfileSwitch kSupportSwitches[] = {
    {"Support", "ARP", &AppState::arpSupport},
    {"Support", "WM", &AppState::wmSupport},
};
constexpr ProfileSwitch kLogoSwitch = {"Logo", "AutoKeycodeNumbering",
                                       &AppState::autoKeycodeNumbering};

void ReadSwitch(AppState& state, const ProfileSwitch& entry, const QString& iniPath)
{
    state.*entry.field = platform::GetPrivateProfileInt(QLatin1String(entry.section),
                                                        QLatin1String(entry.key), 0, iniPath);
}

// Reads a model name piece by piece: series letter, number, suffix, generation, rest.
class ModelNameReader
{
public:
    explicit ModelNameReader(const QString& text, qsizetype pos) : m_text(text), m_pos(pos) {}

    QChar TakeChar() { return m_pos < m_text.size() ? m_text.at(m_pos++) : QChar(); }

    // Consecutive decimal digits; none gives 0. Saturates instead of overflowing.
    int64_t TakeNumber()
    {
        int64_t value = 0;
        while (m_pos < m_text.size() && IsDigit(m_text.at(m_pos))) {
            const int digit = m_text.at(m_pos++).unicode() - u'0';
            value = value > kSaturated ? kSaturated : value * 10 + digit;
        }
        return value;
    }

    // Up to the end, a blank or an upper-case roman letter.
    QString TakeSuffix()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && !IsSuffixEnd(m_text.at(m_pos)))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    // A roman numeral of I, V and X in either case. Runs of one letter add up; a run worth
    // more than the single letter before it subtracts that letter twice ("IV" = 4); after a
    // longer run such a run ends the numeral, as does any other character.
    int64_t TakeGeneration()
    {
        int64_t total = 0;
        int64_t previousRunValue = 0;
        qsizetype previousRunLength = 0;
        while (m_pos < m_text.size()) {
            const int letterValue = RomanValue(m_text.at(m_pos));
            if (letterValue == 0)
                break;
            qsizetype runEnd = m_pos + 1;
            while (runEnd < m_text.size() &&
                   m_text.at(runEnd).toUpper() == m_text.at(m_pos).toUpper())
                ++runEnd;
            const qsizetype runLength = runEnd - m_pos;
            const int64_t runValue = letterValue * static_cast<int64_t>(runLength);
            if (previousRunLength > 0 && runValue > previousRunValue) {
                if (previousRunLength != 1)
                    break;
                total += runValue - 2 * previousRunValue;
            } else {
                total += runValue;
            }
            previousRunValue = runValue;
            previousRunLength = runLength;
            m_pos = runEnd;
        }
        return total;
    }

    QString Rest() const { return m_text.mid(m_pos); }

private:
    static constexpr int64_t kSaturated = INT64_MAX / 100;

    static bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }
    static bool IsSuffixEnd(QChar c) { return c == u' ' || c == u'I' || c == u'V' || c == u'X'; }
    static int RomanValue(QChar c)
    {
        switch (c.toUpper().unicode()) {
        case u'I':
            return 1;
        case u'V':
            return 5;
        case u'X':
            return 10;
        default:
            return 0;
        }
    }

    const QString& m_text;
    qsizetype m_pos;
};

constexpr int kNoInterface = -1;
constexpr int kFallbackDefaultInterface = 2;
constexpr int kInterfaceListMessage = 100;
constexpr int kDefaultInterfaceMessage = 101;

// Reads an optionally signed decimal number after leading blanks, as the C library's
// integer conversions do; the value saturates instead of overflowing. pos moves past what
// was read; false (pos unchanged) when there are no digits.
bool ReadDecimal(QStringView text, qsizetype& pos, int& value)
{
    qsizetype at = pos;
    while (at < text.size() && QChar(text[at]).isSpace())
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        negative = text[at++] == u'-';
    const qsizetype digitsStart = at;
    int64_t magnitude = 0;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
        magnitude =
            std::min<int64_t>(magnitude * 10 + (text[at].unicode() - u'0'), int64_t{INT32_MAX} + 1);
        ++at;
    }
    if (at == digitsStart)
        return false;
    const int64_t signedValue = negative ? -magnitude : magnitude;
    value = static_cast<int>(std::clamp<int64_t>(signedValue, INT32_MIN, INT32_MAX));
    pos = at;
    return true;
}

// "%d,%d,%d,%d,%d": stores numbers until one is missing or a comma does not follow.
void ParseInterfaceList(QStringView text, int32_t (&interfaceSlots)[QPU_COMM_IF_SLOTS])
{
    qsizetype pos = 0;
    for (int i = 0; i < QPU_COMM_IF_SLOTS; ++i) {
        int value = 0;
        if (!ReadDecimal(text, pos, value))
            return;
        interfaceSlots[i] = value;
        if (pos >= text.size() || text[pos] != u',')
            return;
        ++pos;
    }
}

int DecimalValue(QStringView text)
{
    qsizetype pos = 0;
    int value = 0;
    return ReadDecimal(text, pos, value) ? value : 0;
}

void ReadInterfaceTexts(AppState& state)
{
    CLangResStore texts;
    texts.Open(FixedText(state.languageFolder), state.languageId, CLangResStore::kFallbackLangId);
    texts.LoadSections(QStringLiteral("PORT_ADD_DLG"));
    QString list = QStringLiteral("2");
    texts.GetMessage(kInterfaceListMessage, list);
    ParseInterfaceList(list, state.commIfSlots);
    texts.GetMessage(kDefaultInterfaceMessage, list);
    state.defaultCommIf = DecimalValue(list);
}

} // namespace

void ReadInterfaceProfile(AppState& state, const QString& settingIniPath)
{
    std::fill(std::begin(state.commIfSlots), std::end(state.commIfSlots), kNoInterface);
    state.defaultCommIf = kFallbackDefaultInterface;
    if (!settingIniPath.isEmpty()) {
        const QString section = QStringLiteral("SupportCommIF");
        for (int i = 0; i < QPU_COMM_IF_SLOTS; ++i) {
            const int value = platform::GetPrivateProfileInt(
                section, QStringLiteral("CommIFType_%1").arg(i + 1), kNoInterface, settingIniPath);
            if (value == kNoInterface)
                break;
            state.commIfSlots[i] = value;
        }
        state.defaultCommIf = platform::GetPrivateProfileInt(
            section, QStringLiteral("DefaultIFType"), kNoInterface, settingIniPath);
        if (state.commIfSlots[0] != kNoInterface)
            return;
    }
    ReadInterfaceTexts(state);
}

void ReadModelProfile(AppState& state, const QString& settingIniPath)
{
    for (const ProfileSwitch& entry : kFontAndInterfaceSwitches)
        ReadSwitch(state, entry, settingIniPath);
    if (state.startMode == kStartModeNoPrinter) {
        state.arpSupport = 1;
        state.wmSupport = 1;
    } else {
        for (const ProfileSwitch& entry : kSupportSwitches)
            ReadSwitch(state, entry, settingIniPath);
    }
    ReadSwitch(state, kLogoSwitch, settingIniPath);
}

bool ModelSeriesMatch(const QString& deviceName)
{
    return ModelSeriesMatch(QString::fromUtf16(kServedModelName), deviceName);
}

bool ModelSeriesMatch(const QString& servedModel, const QString& deviceName)
{
    const QString prefix = QStringLiteral("QP-");
    const qsizetype devicePos = deviceName.indexOf(prefix);
    const qsizetype servedPos = servedModel.indexOf(prefix);
    if (devicePos < 0 || servedPos < 0)
        return false;
    ModelNameReader served(servedModel, servedPos + prefix.size());
    ModelNameReader device(deviceName, devicePos + prefix.size());

    const QChar servedLetter = served.TakeChar();
    if (servedLetter.isNull() || servedLetter != device.TakeChar())
        return false;
    if (served.TakeNumber() != device.TakeNumber())
        return false;
    if (served.TakeSuffix() != device.TakeSuffix())
        return false;
    const int64_t servedGeneration = served.TakeGeneration();
    const int64_t deviceGeneration = device.TakeGeneration();
    const QString servedRest = served.Rest();
    const QString deviceRest = device.Rest();
    const QString series = QStringLiteral("Series");
    if (servedGeneration > deviceGeneration)
        return servedRest.contains(series) || deviceRest.contains(series);
    return servedRest.startsWith(u'-') == deviceRest.startsWith(u'-');
}
