#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace fuzz {

// A folder in RAM for this process, made once; the inputs are written there as files.
inline const QString& WorkFolder()
{
    static const QString folder = [] {
        const QString base =
            QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        const QString path = base + QStringLiteral("/qpu_fuzz_%1").arg(getpid());
        QDir().mkpath(path);
        return path;
    }();
    return folder;
}

inline QString WriteInput(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = WorkFolder() + QLatin1Char('/') + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return path;
}

} // namespace fuzz
