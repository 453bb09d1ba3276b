#include "sim/Rating.h"

#include <algorithm>
#include <cmath>

namespace psucal::sim {

int PointScale::nearest(double set) const
{
    if (count() <= 0)
        return -1;
    // The small nudge keeps binary noise from turning a halfway set point downwards.
    const int index = static_cast<int>(std::floor((set - first) / step + 0.5 + 1e-9));
    return std::clamp(index, 0, count() - 1);
}

namespace {

// The 20 V unit's current limit (9.99 A) is the most its three-digit 0.01 A field can carry.
const Rating Ratings[] = {
    {20,
     QStringLiteral("200999"),
     {QStringLiteral("00000008"), QStringLiteral("3214?:04"), QStringLiteral("0:0:0000"), QStringLiteral("00<903>7"),
      QStringLiteral("00000000"), QStringLiteral("50500103"), QStringLiteral("00000000"), QStringLiteral("00<90000")},
     {59, 83, 0.8, 0.2, 1.0},
     {110, 141, 0.0, 0.08, 0.2}},
    {40,
     QStringLiteral("400500"),
     {QStringLiteral("00000008"), QStringLiteral("640:7=08"), QStringLiteral("0:0:0000"), QStringLiteral("019201?9"),
      QStringLiteral("00000000"), QStringLiteral("50500102"), QStringLiteral("00000000"), QStringLiteral("01920000")},
     {59, 108, 0.8, 0.2, 1.0},
     {110, 141, 0.0, 0.04, 0.5}},
    {60,
     QStringLiteral("600330"),
     {QStringLiteral("00000008"), QStringLiteral("<8057=08"), QStringLiteral("0:0:0000"), QStringLiteral("02580154"),
      QStringLiteral("00000000"), QStringLiteral("????0202"), QStringLiteral("00000000"), QStringLiteral("02580000")},
     {58, 95, 0.2, 0.4, 0.25},
     {110, 131, 0.0, 0.04, 0.5}},
};

} // namespace

const Rating* FindRating(int volts)
{
    for (const Rating& r : Ratings)
        if (r.volts == volts)
            return &r;
    return nullptr;
}

} // namespace psucal::sim
