#pragma once

#include <QString>
#include <QStringView>

// Number text as the instruments and Calibration.conf use it: "." is the decimal point
// whatever the host's locale, and rounding goes half away from zero.
namespace psucal::num {

// Lenient leading-number read: leading blanks skipped, optional sign, digits with an
// optional "." fraction; stops at the first character that does not fit; no digits gives 0.
double Leading(QStringView text);

// Rounds to `decimals` places, halves away from zero; tolerant of binary noise
// (1.4 - 0.1 is 1.3 here, and 0.125 goes to 0.13).
double RoundTo(double value, int decimals);

// Fixed-point text with `decimals` places ("0.0", "0.00", "0.000" formats).
QString Fixed(double value, int decimals);

// value rounded to a whole number, written with at least `minDigits` digits ("000" format).
QString Digits(double value, int minDigits);

// Shortest plain decimal form: 20 -> "20", 3.3 -> "3.3", 0.5 -> "0.5".
QString Shortest(double value);

// A single-precision value as the spot grids take it: its seven significant digits, rounded
// half away from zero to `decimals` places (0.165f reads 0.1650000, so 0.17); 0 when not finite.
double RoundSingle(float value, int decimals);

} // namespace psucal::num
