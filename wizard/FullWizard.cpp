#include "wizard/FullWizard.h"

#include "wizard/PageGuard.h"
#include "wizard/References.h"
#include "wizard/RunProcedure.h"
#include "wizard/Wizard.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/StatusText.h"
#include "core/WizardCaption.h"
#include "report/PrintChecks.h"
#include "spots/SpotGrid.h"

#include <algorithm>

namespace psucal {

namespace {
const QString RatingUnknownFull = QStringLiteral("Supply rating unknown: nothing was calibrated or verified.");
} // namespace

FullWizard::FullWizard(BenchState& state, BenchUi& ui, Wizard& wizard, SpotGrid& gridV, SpotGrid& gridC)
    : st_(state), ui_(ui), wizard_(wizard), gridV_(gridV), gridC_(gridC), setup_(state, ui, gridV, gridC)
{
    wizard_.setFullIdentify([this](int selector) { setup_.identified(selector); });
}

bool FullWizard::busy() const
{
    return ui_.full().pageRunning;
}

void FullWizard::FormLoad(const QString& supplyPort, const QString& meterPort, bool eepEnabled)
{
    const PageGuard page(ui_);
    setup_.applyRunMode(eepEnabled);
    ui_.setCaption(caption::Design);
    wizard_.FormLoad(supplyPort, meterPort);
    clearUnitHeaders();
    for (int i = 0; i < 4; ++i)
        TxtH_Change(i, ui_.full().header[i]);
    TxtH_Change(HumidityBox, st_.Humidity);
    setup_.setAxisLabels();
}

void FullWizard::Command1_Click(int index)
{
    if (index == 1 && ui_.caption() == caption::Stop) {
        stopClick();
        return;
    }
    if (busy())
        return;
    st_.FailText.clear();
    if (index == 0) {
        if (ui_.full().backEnabled)
            backClick();
    } else if (ui_.caption() == caption::Design) {
        nextClick();
    } else if (ui_.caption() == caption::Fulfill) {
        fulfillClick();
    }
}

void FullWizard::nextClick()
{
    setBack(false);
    ui_.setCaption(caption::Stop);
    const auto& step = ui_.full().step;
    bool ran = true;
    if (step[2] == 2) {
        resetSteps();
        ui_.focusButton();
        ran = false;
    } else if (!referencesInDate()) {
        ran = false;
    } else if (step[1] == 2) {
        CurrentPage();
    } else if (step[0] == 2) {
        VoltagePage();
    } else if (st_.RunMode == 0 && ui_.model() >= 0) {
        DefinePage();
    } else {
        if (st_.RunMode == 0)
            ui_.messageBox(QStringLiteral("Plese select ' Max Output V & I ' ."));
        ran = false;
    }
    // "Stop" with nothing running would only confuse.
    if (!ran)
        ui_.setCaption(caption::Design);
    ui_.setBusy(false);
}

// Every page works the unit, and the run ends in verification: with a reference past its due
// date nothing starts, unless the operator allowed it when starting psucal.
bool FullWizard::referencesInDate()
{
    const QStringList overdue = OverdueReferences(st_, QDate::currentDate());
    st_.ReferenceOverdue = !overdue.isEmpty() && st_.AllowOverdue;
    if (overdue.isEmpty())
        return true;
    if (!st_.AllowOverdue) {
        ui_.refuse(OverdueRefusal(overdue));
        return false;
    }
    ui_.note(QStringLiteral("Reference overdue, run as allowed: %1").arg(overdue.join(QStringLiteral(" and "))));
    return true;
}

void FullWizard::stopClick()
{
    auto& step = ui_.full().step;
    if (step[2] >= 1) {
        step[0] = step[1] = 2;
        ui_.full().backEnabled = true;
    } else if (step[1] >= 1) {
        step[0] = 2;
        step[1] = 0;
        ui_.full().backEnabled = st_.RunMode == 0;
    } else if (step[0] >= 1) {
        step[0] = st_.RunMode == 0 ? 0 : 2;
        step[1] = 0;
        ui_.full().backEnabled = false;
    }
    step[2] = 0;
    ui_.setCaption(caption::Design);
    st_.AbortFlag = true;
    ui_.setBusy(false);
}

void FullWizard::fulfillClick()
{
    const PageGuard page(ui_);
    resetSteps();
    setBack(false);
    ui_.setCaption(caption::Design);
    // The next unit: its own backup, rating, spots and serial number; none of the last one's results.
    wizard_.identifyAgain(2);
    clearUnitHeaders();
    ui_.setBusy(false);
}

// Run mode 2 takes the client model and the tester anew for every unit.
void FullWizard::clearUnitHeaders()
{
    if (st_.RunMode != 2)
        return;
    TxtH_Change(0, QString());
    TxtH_Change(3, QString());
}

void FullWizard::backClick()
{
    auto& step = ui_.full().step;
    const int wording = StatusWording(st_.RunMode);
    if (step[2] >= 1) {
        step[0] = step[1] = 2;
        setBack(true);
        ui_.full().backFocused = true;
        ui_.setStatus(2, StatusText(wording, CurrentStep));
    } else if (step[1] >= 1) {
        step[0] = 2;
        step[1] = 0;
        ui_.setStatus(2, StatusText(wording, VoltageStep));
        setBack(st_.RunMode == 0);
    } else if (st_.RunMode == 0) {
        step[0] = step[1] = 0;
        ui_.setStatus(2, StatusText(wording, DefineStep));
        setBack(false);
    } else {
        setBack(false);
    }
    step[2] = 0;
    ui_.setCaption(caption::Design);
}

void FullWizard::resetSteps()
{
    setSteps(st_.RunMode != 0 ? 2 : 0, 0, 0);
}

void FullWizard::setSteps(int define, int voltage, int current)
{
    ui_.full().step = {define, voltage, current};
    ui_.fullChanged();
}

void FullWizard::setBack(bool enabled)
{
    ui_.full().backEnabled = enabled;
    if (!enabled)
        ui_.full().backFocused = false;
    ui_.fullChanged();
}

void FullWizard::DefinePage()
{
    const PageGuard page(ui_);
    setSteps(1, 0, 0);
    if (st_.OnlyRead) {
        ui_.full().step[0] = 2;
        setBack(true);
        ui_.setCaption(caption::Design);
        return;
    }
    st_.AbortFlag = false;
    RunProcedure(st_, procs_.define);
    ui_.full().step[0] = st_.AbortFlag ? 0 : 2;
    setBack(!st_.AbortFlag);
    ui_.setCaption(caption::Design);
    ui_.setProgressValue(0);
}

void FullWizard::VoltagePage()
{
    const PageGuard page(ui_);
    setSteps(2, 1, 0);
    st_.AbortFlag = false;
    calibrateAndVerify(false, procs_.calibrateVoltage, procs_.verifyVoltage);
    if (st_.FailText.isEmpty()) {
        setBack(true);
    } else {
        ui_.messageBox(st_.FailText);
        ui_.full().step[1] = 0;
        setBack(st_.RunMode == 0);
    }
    ui_.setCaption(caption::Design);
    ui_.setProgressValue(0);
    ui_.setBusy(false);
}

void FullWizard::CurrentPage()
{
    const PageGuard page(ui_);
    setSteps(2, 2, 1);
    st_.AbortFlag = false;
    calibrateAndVerify(true, procs_.calibrateCurrent, procs_.verifyCurrent);
    if (!st_.FailText.isEmpty()) {
        ui_.full().step[2] = 0;
        ui_.messageBox(st_.FailText);
    }
    setBack(true);
    ui_.focusButton();
    ui_.setCaption(st_.AbortFlag ? caption::Design : caption::Fulfill);
    ui_.setProgressValue(0);
    ui_.setBusy(false);
}

// A step without a valid rating has no points and no spots; the unit may have been connected
// since it was last asked, so it is asked once more.
bool FullWizard::ratingKnown()
{
    if (ui_.model() >= 0)
        return true;
    wizard_.identifyAgain(2);
    if (ui_.model() >= 0)
        return true;
    st_.FailText = RatingUnknownFull;
    st_.AbortFlag = true;
    return false;
}

// The pass over the unit as it arrived; false when it was stopped or failed. Its verdicts are
// history: the step's own pass after the adjustment decides.
bool FullWizard::verifyAsFound(bool current, const std::function<void()>& verify)
{
    ui_.setStatus(1, current ? QStringLiteral("As found: current, before adjustment")
                             : QStringLiteral("As found: voltage, before adjustment"));
    RunProcedure(st_, verify);
    const int step = current ? 2 : 1;
    if (ui_.full().step[step] != 2)
        return false;
    SpotGrid& g = current ? gridC_ : gridV_;
    for (int row = SpotGrid::FirstSpotRow; row < g.rowCount(); ++row)
        asFound_[current].append(*g.spot(row));
    if (asFoundShown_)
        asFoundShown_(current);
    ui_.setStatus(1, current ? QStringLiteral("As found shown: current; adjusting")
                             : QStringLiteral("As found shown: voltage; adjusting"));
    ui_.full().step[step] = 1;
    st_.AbortFlag = false;
    st_.FailText.clear();
    // Until the pass after the adjustment says otherwise, the unit has not passed: an adjustment
    // that fails must not leave the as-found verdict standing.
    (current ? st_.CurrPass : st_.VoltPass) = false;
    st_.AllPass = false;
    return true;
}

// Unless only reading, the step calibrates; a calibration that went through is verified. A pass
// that ran over all its spots, PASS or FAIL, counts towards the report.
void FullWizard::calibrateAndVerify(bool current, const std::function<void()>& calibrate,
                                    const std::function<void()>& verify)
{
    if (!ratingKnown())
        return;
    const bool adjust = !st_.OnlyRead && st_.RunMode != 1;
    asFound_[current].clear();
    if (adjust && st_.AsFound && !verifyAsFound(current, verify))
        return;
    if (adjust)
        RunProcedure(st_, calibrate);
    if (st_.AbortFlag)
        return;
    RunProcedure(st_, verify);
    FullWindowUi& f = ui_.full();
    f.passDone[current] = f.step[current ? 2 : 1] == 2;
    f.printEnabled = report_ && f.passDone[0] && f.passDone[1];
    ui_.fullChanged();
}

void FullWizard::CekPro_Click(int index, int value)
{
    if (busy() || index < 0 || index > 2)
        return;
    ui_.full().step[index] = std::clamp(value, 0, 2);
    ui_.fullChanged();
}

void FullWizard::CekOnlyRead_Click(bool on)
{
    if (!busy() && ui_.full().onlyReadEnabled)
        st_.OnlyRead = on;
}

void FullWizard::CekSmallCal_Click(bool on)
{
    if (!busy() && ui_.full().smallCalEnabled)
        st_.SmallCal = on;
}

void FullWizard::CmbModel_Click(int index)
{
    if (!busy() && ui_.full().modelEnabled)
        ui_.setModel(index);
}

void FullWizard::TxtH_Change(int index, const QString& text)
{
    setup_.headerChanged(index, text);
}

void FullWizard::CmbSpots_Click(int count)
{
    if (busy() || !SpotGrid::IsSpotCount(count))
        return;
    const PageGuard page(ui_);
    st_.SpotCount = count;
    wizard_.CmbSpots_Click();
    setup_.setAxisLabels();
}

void FullWizard::CmbCommPort_Click(const QString& portName)
{
    if (busy())
        return;
    // The wizard forgets the unit and rebuilds the voltage spots; the current spots go too.
    wizard_.CmbCommPort_Click(portName);
    setup_.rebuild(true);
    setup_.setAxisLabels();
}

void FullWizard::CmbEqPort_Click(const QString& portName)
{
    if (!busy())
        wizard_.CmbEqPort_Click(portName);
}

void FullWizard::FormActivate()
{
    setup_.copyHeaders();
}

void FullWizard::FormUnload()
{
    wizard_.FormUnload();
}

void FullWizard::CekEEP_Click(bool on)
{
    if (busy() || !ui_.full().eepVisible)
        return;
    // The editor opens on the unit as it is now, never on an older table.
    if (on && readEeprom_)
        readEeprom_();
    ui_.full().eepChecked = on;
    ui_.fullChanged();
}

void FullWizard::CmdPrint_Click()
{
    FullWindowUi& f = ui_.full();
    if (busy() || !f.printEnabled || !report_)
        return;
    lastReport_ = ReportJob::Outcome();
    if (const auto refusal = PrintChecks::Check(st_.RunMode, f.header[0], st_.SerialNo)) {
        ui_.messageBox(refusal->message);
        f.focusBox = refusal->focus == PrintChecks::Focus::ClientModelBox ? 0
                     : refusal->focus == PrintChecks::Focus::SerialNoBox  ? 4
                                                                          : -1;
        ui_.fullChanged();
        return;
    }
    {
        const PageGuard page(ui_);
        ui_.setBusy(true);
        lastReport_ = report_();
        ui_.setBusy(false);
    }
    const ReportJob::Outcome& out = lastReport_;
    if (out.succeeded())
        ui_.setStatus(2, out.certificatePath.isEmpty()
                             ? QStringLiteral("Report filed: %1").arg(out.pdfPath)
                             : QStringLiteral("Report filed: %1; certificate: %2").arg(out.pdfPath, out.certificatePath));
    else
        ui_.messageBox(out.error);
    if (!out.storeNote.isEmpty())
        ui_.messageBox(out.storeNote);
    if (!out.printerError.isEmpty())
        ui_.messageBox(out.printerError);
}

} // namespace psucal
