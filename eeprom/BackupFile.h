#pragma once

#include "eeprom/ImageRows.h"

#include <QString>

#include <optional>

namespace psucal::eeprom {

// An as-found backup read back from disk (the format cal/Backup writes): "#" comment lines,
// then one line "NNN c1 c2 c3 c4" for each of the rows 000..159, cells in the nibble alphabet.
// Anything else in the file makes it unusable: a half-read backup must never reach a supply.
struct BackupFile {
    QString path;
    ImageRowList rows; // eight nibble characters each

    // The serial number its rows 156..159 hold.
    QString serial() const { return SerialOf(rows); }

    // Nothing, with the reason in `error`, unless the file holds exactly the 160 rows.
    static std::optional<BackupFile> Read(const QString& path, QString* error);
};

} // namespace psucal::eeprom
