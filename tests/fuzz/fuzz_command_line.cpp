// The command line: the input split into arguments at NUL bytes and line breaks.
#include "app/command_line.h"

#include <QByteArray>
#include <QStringList>

namespace {

bool Same(const CExtCommandLineInfo& a, const CExtCommandLineInfo& b)
{
    return a.startMode == b.startMode && a.callerType == b.callerType &&
           a.driverPortName == b.driverPortName && a.printerName == b.printerName &&
           a.portPath == b.portPath && a.outputFile == b.outputFile &&
           a.commentText == b.commentText && a.bypassInstanceCheck == b.bypassInstanceCheck &&
           a.tooLongOption == b.tooLongOption;
}

bool KnownStartMode(int mode)
{
    for (int known :
         {kStartModeNormal, kStartModeMenuL, kStartModeMenuS, kStartModePortPath,
          kStartModeNoPrinter, kStartModeComment, kStartModeDriver, kStartModeDriverLogo})
        if (mode == known)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList args{QStringLiteral("QP60Util")};
    for (const QByteArray& part : input.split('\0'))
        for (const QByteArray& arg : part.split('\n'))
            args << QString::fromUtf8(arg);
    CExtCommandLineInfo info;
    info.ParseArguments(args);
    if (info.printerName.size() > kMaxCommandLineNameChars ||
        info.driverPortName.size() > kMaxCommandLineNameChars ||
        info.portPath.size() > kMaxCommandLineNameChars ||
        info.outputFile.size() > kMaxOutputFileChars || !KnownStartMode(info.startMode) ||
        info.callerType < 0 || info.callerType > 4 || info.tooLongOption.size() > 1)
        __builtin_trap();

    // Parsing starts from the defaults: the same arguments give the same values again.
    CExtCommandLineInfo again = info;
    again.ParseArguments(args);
    if (!Same(info, again))
        __builtin_trap();
    return 0;
}
