#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fuzz {

// A folder of this process for the inputs, which are written there as files: below
// QPU_FUZZ_WORK_DIR when it is set (the fuzz script points it into its build folder), else
// in RAM. Made once and removed again when the fuzzer exits normally; after a crash the
// script removes it.
inline const QString& WorkFolder()
{
    static const QString folder = [] {
        QString base = qEnvironmentVariable("QPU_FUZZ_WORK_DIR");
        if (base.isEmpty())
            base = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        const QString path = base + QStringLiteral("/qpu_fuzz_%1").arg(getpid());
        QDir().mkpath(path);
        static std::string removeAtExit;
        removeAtExit = QFile::encodeName(path).toStdString();
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removeAtExit, ignored);
        });
        return path;
    }();
    return folder;
}

// Writes the input as the file the parser reads. A folder removed behind the fuzzer's back
// is made again; an input that cannot be written stops the run, which would otherwise go
// on testing nothing but a missing file.
inline QString WriteInput(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = WorkFolder() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    if (!file.isOpen() || file.write(reinterpret_cast<const char*>(data),
                                     static_cast<qint64>(size)) != static_cast<qint64>(size)) {
        std::fprintf(stderr, "fuzz: cannot write the input file %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

} // namespace fuzz
