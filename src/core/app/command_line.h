#pragma once

#include <QString>
#include <QStringList>

// Start modes set by option m.
inline constexpr int kStartModeNormal = 0;
inline constexpr int kStartModeMenuL = 1;
inline constexpr int kStartModeMenuS = 2;
inline constexpr int kStartModePortPath = 3;
inline constexpr int kStartModeNoPrinter = 4;
inline constexpr int kStartModeComment = 5;
inline constexpr int kStartModeDriver = 100;
inline constexpr int kStartModeDriverLogo = 110;

// Longest values the command line may hand over: the driver port name, printer name and
// port path (options p, q, r), and the output file (option m with F).
inline constexpr int kMaxCommandLineNameChars = 258;
inline constexpr int kMaxOutputFileChars = 257;

// The values that other software passes on the command line: who started the program,
// which printer or port to use and in which mode to run.
class CExtCommandLineInfo
{
public:
    // Parses the arguments (without the program name) into the fields, starting from the
    // defaults. Only arguments that begin with '/' or '-' are options; the option is the
    // next character (lower case) and its value the rest of the argument. A value longer
    // than its field allows is refused whole: the fields keep their earlier values and
    // tooLongOption names the option.
    void ParseArguments(const QStringList& args);

    // Parses one option argument without its leading '/' or '-'.
    void ParseParam(const QString& param);

    int startMode = kStartModeNormal;
    int callerType = 0;
    QString driverPortName;
    QString printerName;
    QString portPath;
    QString outputFile;
    QString commentText;
    bool bypassInstanceCheck = false;
    // Empty, or the letter of the first option whose value was too long.
    QString tooLongOption;

private:
    void ParseStartMode(const QString& value);
    void ParseCallerType(const QString& value);
    bool StoreLimited(QString& field, const QString& value, int maxChars, QChar option);
};
