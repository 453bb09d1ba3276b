#pragma once

#include <QString>

// What each of the supply's replies looks like when it came back whole. A reply of another
// shape was cut, garbled or overtaken on the line, and is asked for again.
namespace psucal::reply {

// A set point taken: exactly "OK".
bool SetPointTaken(const QString& reply);
// The session and output words' answers are not read, only counted: three characters.
bool Acknowledged3(const QString& reply);
// "GMAX": six digits and a two-letter verdict ("OK" for a valid rating).
bool Rating(const QString& reply);
// "GETD": eight digits, two more characters, "OK".
bool Display(const QString& reply);
// A row read: exactly eight nibble characters.
bool Row(const QString& reply);
// The whole image: every block, "OK" and the end character.
bool Image(const QString& reply);

} // namespace psucal::reply
