#pragma once

#include <qpu/settings/printer_settings.h>

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// The settings qp60ctl reads and writes by name: what the shipped pages edit (print
// density and speed, memory switches bit by bit) with the same ranges and checks, and the
// raw customized values and memory switches by number.
//   density          customized value 5, a percentage the print settings page offers
//   speed            customized value 6, a level 1 to 9
//   memswN           memory switch N (1..8): eight 0/1, bit 1 first
//   memswN.bitB      bit B (1..8) of memory switch N: 0 or 1
//   customN          customized value N (0..255), 0 to 65535
namespace qp60ctl {

struct SettingName
{
    enum class Kind
    {
        Density,
        Speed,
        Switch,
        SwitchBit,
        Custom,
    };
    Kind kind = Kind::Density;
    int number = 0; // memory switch 1..8 or customized value 0..255
    int bit = 0;    // 1..8 for SwitchBit

    bool operator==(const SettingName&) const = default;
    QString Text() const;
    // What it is read from: a customized value number, or a memory switch number.
    bool IsCustomValue() const;
    int SourceNumber() const;
};

std::optional<SettingName> ParseSettingName(const QString& text);
bool IsSettingName(const QString& text);
// What get reads when no name is given.
QList<SettingName> DefaultSettingNames();

struct SettingHelp
{
    QString name;
    QString description;
};
QList<SettingHelp> SettingHelpLines();

// What the printer holds: the customized values and memory switches read.
struct PrinterValues
{
    std::map<uint8_t, uint16_t> customValues;
    std::map<uint8_t, uint8_t> switches;
};

// The customized values and memory switches that must be read for names.
void SourcesOf(const QList<SettingName>& names, std::vector<uint8_t>* customNumbers,
               std::vector<uint8_t>* switchNumbers);
// The value of a name in what was read: a number, or the bit text of a switch.
QJsonValue ValueOf(const SettingName& name, const PrinterValues& values);

struct Assignment
{
    SettingName name;
    QString value;
};

// Parses NAME=VALUE and checks the value as the pages do; false with the reason.
bool ParseAssignment(const QString& text, Assignment* assignment, QString* error);
// Parses a list; two assignments to the same setting (or to a switch and one of its bits)
// are refused.
bool ParseAssignments(const QStringList& texts, QList<Assignment>* assignments, QString* error);

// What must be written so that the printer holds the assignments, given what it holds now
// (which must cover SourcesOf the assignments' names). Only differences are listed.
qpu::settings::SettingChanges ChangesFor(const QList<Assignment>& assignments,
                                         const PrinterValues& current);

} // namespace qp60ctl
