#include "sim/UnitErrors.h"

#include "sim/DisplayError.h"
#include "sim/PointScale.h"
#include "sim/Random.h"

#include <cmath>
#include <functional>
#include <numbers>

namespace psucal::sim {

namespace {

struct Shape {
    double offset; // largest offset
    double gain;   // largest relative gain error
    double bend;   // amplitude of the non-linearity
    double jitter; // point-to-point scatter
    double resolution;
    double defect; // extra error of a defective unit's upper half
};

constexpr Shape VoltageShape{0.12, 0.004, 0.03, 0.01, 0.01, 3.0};
constexpr Shape CurrentShape{0.015, 0.003, 0.004, 0.001, 0.001, 0.3};

// `shown(set)` is what the display adds near a point. A calibration trims the cells against the
// display, so the sum, not the output error alone, has to sit well on the display's grid.
QVector<double> Errors(const PointScale& scale, const Shape& shape, Random& rnd, bool defect, bool voltage,
                       const std::function<double(double)>& shown)
{
    const double offset = rnd.uniform(-shape.offset, shape.offset);
    const double gain = rnd.uniform(-shape.gain, shape.gain);
    const double bend = rnd.uniform(-shape.bend, shape.bend);
    const double phase = rnd.uniform(0, 2 * std::numbers::pi);
    const double full = scale.setPoint(scale.count() - 1);
    // A cell unit moves this output by `step` display counts.
    const int step = static_cast<int>(std::lround(1.0 / scale.gain));

    QVector<double> out;
    for (int i = 0; i < scale.count(); ++i) {
        const double set = scale.setPoint(i);
        double e = offset + gain * set + bend * std::sin(2 * std::numbers::pi * set / full + phase) +
                   rnd.uniform(-shape.jitter, shape.jitter);
        const double display = shown(set);
        long counts = std::lround((e + display) / shape.resolution);
        // Where a cell unit moves the voltage by several counts, the damped correction lands
        // 0..(step-1) counts above its target; a point left one count under the window would
        // never move again, and no unit we model behaves that way.
        if (voltage && step > 1) {
            const long r = ((counts % step) + step) % step;
            if (r < step / 2)
                counts += step / 2 - r;
            else if (r > step / 2 + 1)
                counts -= r - (step / 2 + 1);
        }
        // Keep clear of the display's rounding boundary, so a reading never flickers.
        e = counts * shape.resolution + rnd.uniform(-0.3, 0.3) * shape.resolution - display;
        if (defect && i >= scale.count() / 2)
            e += shape.defect;
        out.append(e);
    }
    return out;
}

QVector<int> Found(const PointScale& scale, Random& rnd)
{
    QVector<int> out;
    for (int i = 0; i < scale.count(); ++i)
        out.append(rnd.integer(-5, 5));
    return out;
}

} // namespace

UnitErrors::UnitErrors(const PointScale& voltage, const PointScale& current, quint32 seed, bool defect,
                       const DisplayError& display)
{
    Random rnd(seed);
    voltage_ = Errors(voltage, VoltageShape, rnd, defect, true, [&](double v) { return display.volts(v, 0); });
    current_ = Errors(current, CurrentShape, rnd, defect, false, [&](double a) { return display.amps(a); });
    foundVoltage_ = Found(voltage, rnd);
    foundCurrent_ = Found(current, rnd);
}

} // namespace psucal::sim
