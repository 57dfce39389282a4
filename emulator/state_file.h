#pragma once

#include "printer.h"

#include <string>

namespace qpr60 {

// Customized values and memory switches kept across runs, as text lines
// "custom A=V" and "memsw A=BBBBBBBB" ('#' starts a comment).
class StateFile
{
public:
    explicit StateFile(std::string path) : m_path(std::move(path)) {}

    // Reads the file into settings. A missing file leaves the settings as they are and
    // succeeds; a file that cannot be read or parsed fails with a message and changes
    // nothing.
    bool load(PrinterSettings& settings, std::string& error) const;
    // Writes the settings atomically: temporary file in the same folder, fsync, rename.
    bool save(const PrinterSettings& settings, std::string& error) const;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace qpr60
