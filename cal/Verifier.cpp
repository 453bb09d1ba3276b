#include "cal/Verifier.h"

#include "cal/DecisionRule.h"
#include "cal/Quantity.h"
#include "cal/Uncertainty.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Numbers.h"
#include "core/StatusText.h"
#include "core/WizardCaption.h"
#include "link/MeterLink.h"
#include "link/SupplyLink.h"
#include "spots/Band.h"
#include "link/Transport.h"
#include "spots/SpotGrid.h"

#include <cmath>

namespace psucal {

// What differs between the two passes, spot by spot.
// The set command, its frame scale, the display field, the acceptance window and the failure
// reporter come with the quantity, as in the calibration.
struct Verifier::Plan {
    const cal::Quantity& q;
    bool current;
    const char* name;
    double setTimeout;
    double settle;           // after the set point
    double displayDelay;     // before the display is read
    bool silentDisplayFails; // a display read nobody answers fails the pass
    int readCount;           // fewest characters of a reading
    double readTimeout;
    double beforeReading;
    double afterReading;
    const char* function;               // the meter's function,
    double (*range)(const BenchState&); // its range in volts,
    const char* resolution;             // and its resolution
    bool shunt;                         // the meter reads the shunt's voltage
    bool roundEach;                     // each reading rounded to the grid's resolution before the mean
    double BenchState::*windowOffset;
};

const Verifier::Plan Verifier::VoltagePlan{
    .q = cal::VoltageQuantity,
    .current = false,
    .name = "voltage",
    .setTimeout = 0.2,
    .settle = 0.3,
    .displayDelay = 0.2,
    .silentDisplayFails = false,
    .readCount = 14,
    .readTimeout = 0.6,
    .beforeReading = 0.1,
    .afterReading = 0.0,
    .function = "VOLT:DC",
    .range = [](const BenchState& st) { return st.MaxV; },
    .resolution = "0.01",
    .shunt = false,
    .roundEach = false,
    .windowOffset = &BenchState::RigorOffsetV,
};
const Verifier::Plan Verifier::CurrentPlan{
    .q = cal::CurrentQuantity,
    .current = true,
    .name = "current",
    .setTimeout = 0.1,
    .settle = 0.4,
    .displayDelay = 0.0,
    .silentDisplayFails = true,
    .readCount = 17,
    .readTimeout = 0.9,
    .beforeReading = 0.0,
    .afterReading = 0.2,
    .function = "VOLT:DC",
    .range = [](const BenchState&) { return 1.0; }, // the shunt gives millivolts
    .resolution = "0.000001",
    .shunt = true,
    .roundEach = true,
    .windowOffset = &BenchState::RigorOffsetC,
};

Verifier::Verifier(BenchState& state, BenchUi& ui, SupplyLink& supply, MeterLink& meter, SpotGrid& gridV,
                   SpotGrid& gridC)
    : st_(state), ui_(ui), supply_(supply), meter_(meter), gridV_(gridV), gridC_(gridC)
{
}

SpotGrid& Verifier::grid(const Plan& plan)
{
    return plan.current ? gridC_ : gridV_;
}

void Verifier::VerifyVoltage()
{
    const Plan& p = VoltagePlan;
    const int wording = StatusWording(st_.RunMode);
    st_.VoltPass = false;
    st_.AllPass = false;
    ui_.setBusy(true);
    ui_.setStatus(2, VerifyText(wording, VoltageStep));
    supply_.Delay(0.4);
    supply_.switchOutput(true);
    supply_.Delay(0.1);

    bool pass = false;
    if (sameRating(p) && meterReady()) {
        configureMeter(p);
        supply_.setVoltage(5.0);
        if (gridV_.spotCount() > 0)
            ui_.scrollGrid(false, SpotGrid::FirstSpotRow);
        supply_.Delay(0.6);
        supply_.WaitOutputLow(false);
        pass = measureSpots(p);
    }
    // The operator shorts the terminals next: up to 60 V must not be left on them.
    supply_.setVoltage(5.0);
    meter_.send(QStringLiteral(":SYST:LOCal"), 0.2);
    supply_.Delay(0.2);

    ui_.full().step[1] = st_.AbortFlag ? 0 : 2;
    ui_.setCaption(caption::Design);
    ui_.setStatus(2, VerifyText(wording, CurrentStep));
    st_.VoltPass = pass && !st_.AbortFlag;
    st_.AllPass = st_.VoltPass && st_.CurrPass;
    st_.AbortFlag = true;
    ui_.setBusy(false);
}

void Verifier::VerifyCurrent()
{
    const Plan& p = CurrentPlan;
    st_.CurrPass = false;
    st_.AllPass = false;
    ui_.setBusy(true);
    ui_.setStatus(2, VerifyText(StatusWording(st_.RunMode), CurrentStep));
    supply_.setVoltage(5.0);
    supply_.Delay(0.1);

    bool pass = false;
    if (sameRating(p) && meterReady()) {
        if (gridC_.spotCount() > 0)
            ui_.scrollGrid(true, SpotGrid::FirstSpotRow);
        supply_.Delay(0.5);
        supply_.switchOutput(false);
        configureMeter(p);
        supply_.Delay(0.5);
        supply_.WaitOutputLow(true);
        pass = measureSpots(p);
    }
    meter_.send(QStringLiteral(":SYST:LOCal"), 0.2);
    supply_.Delay(0.2);

    if (st_.AbortFlag) {
        ui_.full().step[2] = 0;
        ui_.fullChanged();
    } else {
        ui_.full().step[2] = 2;
        ui_.setCaption(caption::Fulfill);
    }
    st_.CurrPass = pass && !st_.AbortFlag;
    st_.AllPass = st_.CurrPass && st_.VoltPass;
    ui_.setBusy(false);
}

void Verifier::ShowResultsView()
{
    st_.MeterSeen = true;
    ui_.fullChanged();
    ui_.showResultsView();
}

// The pass was planned for the unit the page started with: a unit that now answers with no
// valid rating, or another one, is not verified against the wrong spots and limits.
bool Verifier::sameRating(const Plan& plan)
{
    const int model = ui_.model();
    const double maxV = st_.MaxV;
    const double maxI = st_.MaxI;
    const QString expected = st_.RatingText;
    if (identify_)
        identify_(plan.current ? 1 : 0);
    if (model >= 0 && ui_.model() == model && st_.MaxV == maxV && st_.MaxI == maxI)
        return true;
    const QString found = ui_.model() < 0 ? QStringLiteral("no valid rating") : st_.RatingText;
    ui_.messageBox(QStringLiteral("The supply's rating changed before the %1 pass (%2 expected, %3 found): nothing "
                                  "was verified.")
                       .arg(QLatin1String(plan.name), model < 0 ? QStringLiteral("a valid rating") : expected, found));
    plan.q.fail(st_);
    return false;
}

double Verifier::meterScale(const Plan& p) const
{
    return p.shunt ? 1.0 / st_.ShuntOhm : 1.0;
}

void Verifier::configureMeter(const Plan& p)
{
    meter_.send(QStringLiteral(":SYST:REM"), 0.2);
    // Once a pass, and under remote control: a meter in local may not answer the bus.
    st_.MeterIdentity = meter_.Identify();
    identifyMeter();
    meter_.send(QStringLiteral(":CONF:%1 %2,%3")
                    .arg(QLatin1String(p.function), num::Shortest(p.range(st_)), QLatin1String(p.resolution)),
                0.2);
}

// A meter that cannot be reached fails the pass at once, with the reason, instead of spot after spot.
bool Verifier::meterReady()
{
    Transport& port = meter_.port();
    // A connection that failed before is tried afresh.
    if (!port.isOpen()) {
        port.close();
        port.open();
    }
    return !meterLost();
}

bool Verifier::meterLost()
{
    const Transport& port = meter_.port();
    if (port.isOpen())
        return false;
    const QString why = port.errorText();
    ui_.messageBox(why.isEmpty() ? QStringLiteral("The meter port %1 cannot be opened.").arg(port.portName())
                                 : QStringLiteral("No meter: %1").arg(why));
    return true;
}

// Only a meter whose accuracy is known gives uncertainties; the verdicts then fall back on the
// limits alone. A plain run works none out, so that its report stays as it was.
void Verifier::identifyMeter()
{
    const QString model = cal::IdnModel(st_.MeterIdentity);
    const std::optional<cal::MeterAccuracy> accuracy = cal::FindMeterAccuracy(model);
    accuracy_.reset();
    if (st_.GuardRule || st_.Certificate)
        accuracy_ = accuracy;
    if (st_.MeterIdentity.isEmpty())
        ui_.note(QStringLiteral("The meter did not say what it is (*IDN?): no uncertainties"));
    else if (!accuracy)
        ui_.note(QStringLiteral("Meter %1: the accuracy of model %2 is not known, no uncertainties")
                     .arg(st_.MeterIdentity, model));
    else
        ui_.note(QStringLiteral("Meter %1").arg(st_.MeterIdentity));
}

// True when every spot was measured and passed its output check.
bool Verifier::measureSpots(const Plan& p)
{
    SpotGrid& g = grid(p);
    ui_.setProgressMax(g.spotCount());
    ui_.setProgressValue(0);
    bool pass = g.spotCount() > 0;
    for (int row = SpotGrid::FirstSpotRow; row < g.rowCount(); ++row) {
        if (!(supply_.*p.q.set)(g.spot(row)->setting, p.setTimeout))
            p.q.fail(st_);
        supply_.Delay(p.settle);
        if (st_.AbortFlag)
            return false;
        ui_.scrollGrid(p.current, row);
        if (p.displayDelay > 0)
            supply_.Delay(p.displayDelay);
        bool silent = false;
        const std::optional<DisplayReading> shown = supply_.ReadDisplay(&silent);
        if (silent && p.silentDisplayFails)
            p.q.fail(st_);
        if (st_.AbortFlag)
            return false;

        const Output output = readOutput(p);
        if (st_.AbortFlag || meterLost())
            return false;
        if (output.mean && !st_.MeterSeen)
            ShowResultsView();
        std::optional<double> display;
        if (shown)
            display = (*shown).*p.q.shown;
        writeSpot(p, row, display, output, pass);
        ui_.setProgressValue(ui_.progressValue() + 1);
    }
    return pass;
}

// Every answer of the meter, and the mean of their magnitudes (the shunt may be wired either way
// round); a silent, zero or overloaded meter gives none.
Verifier::Output Verifier::readOutput(const Plan& p)
{
    const int decimals = grid(p).valueDecimals();
    const int count = st_.MeterSeen ? 5 : 1;
    Output out;
    double sum = 0;
    int taken = 0;
    for (int i = 0; i < count; ++i) {
        if (p.beforeReading > 0)
            supply_.Delay(p.beforeReading);
        const std::optional<double> reading = meter_.ReadMeter(QStringLiteral(":READ?"), p.readCount, p.readTimeout);
        if (reading)
            out.readings.append(Reading{meter_.lastReply(), *reading});
        if (p.afterReading > 0)
            supply_.Delay(p.afterReading);
        double value = reading ? std::fabs(*reading) * meterScale(p) : 0.0;
        if (p.roundEach)
            value = num::RoundTo(value, decimals);
        if (value > 0) {
            sum += value;
            ++taken;
        }
        if (st_.AbortFlag)
            break;
    }
    if (const double mean = taken > 0 ? num::RoundTo(sum / taken, decimals) : 0.0; mean > 0)
        out.mean = mean;
    return out;
}

// A spot without a display reading is left empty and fails: it is never judged against another
// spot's display. Without an output the spot keeps the one it had.
void Verifier::writeSpot(const Plan& p, int row, const std::optional<double>& display, const Output& output, bool& pass)
{
    SpotGrid& g = grid(p);
    SpotResult* spot = g.spot(row);
    if (!spot) { // the spots were rebuilt while the meter was read
        pass = false;
        return;
    }
    spot->display = display;
    spot->readings = output.readings;
    spot->rangeV = p.range(st_);
    spot->function = QLatin1String(p.function);
    if (display) {
        const double lower = st_.*p.q.windowLow - st_.*p.windowOffset;
        const double upper = st_.*p.q.windowHigh + st_.*p.windowOffset;
        spot->displayCheck = spots::DisplayWithinWindow(p.current, spot->setting, *display, lower, upper)
                                 ? Verdict::Pass
                                 : Verdict::Fail;
        spot->displayLimits = {spot->setting + lower, spot->setting + upper, std::nullopt};
    } else {
        spot->displayCheck = Verdict::NotMeasured;
        spot->displayLimits = {};
        pass = false;
    }
    if (output.mean) {
        spot->mean = output.mean;
        g.setEntry(row, std::nullopt);
        const bool ok = display && spots::OutputWithinBand(p.current, *display, *output.mean);
        spot->outputCheck = ok ? Verdict::Pass : Verdict::Fail;
    }
    spot->outputLimits = {};
    if (display) {
        const double band = spots::Band(p.current, *display);
        spot->outputLimits = {*display - band, *display + band, std::nullopt};
    }
    if (display && output.mean && accuracy_)
        judge(p, *spot, output);
    if (output.mean)
        pass = pass && spot->outputCheck == Verdict::Pass;
    else
        pass = false;
    ui_.gridChanged(p.current, row);
    if (st_.MeterSeen)
        ui_.redrawChart(p.current);
}

// Both checks' uncertainties, and under the guarded rule the verdicts that take them into account.
void Verifier::judge(const Plan& p, SpotResult& spot, const Output& output)
{
    const std::optional<cal::RangeAccuracy> range = accuracy_->rangeFor(p.range(st_));
    if (!range)
        return;
    const double scale = meterScale(p);
    cal::UncertaintyInput in;
    in.readingV = *spot.mean / scale;
    in.rangeV = range->rangeV;
    in.pctReading = range->pctReading;
    in.pctRange = range->pctRange;
    in.resolutionV = QByteArray(p.resolution).toDouble();
    in.scale = scale;
    if (p.shunt)
        in.shuntTolPct = st_.ShuntTol;
    for (const Reading& r : output.readings)
        in.readings.append(std::fabs(r.value) * scale);
    spot.outputLimits.U = cal::Budget(in).expanded();
    // The display's step is the resolution its error is judged at.
    spot.displayLimits.U = cal::DisplayBudget(std::pow(10.0, -p.q.errorDecimals)).expanded();

    if (!st_.GuardRule)
        return;
    const auto guarded = [](double value, const CheckLimits& l) {
        return cal::Judge(cal::DecisionRule::Guard, value, l.lower, l.upper, *l.U);
    };
    spot.displayCheck = guarded(*spot.display, spot.displayLimits);
    spot.outputCheck = guarded(*spot.mean, spot.outputLimits);
}

} // namespace psucal
