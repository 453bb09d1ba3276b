#include "sim/Eeprom.h"

#include "link/Nibble.h"

#include <algorithm>
#include <cstdlib>

namespace psucal::sim {

namespace {
void AppendByte(QString& out, int value)
{
    out += QChar(48 + value / 16);
    out += QChar(48 + value % 16);
}
} // namespace

QString Eeprom::row(int r) const
{
    if (r < 0 || r >= Rows)
        return QString();
    QString out;
    for (int cell = 1; cell <= 4; ++cell)
        AppendByte(out, byte(r, cell));
    return out;
}

bool Eeprom::setRow(int r, const QString& text)
{
    if (r < 0 || r >= Rows || !nibble::IsNibbles(text, 8))
        return false;
    for (int cell = 1; cell <= 4; ++cell)
        setByte(r, cell, 16 * nibble::Value(text[2 * cell - 2]) + nibble::Value(text[2 * cell - 1]));
    return true;
}

int Eeprom::signedUnits(int r, int cell) const
{
    const int b = byte(r, cell);
    return b > 128 ? -(b - 128) : (b == 128 ? 0 : b);
}

void Eeprom::setSignedUnits(int r, int cell, int units)
{
    const int magnitude = std::min(std::abs(units), 127);
    setByte(r, cell, units < 0 ? 128 + magnitude : (units == 0 ? 128 : magnitude));
}

void Eeprom::setSerial(const QString& serial)
{
    for (int i = 0; i < 16; ++i)
        setByte(SerialRow + i / 4, i % 4 + 1, i < serial.size() ? serial[i].unicode() & 0xFF : 0);
}

QString Eeprom::serial() const
{
    QString out;
    for (int i = 0; i < 16; ++i) {
        const int b = byte(SerialRow + i / 4, i % 4 + 1);
        if (b != 0)
            out += QChar(b);
    }
    return out;
}

QByteArray Eeprom::image() const
{
    QByteArray out;
    out.reserve(image::Length);
    for (int r = 0; r < Rows; ++r) {
        out += row(r).toLatin1();
        out += ',';
    }
    out += "OK\r";
    return out;
}

QByteArray Eeprom::text() const
{
    const QByteArray serialText = serial().isEmpty() ? QByteArray("none") : serial().toLatin1();
    QByteArray out = "# psucal-sim EEPROM, serial " + serialText + '\n';
    for (int r = 0; r < Rows; ++r)
        out += image::RowLine(r, row(r)).toLatin1() + '\n';
    return out;
}

} // namespace psucal::sim
