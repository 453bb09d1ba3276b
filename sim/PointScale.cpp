#include "sim/PointScale.h"

#include "core/Rating.h"

#include <algorithm>
#include <cmath>

namespace psucal::sim {

PointScale PointScale::Of(const SweepTable& table, double gain)
{
    return {.firstRow = table.firstRow,
            .lastRow = table.lastRow,
            .first = table.setPoint(table.firstRow, 1),
            .step = table.cellStep / 100.0,
            .gain = gain};
}

int PointScale::nearest(double set) const
{
    if (count() <= 0)
        return -1;
    // The small nudge keeps binary noise from turning a halfway set point downwards.
    const int index = static_cast<int>(std::floor((set - first) / step + 0.5 + 1e-9));
    return std::clamp(index, 0, count() - 1);
}

} // namespace psucal::sim
