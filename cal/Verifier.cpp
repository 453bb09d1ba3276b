#include "cal/Verifier.h"

#include "cal/ModelTables.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Numbers.h"
#include "core/StatusText.h"
#include "core/WizardCaption.h"
#include "link/MeterLink.h"
#include "link/SupplyLink.h"
#include "link/Transport.h"
#include "spots/SpotGrid.h"

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
    double displayDelay;     // before "GETD"
    bool silentDisplayFails; // a "GETD" nobody answers fails the pass
    int readCount;           // fewest characters of a reading
    double readTimeout;
    double beforeReading;
    double afterReading;
    double meterScale; // the shunt turns 1 mV into 1 A
    bool roundEach;    // each reading rounded to the grid's resolution before the mean
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
    .meterScale = 1.0,
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
    .meterScale = 1000.0,
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
    supply_.SendCommand(QStringLiteral("SOUT"), QStringLiteral("1"), 3, 0.2);
    supply_.Delay(0.1);

    bool pass = false;
    if (sameRating(p) && meterReady()) {
        meter_.ReadMeter(QStringLiteral(":SYST:REM"), 2, 0.2);
        meter_.ReadMeter(QStringLiteral(":CONF:VOLT:DC ") + num::Shortest(st_.MaxV) + QStringLiteral(",0.01"), 2, 0.2);
        supply_.SendCommand(QStringLiteral("VOLT"), QStringLiteral("050"), 2, 0.1);
        if (gridV_.spotCount() > 0)
            ui_.scrollGrid(false, SpotGrid::FirstSpotRow);
        supply_.Delay(0.6);
        supply_.WaitOutputLow(false);
        pass = measureSpots(p);
    }
    // The operator shorts the terminals next: up to 60 V must not be left on them.
    supply_.SendCommand(QStringLiteral("VOLT"), QStringLiteral("050"), 2, 0.1);
    meter_.ReadMeter(QStringLiteral(":SYST:LOCal"), 2, 0.2);
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
    supply_.SendCommand(QStringLiteral("VOLT"), QStringLiteral("050"), 2, 0.1);
    supply_.Delay(0.1);

    bool pass = false;
    if (sameRating(p) && meterReady()) {
        if (gridC_.spotCount() > 0)
            ui_.scrollGrid(true, SpotGrid::FirstSpotRow);
        supply_.Delay(0.5);
        supply_.SendCommand(QStringLiteral("SOUT"), QStringLiteral("0"), 3, 0.2);
        meter_.ReadMeter(QStringLiteral(":SYST:REM"), 2, 0.2);
        meter_.ReadMeter(QStringLiteral(":CONF:VOLT:DC 1,0.000001"), 2, 0.2);
        supply_.Delay(0.5);
        supply_.WaitOutputLow(true);
        pass = measureSpots(p);
    }
    meter_.ReadMeter(QStringLiteral(":SYST:LOCal"), 2, 0.2);
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

// The meter is asked who it is once a pass. A meter that cannot be reached fails the pass at
// once, with the reason, instead of spot after spot.
bool Verifier::meterReady()
{
    Transport& port = meter_.port();
    // A connection that failed before is tried afresh.
    if (!port.isOpen())
        port.close();
    st_.MeterIdentity = meter_.Identify();
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

// True when every spot was measured and passed its output check.
bool Verifier::measureSpots(const Plan& p)
{
    SpotGrid& g = grid(p);
    ui_.setProgressMax(g.spotCount());
    ui_.setProgressValue(0);
    bool pass = g.spotCount() > 0;
    for (int row = SpotGrid::FirstSpotRow; row < g.rowCount(); ++row) {
        const double setting = g.number(row, SpotGrid::SettingColumn);
        const QString data = num::Digits(setting * p.q.frameScale, 3);
        if (supply_.SendCommand(QLatin1String(p.q.command), data, 2, p.setTimeout).isEmpty())
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

        const double output = readOutput(p);
        if (st_.AbortFlag || meterLost())
            return false;
        if (output > 0 && !st_.MeterSeen)
            ShowResultsView();
        std::optional<double> display;
        if (shown)
            display = (*shown).*p.q.shown;
        writeSpot(p, row, display, output, pass);
        ui_.setProgressValue(ui_.progressValue() + 1);
    }
    return pass;
}

// Mean of the readings above 0 (a silent, zero or overloaded meter gives none); 0 without any.
double Verifier::readOutput(const Plan& p)
{
    const int decimals = grid(p).valueDecimals();
    const int count = st_.MeterSeen ? 5 : 1;
    double sum = 0;
    int taken = 0;
    for (int i = 0; i < count; ++i) {
        if (p.beforeReading > 0)
            supply_.Delay(p.beforeReading);
        double reading = meter_.ReadMeter(QStringLiteral(":READ?"), p.readCount, p.readTimeout);
        if (p.afterReading > 0)
            supply_.Delay(p.afterReading);
        if (reading > 0 && p.roundEach)
            reading = num::RoundTo(reading * p.meterScale, decimals);
        if (reading > 0) {
            sum += reading;
            ++taken;
        }
        if (st_.AbortFlag)
            break;
    }
    return taken > 0 ? num::RoundTo(sum / taken, decimals) : 0.0;
}

// A spot without a display reading is left empty and fails: it is never judged against another
// spot's display.
void Verifier::writeSpot(const Plan& p, int row, const std::optional<double>& display, double output, bool& pass)
{
    SpotGrid& g = grid(p);
    const int decimals = g.valueDecimals();
    if (display) {
        g.setText(row, SpotGrid::DisplayColumn, num::Fixed(*display, decimals));
        const double lower = st_.*p.q.windowLow - st_.*p.windowOffset;
        const double upper = st_.*p.q.windowHigh + st_.*p.windowOffset;
        g.setColor(row, SpotGrid::DisplayColumn,
                   g.displayPasses(row, lower, upper) ? SpotGrid::PassColor : SpotGrid::FailColor);
    } else {
        g.setText(row, SpotGrid::DisplayColumn, QString());
        g.setColor(row, SpotGrid::DisplayColumn, QColor());
        pass = false;
    }
    if (output > 0) {
        g.setText(row, SpotGrid::OutputColumn, num::Fixed(output, decimals));
        const bool ok = display && g.outputPasses(row);
        g.setColor(row, SpotGrid::OutputColumn, ok ? SpotGrid::PassColor : SpotGrid::FailColor);
        pass = pass && ok;
    } else {
        pass = false;
    }
    ui_.gridChanged(p.current, row);
    if (st_.MeterSeen)
        ui_.redrawChart(p.current);
}

} // namespace psucal
