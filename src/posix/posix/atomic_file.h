#pragma once

#include <string>
#include <string_view>

namespace posix {

// Replaces the file at path with bytes so that readers and a crash see either the whole
// old file or the whole new one: the bytes go to a temporary file in the same folder,
// are flushed to the disk and the temporary file is renamed over path, and the folder is
// flushed too. A file that the process may not write is not replaced, nor is anything
// that is not a regular file. An existing file keeps its permission bits (and, where the
// process may, its owner); a new one is created with 0666 less the umask. On failure the
// old file is left as it was, no temporary file remains, false is returned and *error
// (when given) says why: "<what failed>: <strerror(errno)>", errno being left as set by
// the failed call.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

} // namespace posix
