#include "link/Nibble.h"

#include "core/Numbers.h"

#include <cmath>

namespace psucal::nibble {

int Value(QChar c)
{
    const int v = c.unicode() - 48;
    return (v >= 0 && v <= 15) ? v : -1;
}

static QString Pair(int byte)
{
    const QChar pair[2] = {QChar(48 + byte / 16), QChar(48 + byte % 16)};
    return QString(pair, 2);
}

QString EncodeByte(int& value)
{
    if (value > 255)
        value = 255;
    const int v = value < 0 ? 0 : value;
    return Pair(v);
}

QString DecodeByte(const QString& text)
{
    if (text.size() < 2)
        return QStringLiteral("-1");
    const int hi = Value(text[0]);
    const int lo = Value(text[1]);
    if (hi < 0 || lo < 0)
        return QStringLiteral("-1");
    return QString::number(16 * hi + lo);
}

QString EncodeSigned(double value, int scale)
{
    long n = static_cast<long>(num::RoundTo(value * scale, 0));
    // The sign bit belongs to negatives only: a large positive correction must not wrap
    // into it and turn into a negative one.
    if (n > 127)
        n = 127;
    if (n < 0)
        n = 128 + (-n);
    if (n > 255)
        n = 255;
    return Pair(static_cast<int>(n));
}

double DecodeSigned(const QString& text, int scale)
{
    if (text == QLatin1String("80"))
        return 0.0;
    const int hi = text.size() > 0 ? Value(text[0]) : 0;
    const int lo = text.size() > 1 ? Value(text[1]) : 0;
    const int b = 16 * std::max(hi, 0) + std::max(lo, 0);
    const int v = b > 128 ? -(b - 128) : b;
    return num::RoundTo(static_cast<double>(v) / scale, scale == 100 ? 2 : 3);
}

bool IsNibbles(const QString& text, int count)
{
    if (text.size() != count)
        return false;
    for (QChar c : text)
        if (Value(c) < 0)
            return false;
    return true;
}

} // namespace psucal::nibble
