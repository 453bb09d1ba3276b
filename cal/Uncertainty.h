#pragma once

#include <QList>

#include <optional>

namespace psucal::cal {

// Everything the output check's uncertainty budget is made of, in plain numbers. The meter reads
// volts; `scale` turns them into the check's unit (1 for voltage, 1 / shunt ohms for current).
struct UncertaintyInput {
    double readingV = 0;   // the meter's reading the accuracy applies to
    double rangeV = 0;     // the range it read on
    double pctReading = 0; // the meter's accuracy on that range
    double pctRange = 0;
    double resolutionV = 0; // the resolution the meter was configured for
    double scale = 1;
    std::optional<double> shuntTolPct; // current only
    QList<double> readings;            // every reading averaged, in the check's unit
};

// Standard uncertainties of the budget's parts, in the check's unit.
struct UncertaintyBudget {
    double meter = 0;
    double resolution = 0;
    double shunt = 0;
    double repeatability = 0;
    double display = 0;

    // k = 2 over the root sum of squares.
    double expanded() const;
};

constexpr double CoverageFactor = 2.0;

// The output check: meter, its resolution, the shunt for current, the readings' scatter.
UncertaintyBudget Budget(const UncertaintyInput& in);
// The display check compares the display with its own setting: no meter reading and no shunt take
// part, so the display's step is the budget's one term.
UncertaintyBudget DisplayBudget(double displayStep);

// Test uncertainty ratio: the width of the limits over twice the expanded uncertainty. Nothing
// when U is zero.
std::optional<double> Tur(double lower, double upper, double expandedU);

} // namespace psucal::cal
