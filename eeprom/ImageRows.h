#pragma once

#include "link/EepromImage.h"

#include <QString>

#include <array>
#include <optional>

// The supply's EEPROM as rows of eight nibble characters, and the checks every path that
// reads or writes rows relies on.
namespace psucal::eeprom {

using image::Rows;

using ImageRowList = std::array<QString, Rows>;

// The rows of a whole-image reply; nothing unless "OK" stands at characters 1441-1442 and
// every block starts with eight nibble characters.
std::optional<ImageRowList> SplitImage(const QString& reply);

// A cell as it goes on the wire: two nibble characters, a lone one padded with "0" in front.
// Empty when the text cannot be a cell (empty, too long, other characters).
QString WireCell(const QString& text);

// A row number as typed: one to three digits (blanks around allowed) naming a row 0..159.
std::optional<int> ParseRow(const QString& text);
// Three digits, as rows travel and are listed ("007").
QString RowText(int row);

// Rows 0..7 and 58..159; the rows in between are never written by the editor.
bool Writable(int row);

// The serial number rows 156..159 carry, read the way the supply link reads it: "00" cells
// and control characters are skipped.
QString SerialOf(const ImageRowList& rows);

} // namespace psucal::eeprom
