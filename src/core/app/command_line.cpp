#include "app/command_line.h"

void CExtCommandLineInfo::ParseArguments(const QStringList& args)
{
    *this = CExtCommandLineInfo();
    for (const QString& arg : args) {
        if (arg.startsWith(QLatin1Char('/')) || arg.startsWith(QLatin1Char('-')))
            ParseParam(arg.mid(1));
    }
}

void CExtCommandLineInfo::ParseParam(const QString& param)
{
    if (param.isEmpty())
        return;
    const QChar option = param.front();
    const QString value = param.mid(1);
    switch (option.unicode()) {
    case u'm':
        ParseStartMode(value);
        break;
    case u'p':
        StoreLimited(driverPortName, value, kMaxCommandLineNameChars, option);
        break;
    case u'q':
        StoreLimited(printerName, value, kMaxCommandLineNameChars, option);
        break;
    case u'r':
        StoreLimited(portPath, value, kMaxCommandLineNameChars, option);
        break;
    case u'd':
        ParseCallerType(value);
        break;
    case u'b':
        if (value.startsWith(QLatin1Char('M')))
            bypassInstanceCheck = true;
        break;
    default:
        break;
    }
}

void CExtCommandLineInfo::ParseStartMode(const QString& value)
{
    if (value == QLatin1String("ZRD5_LOGO")) {
        startMode = kStartModeDriverLogo;
    } else if (value == QLatin1String("ZRD5")) {
        startMode = kStartModeDriver;
    } else if (value.startsWith(QLatin1Char('L'))) {
        startMode = kStartModeMenuL;
    } else if (value.startsWith(QLatin1Char('S'))) {
        startMode = kStartModeMenuS;
    } else if (value.startsWith(QLatin1Char('R'))) {
        startMode = kStartModePortPath;
    } else if (value.startsWith(QLatin1Char('F'))) {
        // A refused output file leaves the start mode alone too: start mode 4 without the
        // file the caller asked for would write the settings somewhere else.
        if (StoreLimited(outputFile, value.mid(1), kMaxOutputFileChars, u'm'))
            startMode = kStartModeNoPrinter;
    } else if (value.startsWith(QLatin1Char('C'))) {
        startMode = kStartModeComment;
        commentText = value.mid(1);
    } else {
        startMode = kStartModeNormal;
    }
}

void CExtCommandLineInfo::ParseCallerType(const QString& value)
{
    if (value == QLatin1String("ZRD"))
        callerType = 1;
    else if (value == QLatin1String("OPOS"))
        callerType = 2;
    else if (value == QLatin1String("DudodeRizoda"))
        callerType = 3;
    else if (value == QLatin1String("RoroVuvivid"))
        callerType = 4;
    else
        callerType = 0;
}

bool CExtCommandLineInfo::StoreLimited(QString& field, const QString& value, int maxChars,
                                       QChar option)
{
    if (value.size() > maxChars) {
        if (tooLongOption.isEmpty())
            tooLongOption = option;
        return false;
    }
    field = value;
    return true;
}
