#pragma once

#include <QString>

// The supply's EEPROM as the whole-image reply carries it, and the one-line-per-row text
// that backups and simulator dumps share so that two of them compare with diff.
namespace psucal::image {

constexpr int Rows = 160;
constexpr int RowLength = 8;   // four cells, two nibble characters each
constexpr int BlockLength = 9; // a row and a separator nobody reads
constexpr int Length = 1443;   // 160 blocks, "OK", an end character
constexpr int Minimum = 1440;  // enough to hold every block
constexpr int SerialRow = 156; // rows 156..159: the serial number, one character per byte

// The eight characters of `row` in a whole-image reply.
QString Row(const QString& image, int row);
// True when every row of the image is eight nibble characters.
bool Complete(const QString& image);
// "058 80 80 83 81": the row number as three digits, then the four cells.
QString RowLine(int row, const QString& cells);
// The characters one serial-number row carries: "00" cells are blanks, and a byte that is not
// two nibbles or is a control character is line noise, dropped so that it never reaches the
// serial number shown, stored and printed.
QString SerialChars(const QString& cells);

} // namespace psucal::image
