#pragma once

#include "cal/MeterAccuracy.h"
#include "spots/SpotResult.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace psucal {

class BenchUi;
class MeterLink;
class SpotGrid;
class SupplyLink;
struct BenchState;

// The verification passes of run modes 0-2: the supply is stepped through the test spots of
// FGridV or FGridC, its display and the meter's reading are written into the grid and judged.
// A pass flag is True only when every spot was measured and passed, and the pass was not
// stopped or failed.
class Verifier {
public:
    Verifier(BenchState& state, BenchUi& ui, SupplyLink& supply, MeterLink& meter, SpotGrid& gridV, SpotGrid& gridC);

    // IdentifySupply of the wizard: asks the rating again and rebuilds the grid(s) of the selector.
    void setIdentify(std::function<void(int)> identify) { identify_ = std::move(identify); }

    // Output terminals open; ends with AbortFlag raised.
    void VerifyVoltage();
    // Output terminals short-circuited, the meter across the 1 mOhm shunt.
    void VerifyCurrent();

    // The meter has delivered for the first time: grids, charts and Print come into view.
    void ShowResultsView();

private:
    struct Plan;
    static const Plan VoltagePlan;
    static const Plan CurrentPlan;

    // The meter's answers at one spot and the output they make.
    struct Output {
        QList<Reading> readings;
        std::optional<double> mean;
    };

    bool sameRating(const Plan& plan);
    void configureMeter(const Plan& plan);
    bool meterReady();
    bool meterLost();
    double meterScale(const Plan& plan) const;
    bool measureSpots(const Plan& plan);
    Output readOutput(const Plan& plan);
    void identifyMeter();
    void judge(const Plan& p, SpotResult& spot, const Output& output);
    void writeSpot(const Plan& plan, int row, const std::optional<double>& display, const Output& output, bool& pass);
    SpotGrid& grid(const Plan& plan);

    BenchState& st_;
    BenchUi& ui_;
    SupplyLink& supply_;
    MeterLink& meter_;
    SpotGrid& gridV_;
    SpotGrid& gridC_;
    std::function<void(int)> identify_;
    std::optional<cal::MeterAccuracy> accuracy_; // of the meter this pass identified
};

} // namespace psucal
