#include "sim/DisplayError.h"

#include "sim/Random.h"

namespace psucal::sim {

namespace {
constexpr double VoltStep = 0.01;
constexpr double AmpStep = 0.001;
// In display steps: offset and gain (at the rated output) each up to this either way, the
// load drift up to LoadSteps at the rated current.
constexpr double Steps = 3;
constexpr double LoadSteps = 2;
// Its own stream, so the output errors and as-found cells of a seed stay as they are.
constexpr quint64 Stream = 1ull << 32;
} // namespace

DisplayError DisplayError::Of(quint32 seed, double ratedVolts, double ratedAmps)
{
    Random rnd(Stream + seed);
    DisplayError e;
    e.ratedAmps = ratedAmps > 0 ? ratedAmps : 1;
    e.voltOffset = rnd.uniform(-Steps, Steps) * VoltStep;
    e.voltGain = ratedVolts > 0 ? rnd.uniform(-Steps, Steps) * VoltStep / ratedVolts : 0;
    e.voltPerAmp = -rnd.uniform(0, LoadSteps) * VoltStep / e.ratedAmps;
    e.ampOffset = rnd.uniform(-Steps, Steps) * AmpStep;
    e.ampGain = rnd.uniform(-Steps, Steps) * AmpStep / e.ratedAmps;
    e.ampWarm = rnd.uniform(-LoadSteps, LoadSteps) * AmpStep;
    return e;
}

double DisplayError::volts(double volts, double amps) const
{
    return volts > 0 ? voltOffset + voltGain * volts + voltPerAmp * amps : 0.0;
}

double DisplayError::amps(double amps) const
{
    const double load = amps / ratedAmps;
    return amps > 0 ? ampOffset + ampGain * amps + ampWarm * load * load : 0.0;
}

} // namespace psucal::sim
