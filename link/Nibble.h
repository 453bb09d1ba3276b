#pragma once

#include <QString>

// EEPROM bytes travel as two characters of the nibble alphabet "0".."9", ":", ";", "<",
// "=", ">", "?" (codes 48..63), high nibble first.
namespace psucal::nibble {

// Nibble value of one character; -1 when it is not in the alphabet.
int Value(QChar c);

// 0..255 to two characters; a value above 255 is first set to 255 (written back).
QString EncodeByte(int& value);
// Two characters to the byte value as decimal text ("41" -> "65"); -1 when they are not nibbles.
QString DecodeByte(const QString& text);

// Correction in volts (scale 100) or amperes (scale 1000) to a sign-and-magnitude cell.
// Corrections beyond +/-127 units saturate at the representable limit.
QString EncodeSigned(double value, int scale);
double DecodeSigned(const QString& text, int scale);

// True when the text is exactly `count` nibble characters.
bool IsNibbles(const QString& text, int count);

} // namespace psucal::nibble
