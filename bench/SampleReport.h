#pragma once

#include "report/ReportData.h"
#include "spots/SpotGrid.h"

#include <memory>

namespace psucal::bench {

// The spots of each unit in the filled results databases.
constexpr int Spots = 20;
// The serial of unit number `unit` in those databases: SIM00000 on.
QString Serial(int unit);

// A verified 40 V / 5 A unit with plausible readings, judged as the verification passes judge
// them; `failingSpot` (0: none) gets a voltage output outside its limit.
struct SampleReport {
    SpotGrid voltage{false};
    SpotGrid current{true};
    std::unique_ptr<ReportData> data;

    SampleReport(const QString& serial, int spots, int failingSpot = 0);
};

} // namespace psucal::bench
