#pragma once

namespace psucal {
struct SweepTable;
}

namespace psucal::sim {

// Calibration points of one quantity as the unit's firmware maps them: cell k (1..4) of row r
// stands for the set point first + step * ((r - firstRow) * 4 + k - 1).
struct PointScale {
    int firstRow = 0;
    int lastRow = -1;
    double first = 0;
    double step = 1;
    double gain = 1; // output moves cell / gain per cell value

    // The cells of `table`, answering with `gain`.
    static PointScale Of(const SweepTable& table, double gain);

    int count() const { return (lastRow - firstRow + 1) * 4; }
    double setPoint(int index) const { return first + step * index; }
    int row(int index) const { return firstRow + index / 4; }
    int cell(int index) const { return index % 4 + 1; }
    // The point that governs the output at `set`; halfway between two points the upper one.
    int nearest(double set) const;
};

} // namespace psucal::sim
