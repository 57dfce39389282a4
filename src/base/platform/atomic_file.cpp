#include "platform/atomic_file.h"

#include "posix/atomic_file.h"

#include <QFile>

#include <string>

namespace platform {

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    const QByteArray target = QFile::encodeName(path);
    std::string why;
    if (posix::WriteFileAtomically(target.toStdString(),
                                   std::string_view(bytes.constData(), size_t(bytes.size())),
                                   error ? &why : nullptr))
        return true;
    if (error)
        *error = QString::fromLocal8Bit(why);
    return false;
}

} // namespace platform
