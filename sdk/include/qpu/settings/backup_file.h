// The communication library's backup file of a printer's settings (QPC_Backup,
// QPC_Restore): "QPR60-BACKUP 1", "model=NAME", then "custom A=V" (A 0..255, V 0..65535)
// and "memsw A=BBBBBBBB" (A 1..8, bit 1 first) lines. Read here to check a file before it
// is restored and to compare it with a printer. No Qt.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace qpu::settings {

struct BackupContents
{
    std::string model;
    std::map<int, uint16_t> customValues;
    std::map<int, uint8_t> memorySwitches; // bit 0 = bit 1 of the switch
};

// Parses the text of a backup file. False, with the line at fault in *error, for anything
// that QPC_Restore would refuse, and for a file that holds no setting at all.
bool ParseBackup(const std::string& text, BackupContents* contents, std::string* error);

} // namespace qpu::settings
