#include "setting_names.h"

#include <QRegularExpression>

#include <algorithm>

namespace qp60ctl {

using qpu::settings::kCustomValueCount;
using qpu::settings::kMemorySwitchCount;

namespace {

using Kind = SettingName::Kind;

QString ChoicesText(const std::vector<int32_t>& choices)
{
    QStringList texts;
    for (const int32_t choice : choices)
        texts.append(QString::number(choice));
    return texts.join(QLatin1Char(' '));
}

bool ParseNumber(const QString& text, int lowest, int highest, int* number)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    if (!digits.match(text).hasMatch())
        return false;
    const int value = text.toInt();
    if (value < lowest || value > highest)
        return false;
    *number = value;
    return true;
}

// Sets bit (1..8) of a switch value.
uint8_t WithBit(uint8_t bits, int bit, bool on)
{
    const auto mask = static_cast<uint8_t>(1u << (bit - 1));
    return on ? static_cast<uint8_t>(bits | mask) : static_cast<uint8_t>(bits & ~mask);
}

bool CheckValue(const Assignment& a, QString* error)
{
    int number = 0;
    uint8_t bits = 0;
    const QString name = a.name.Text();
    switch (a.name.kind) {
    case Kind::Density:
        if (ParseNumber(a.value, 0, 0xFFFF, &number) && qpu::settings::IsDensityChoice(number))
            return true;
        *error = QStringLiteral("density must be one of %1 (percent), not '%2'")
                     .arg(ChoicesText(qpu::settings::DensityChoices()), a.value);
        return false;
    case Kind::Speed:
        if (ParseNumber(a.value, 0, 0xFFFF, &number) && qpu::settings::IsSpeedChoice(number))
            return true;
        *error = QStringLiteral("speed must be one of %1, not '%2'")
                     .arg(ChoicesText(qpu::settings::SpeedChoices()), a.value);
        return false;
    case Kind::Switch:
        if (qpu::settings::ParseSwitchBitText(a.value.toStdString(), &bits))
            return true;
        *error =
            QStringLiteral("%1 must be eight 0 or 1, bit 1 first, not '%2'").arg(name, a.value);
        return false;
    case Kind::SwitchBit:
        if (a.value == QLatin1String("0") || a.value == QLatin1String("1"))
            return true;
        *error = QStringLiteral("%1 must be 0 or 1, not '%2'").arg(name, a.value);
        return false;
    case Kind::Custom:
        if (ParseNumber(a.value, 0, 0xFFFF, &number))
            return true;
        *error = QStringLiteral("%1 must be a number from 0 to 65535, not '%2'").arg(name, a.value);
        return false;
    }
    return false;
}

} // namespace

QString SettingName::Text() const
{
    switch (kind) {
    case Kind::Density:
        return QStringLiteral("density");
    case Kind::Speed:
        return QStringLiteral("speed");
    case Kind::Switch:
        return QStringLiteral("memsw%1").arg(number);
    case Kind::SwitchBit:
        return QStringLiteral("memsw%1.bit%2").arg(number).arg(bit);
    case Kind::Custom:
        return QStringLiteral("custom%1").arg(number);
    }
    return {};
}

bool SettingName::IsCustomValue() const
{
    return kind == Kind::Density || kind == Kind::Speed || kind == Kind::Custom;
}

int SettingName::SourceNumber() const
{
    switch (kind) {
    case Kind::Density:
        return QPU_CUSTOM_PRINT_DENSITY;
    case Kind::Speed:
        return QPU_CUSTOM_PRINT_SPEED;
    default:
        return number;
    }
}

std::optional<SettingName> ParseSettingName(const QString& text)
{
    if (text == QLatin1String("density"))
        return SettingName{Kind::Density};
    if (text == QLatin1String("speed"))
        return SettingName{Kind::Speed};
    static const QRegularExpression pattern(
        QStringLiteral("^(?:memsw([0-9]{1,3})(?:\\.bit([0-9]{1,3}))?|custom([0-9]{1,4}))$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    int number = 0;
    if (match.hasCaptured(3)) {
        if (!ParseNumber(match.captured(3), 0, kCustomValueCount - 1, &number))
            return std::nullopt;
        return SettingName{Kind::Custom, number};
    }
    if (!ParseNumber(match.captured(1), 1, kMemorySwitchCount, &number))
        return std::nullopt;
    if (!match.hasCaptured(2))
        return SettingName{Kind::Switch, number};
    int bit = 0;
    if (!ParseNumber(match.captured(2), 1, 8, &bit))
        return std::nullopt;
    return SettingName{Kind::SwitchBit, number, bit};
}

bool IsSettingName(const QString& text)
{
    return ParseSettingName(text).has_value();
}

QList<SettingName> DefaultSettingNames()
{
    QList<SettingName> names{{Kind::Density}, {Kind::Speed}};
    for (int number = 1; number <= kMemorySwitchCount; ++number)
        names.append({Kind::Switch, number});
    return names;
}

QList<SettingHelp> SettingHelpLines()
{
    return {
        {QStringLiteral("density"), QStringLiteral("print density in percent: %1")
                                        .arg(ChoicesText(qpu::settings::DensityChoices()))},
        {QStringLiteral("speed"),
         QStringLiteral("print speed level: %1").arg(ChoicesText(qpu::settings::SpeedChoices()))},
        {QStringLiteral("memsw1 .. memsw8"),
         QStringLiteral("memory switch: eight 0/1, bit 1 first")},
        {QStringLiteral("memswN.bit1 .. .bit8"), QStringLiteral("one bit of memory switch N: 0/1")},
        {QStringLiteral("custom0 .. custom255"),
         QStringLiteral("raw customized value: 0 to 65535")},
    };
}

void SourcesOf(const QList<SettingName>& names, std::vector<uint8_t>* customNumbers,
               std::vector<uint8_t>* switchNumbers)
{
    for (const SettingName& name : names) {
        auto* list = name.IsCustomValue() ? customNumbers : switchNumbers;
        const auto number = static_cast<uint8_t>(name.SourceNumber());
        if (std::find(list->begin(), list->end(), number) == list->end())
            list->push_back(number);
    }
}

QJsonValue ValueOf(const SettingName& name, const PrinterValues& values)
{
    const auto number = static_cast<uint8_t>(name.SourceNumber());
    if (name.IsCustomValue()) {
        const auto found = values.customValues.find(number);
        return found == values.customValues.end() ? QJsonValue() : QJsonValue(found->second);
    }
    const auto found = values.switches.find(number);
    if (found == values.switches.end())
        return QJsonValue();
    if (name.kind == Kind::SwitchBit)
        return QJsonValue((found->second >> (name.bit - 1)) & 1);
    return QString::fromStdString(qpu::settings::SwitchBitText(found->second));
}

bool ParseAssignment(const QString& text, Assignment* assignment, QString* error)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const QString name = text.left(equals);
    const auto parsed = ParseSettingName(name);
    if (equals < 0 || !parsed) {
        *error = QStringLiteral("unknown setting '%1' (qp60ctl --help lists them)").arg(name);
        return false;
    }
    assignment->name = *parsed;
    assignment->value = text.mid(equals + 1);
    return CheckValue(*assignment, error);
}

bool ParseAssignments(const QStringList& texts, QList<Assignment>* assignments, QString* error)
{
    QList<Assignment> parsed;
    for (const QString& text : texts) {
        Assignment assignment;
        if (!ParseAssignment(text, &assignment, error))
            return false;
        for (const Assignment& earlier : parsed) {
            const SettingName& a = earlier.name;
            const SettingName& b = assignment.name;
            const bool sameSource =
                a.IsCustomValue() == b.IsCustomValue() && a.SourceNumber() == b.SourceNumber();
            const bool differentBits =
                a.kind == Kind::SwitchBit && b.kind == Kind::SwitchBit && a.bit != b.bit;
            if (sameSource && !differentBits) {
                *error = QStringLiteral("%1 and %2 set the same setting").arg(a.Text(), b.Text());
                return false;
            }
        }
        parsed.append(assignment);
    }
    *assignments = parsed;
    return true;
}

qpu::settings::SettingChanges ChangesFor(const QList<Assignment>& assignments,
                                         const PrinterValues& current)
{
    qpu::settings::SettingChanges changes;
    std::map<uint8_t, uint8_t> wantedSwitches;
    for (const Assignment& a : assignments) {
        const auto number = static_cast<uint8_t>(a.name.SourceNumber());
        if (a.name.IsCustomValue()) {
            const auto value = static_cast<uint16_t>(a.value.toUInt());
            if (current.customValues.at(number) != value)
                changes.customValues[number] = value;
            continue;
        }
        auto [slot, fresh] = wantedSwitches.try_emplace(number, current.switches.at(number));
        if (a.name.kind == Kind::SwitchBit) {
            slot->second = WithBit(slot->second, a.name.bit, a.value == QLatin1String("1"));
        } else {
            qpu::settings::ParseSwitchBitText(a.value.toStdString(), &slot->second);
        }
    }
    for (const auto& [number, bits] : wantedSwitches)
        if (current.switches.at(number) != bits)
            changes.memorySwitches[number] = bits;
    return changes;
}

} // namespace qp60ctl
