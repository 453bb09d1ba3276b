#include "bench/SampleReport.h"

#include "core/Numbers.h"

#include <cmath>

namespace psucal::bench {

namespace {

// Small, smooth deviations so the charts show lines rather than noise.
void Fill(SpotGrid& grid, double scale, int failingSpot)
{
    const int decimals = grid.valueDecimals();
    for (int r = SpotGrid::FirstSpotRow; r < grid.rowCount(); ++r) {
        SpotResult& spot = *grid.spot(r);
        const double display = num::RoundTo(spot.setting + scale * (0.3 + 0.2 * std::sin(r)), decimals);
        double output = display + scale * 1.5 * std::cos(0.7 * r);
        if (r - 1 == failingSpot)
            output = display + scale * 20;
        spot.display = display;
        spot.displayCheck = Verdict::Pass;
        spot.mean = num::RoundTo(output, decimals);
        grid.judgeOutput(r);
    }
}

} // namespace

QString Serial(int unit)
{
    return QStringLiteral("SIM%1").arg(unit, 5, 10, QLatin1Char('0'));
}

SampleReport::SampleReport(const QString& serial, int spots, int failingSpot)
{
    const float maxV = 40.0f, maxI = 5.0f;
    voltage.writeHeaders();
    current.writeHeaders();
    voltage.BuildVoltageSpots(spots, SpotGrid::VoltageSpotStep(maxV, spots), maxV);
    current.BuildCurrentSpots(spots, SpotGrid::CurrentSpotStep(maxI, spots), maxI);
    Fill(voltage, 0.01, failingSpot);
    Fill(current, 0.001, 0);

    data = std::make_unique<ReportData>(voltage, current);
    data->ClientModel = QStringLiteral("PSU-40");
    data->SerialNo = serial;
    data->MaxV = maxV;
    data->MaxI = maxI;
    data->rating = FindRating(static_cast<int>(maxV));
    data->EquipmentText = QStringLiteral("HP 34401A, shunt 1 mOhm");
    data->AmbientTemp = QStringLiteral("23");
    data->TestedBy = QStringLiteral("QA-017");
    data->StartDate = QDate(2026, 3, 14);
    data->AllPass = failingSpot == 0;
    data->SpotCount = spots;
}

} // namespace psucal::bench
