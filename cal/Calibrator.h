#pragma once

#include "cal/Backup.h"

#include <QString>

namespace psucal {

class BenchUi;
class SupplyLink;
struct BenchState;

struct SweepTable;

namespace cal {
struct Quantity;
} // namespace cal

// The calibration steps of the wizard: walk the model's calibration cells and correct each one
// against the supply's own display. Results reach the wizard through AbortFlag, FailText and
// Unconverged; the model is the one selected in CmbModel.
class Calibrator {
public:
    Calibrator(BenchState& state, BenchUi& ui, SupplyLink& link, QString programDir);

    // One point: "V" or "C" and a number ("V1.0", "C0,04"); cell CurCell of row CurRow.
    void AdjustPoint(const QString& setPoint);

    // Output terminals open.
    void CalibrateVoltage();
    // Output terminals short-circuited.
    void CalibrateCurrent();

    Backup& backup() { return backup_; }

private:
    void sweep(const cal::Quantity& q);
    QString setPointText(const cal::Quantity& q, const SweepTable& t, int row, int cell) const;

    void adjust(const cal::Quantity& q, const SweepTable& t, double set, const QString& text);
    bool writeCorrection(const cal::Quantity& q, const SweepTable& t, double set, double display, double error);
    void retrigger(const cal::Quantity& q, double set);
    bool setOutput(const cal::Quantity& q, double value, double timeout);
    bool insideWindow(const cal::Quantity& q, double error) const;
    void warnOpenTerminals();

    BenchState& st_;
    BenchUi& ui_;
    SupplyLink& link_;
    Backup backup_;
};

} // namespace psucal
