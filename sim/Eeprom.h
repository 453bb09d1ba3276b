#pragma once

#include "link/EepromImage.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace psucal::sim {

// The supply's 160 rows of four bytes, as the unit stores them and as they travel
// (two nibble characters per byte, high nibble first).
class Eeprom {
public:
    static constexpr int Rows = image::Rows;
    static constexpr int SerialRow = image::SerialRow;

    // Eight nibble characters; "" for a row that does not exist.
    QString row(int r) const;
    // False (and nothing stored) unless r exists and text is exactly eight nibble characters.
    bool setRow(int r, const QString& text);

    int byte(int r, int cell) const { return bytes_[index(r, cell)]; }
    void setByte(int r, int cell, int value) { bytes_[index(r, cell)] = static_cast<std::uint8_t>(value); }

    // Sign-and-magnitude correction in units (0x80 and 0x00 are both zero).
    int signedUnits(int r, int cell) const;
    void setSignedUnits(int r, int cell, int units);

    // Up to 16 characters, one byte each, zero bytes after the last.
    void setSerial(const QString& serial);
    QString serial() const;

    // The whole-image reply: 160 blocks of eight characters and a separator, "OK", an end character.
    QByteArray image() const;
    // A "#" comment line, then one line per row in the format of psucal's backups
    // ("058 80 80 83 81"), so that a dump and a backup compare with diff.
    QByteArray text() const;

private:
    static int index(int r, int cell) { return r * 4 + cell - 1; }
    std::array<std::uint8_t, Rows * 4> bytes_{};
};

} // namespace psucal::sim
