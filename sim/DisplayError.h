#pragma once

#include <QtGlobal>

namespace psucal::sim {

// How far a unit's own display reads off what leaves its terminals: a gain and an offset of a
// few display steps each, and a drift with load (the voltage reading sags with the current
// drawn, the current reading creeps as its sense resistor warms). Seeded, like the rest of the
// unit; the default one reads true.
struct DisplayError {
    double voltOffset = 0; // V
    double voltGain = 0;   // relative
    double voltPerAmp = 0; // V per A drawn
    double ampOffset = 0;  // A
    double ampGain = 0;    // relative
    double ampWarm = 0;    // A at the rated current, growing with its square
    double ratedAmps = 1;

    static DisplayError Of(quint32 seed, double ratedVolts, double ratedAmps);

    // What the display adds to the true output. A display shows nothing for a quantity that is
    // zero, so an idle reading stays at zero.
    double volts(double volts, double amps) const;
    double amps(double amps) const;
};

} // namespace psucal::sim
