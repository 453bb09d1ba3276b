#include "spots/Band.h"

#include "core/Numbers.h"

#include <cmath>
#include <cstdlib>

namespace psucal::spots {

namespace {
constexpr double Epsilon = 1e-6; // far below one display unit
int Scale(bool current)
{
    return current ? 1000 : 100;
}
} // namespace

double VoltageBand(double display)
{
    return 0.01 * display + (display <= 5.0 ? 0.05 : 0.02);
}

double CurrentBand(double display)
{
    return 0.01 * display + (display <= 0.5 ? 0.005 : 0.002);
}

double Band(bool current, double display)
{
    return current ? CurrentBand(display) : VoltageBand(display);
}

int ToUnits(bool current, double value)
{
    if (!std::isfinite(value))
        return 0;
    return static_cast<int>(num::RoundTo(value * Scale(current), 0));
}

bool OutputWithinBand(bool current, double display, double output)
{
    if (!std::isfinite(display) || !std::isfinite(output))
        return false;
    const int d = ToUnits(current, display);
    const int o = ToUnits(current, output);
    const double band = Band(current, static_cast<double>(d) / Scale(current)) * Scale(current);
    return std::abs(o - d) <= band + Epsilon;
}

bool DisplayWithinWindow(bool current, double setting, double display, double lower, double upper)
{
    if (!std::isfinite(setting) || !std::isfinite(display))
        return false;
    const int error = ToUnits(current, display) - ToUnits(current, setting);
    return error >= ToUnits(current, lower) && error <= ToUnits(current, upper);
}

} // namespace psucal::spots
