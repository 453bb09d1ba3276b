#pragma once

#include <QString>

#include <array>

namespace psucal::sim {

// Calibration points of one quantity: cell k (1..4) of row r stands for the set point
// first + step * ((r - firstRow) * 4 + k - 1).
struct PointScale {
    int firstRow = 0;
    int lastRow = -1;
    double first = 0;
    double step = 1;
    double gain = 1; // output moves cell / gain per cell value

    int count() const { return (lastRow - firstRow + 1) * 4; }
    double setPoint(int index) const { return first + step * index; }
    int row(int index) const { return firstRow + index / 4; }
    int cell(int index) const { return index % 4 + 1; }
    // The point that governs the output at `set`; halfway between two points the upper one.
    int nearest(double set) const;
};

// What distinguishes the three ratings inside the unit.
struct Rating {
    int volts = 0;
    QString gmax;                    // the six digits the unit reports as its rating
    std::array<QString, 8> baseRows; // nibble text of EEPROM rows 0..7
    PointScale voltage;
    PointScale current;
};

// The rating of a 20, 40 or 60 V unit; nullptr for any other value.
const Rating* FindRating(int volts);

} // namespace psucal::sim
