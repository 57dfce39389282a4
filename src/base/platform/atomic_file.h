#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Replaces the file at path with bytes so that readers and a crash see either the whole
// old file or the whole new one: the bytes go to a temporary file in the same folder,
// are flushed to the disk and the temporary file is renamed over path. A file that the
// process may not write is not replaced. An existing file
// keeps its permission bits (and, where the process may, its owner); a new one is
// created with 0666 less the umask. On failure the old file is left as it was, no
// temporary file remains, false is returned and *error (when given) says why.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace platform
