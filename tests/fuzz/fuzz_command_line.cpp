// The command line: the input split into arguments at NUL bytes and line breaks.
#include "app/command_line.h"

#include <QByteArray>
#include <QStringList>

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
        info.outputFile.size() > kMaxOutputFileChars)
        __builtin_trap();
    return 0;
}
