#pragma once

#include "core/Rating.h"

#include <QString>
#include <QtGlobal>

namespace psucal::sim {

enum class Terminals { Open, Short, Auto };

struct SupplyConfig {
    int ratingV = DefaultSimulatedVolts; // whole volts of a rating; anything else is a unit without a valid one
    quint32 seed = 1;
    QString serial = QStringLiteral("SIM40001");
    Terminals terminals = Terminals::Auto;
    // Part of the range is off by more than a cell can correct.
    bool defect = false;
    // Fresh board: no base data, no serial, all calibration cells zero.
    bool blank = false;
    // The display reads exactly what leaves the terminals and the meter's noise stays below its
    // last digit: for runs that must repeat exact figures.
    bool ideal = false;
};

} // namespace psucal::sim
