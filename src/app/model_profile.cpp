#include "app/model_profile.h"

#include "platform/profile.h"

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

} // namespace

void ReadModelProfile(AppState& state, const QString& settingIniPath)
{
    for (const ProfileSwitch& entry : kFontAndInterfaceSwitches)
        ReadSwitch(state, entry, settingIniPath);
    if (state.startMode == 4) {
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
