#include "cal/Uncertainty.h"

#include <cmath>
#include <numeric>

namespace psucal::cal {

namespace {
const double Sqrt3 = std::sqrt(3.0);
const double Sqrt12 = std::sqrt(12.0);

// The standard deviation of the mean; a single reading has none.
double MeanDeviation(const QList<double>& values)
{
    const auto n = values.size();
    if (n < 2)
        return 0;
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / n;
    double squares = 0;
    for (double v : values)
        squares += (v - mean) * (v - mean);
    return std::sqrt(squares / (n - 1)) / std::sqrt(static_cast<double>(n));
}
} // namespace

double UncertaintyBudget::expanded() const
{
    return CoverageFactor * std::sqrt(meter * meter + resolution * resolution + shunt * shunt +
                                      repeatability * repeatability + display * display);
}

UncertaintyBudget Budget(const UncertaintyInput& in)
{
    UncertaintyBudget b;
    const double limitV = (in.pctReading * std::fabs(in.readingV) + in.pctRange * in.rangeV) / 100.0;
    b.meter = limitV * in.scale / Sqrt3;
    b.resolution = in.resolutionV * in.scale / Sqrt12;
    if (in.shuntTolPct)
        b.shunt = *in.shuntTolPct / 100.0 * std::fabs(in.readingV * in.scale) / Sqrt3;
    b.repeatability = MeanDeviation(in.readings);
    return b;
}

UncertaintyBudget DisplayBudget(double displayStep)
{
    UncertaintyBudget b;
    b.display = displayStep / Sqrt12;
    return b;
}

std::optional<double> Tur(double lower, double upper, double expandedU)
{
    if (!(expandedU > 0))
        return std::nullopt;
    return (upper - lower) / (2 * expandedU);
}

} // namespace psucal::cal
