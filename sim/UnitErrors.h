#pragma once

#include <QVector>
#include <QtGlobal>

namespace psucal::sim {

struct DisplayError;
struct PointScale;

// How far one unit's output is off at each calibration point before its cells correct it,
// and the cells it left the factory with. Seeded, so a seed names a unit.
class UnitErrors {
public:
    // A unit without a valid rating has no points and no errors.
    UnitErrors() = default;
    UnitErrors(const PointScale& voltage, const PointScale& current, quint32 seed, bool defect,
               const DisplayError& display);

    // Output error (V or A) at point `index`; 0 outside the points.
    double voltage(int index) const { return at(voltage_, index); }
    double current(int index) const { return at(current_, index); }
    // As-found cell contents, in cell units (0.01 V, 0.001 A).
    int foundVoltageUnits(int index) const { return foundVoltage_.value(index); }
    int foundCurrentUnits(int index) const { return foundCurrent_.value(index); }

private:
    static double at(const QVector<double>& v, int index) { return index >= 0 && index < v.size() ? v[index] : 0.0; }
    QVector<double> voltage_, current_;
    QVector<int> foundVoltage_, foundCurrent_;
};

} // namespace psucal::sim
