#include "app/FullWizard.h"

#include "app/PortLock.h"
#include "app/RunProcedure.h"
#include "app/Wizard.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Numbers.h"
#include "core/StatusText.h"
#include "core/WizardCaption.h"
#include "spots/SpotGrid.h"

#include <algorithm>
#include <cmath>

namespace psucal {

namespace {
const QString RatingUnknown = QStringLiteral("Supply rating unknown: nothing was calibrated or verified.");
constexpr double TemperatureLimit = 9999; // keeps a pasted run of digits printable
} // namespace

// While a page talks to the supply only "Stop" acts: every other control waits until the page
// has unwound, so that two procedures never drive the supply at once.
class FullWizard::PageGuard {
public:
    explicit PageGuard(BenchUi& ui) : ui_(ui), lock_(ui)
    {
        ui_.full().pageRunning = true;
        ui_.fullChanged();
    }
    ~PageGuard()
    {
        ui_.full().pageRunning = false;
        ui_.fullChanged();
    }
    PageGuard(const PageGuard&) = delete;
    PageGuard& operator=(const PageGuard&) = delete;

private:
    BenchUi& ui_;
    PortLock lock_;
};

FullWizard::FullWizard(BenchState& state, BenchUi& ui, Wizard& wizard, SpotGrid& gridV, SpotGrid& gridC)
    : st_(state), ui_(ui), wizard_(wizard), gridV_(gridV), gridC_(gridC)
{
    wizard_.setFullIdentify([this](int selector) { identified(selector); });
}

bool FullWizard::busy() const
{
    return ui_.full().pageRunning;
}

void FullWizard::FormLoad(const QString& supplyPort, const QString& meterPort, bool eepEnabled)
{
    const PageGuard page(ui_);
    applyRunMode(eepEnabled);
    ui_.setCaption(caption::Design);
    wizard_.FormLoad(supplyPort, meterPort);
    if (st_.RunMode == 2) {
        TxtH_Change(0, QString());
        TxtH_Change(3, QString());
    }
    for (int i = 0; i < 4; ++i)
        TxtH_Change(i, ui_.full().header[i]);
    setAxisLabels();
}

void FullWizard::applyRunMode(bool eepEnabled)
{
    FullWindowUi& f = ui_.full();
    f.backEnabled = false;
    f.eepVisible = st_.RunMode == 0 && eepEnabled;
    if (st_.RunMode <= 1)
        f.modelEntries = {QStringLiteral("QRB-1100"), QStringLiteral("QRB-2200"), QStringLiteral("QRB-3300")};
    if (st_.RunMode >= 1) {
        f.step[0] = 2;
        f.stepVisible[0] = false;
    }
    if (st_.RunMode == 1) {
        st_.OnlyRead = true;
        f.onlyReadEnabled = false;
        f.smallCalEnabled = false;
    }
    if (st_.RunMode == 2) {
        f.modelEnabled = false;
        f.serialBoxEnabled = false;
    }
    ui_.fullChanged();
}

// The rest of identification in run modes 0-2, once MaxV and MaxI are known.
void FullWizard::identified(int selector)
{
    ui_.full().windowCaption = QStringLiteral("Calibration %1 (Equipment HP-34401A) V%2.%3")
                                   .arg(st_.RatingText)
                                   .arg(PSUCAL_VERSION_MAJOR)
                                   .arg(PSUCAL_VERSION_MINOR);
    st_.VoltSpotStep = SpotGrid::VoltageSpotStep(static_cast<float>(st_.MaxV), st_.SpotCount);
    st_.CurrSpotStep = SpotGrid::CurrentSpotStep(static_cast<float>(st_.MaxI), st_.SpotCount);
    if (selector != 1)
        rebuild(false);
    if (selector != 0)
        rebuild(true);
    ui_.fullChanged();
}

// New spots mean new results: nothing measured before stays in the grid or in the pass flags.
void FullWizard::rebuild(bool current)
{
    if (current) {
        gridC_.BuildCurrentSpots(st_.SpotCount, static_cast<float>(st_.CurrSpotStep), static_cast<float>(st_.MaxI));
        gridC_.clearResults();
        st_.CurrPass = false;
    } else {
        gridV_.BuildVoltageSpots(st_.SpotCount, static_cast<float>(st_.VoltSpotStep), static_cast<float>(st_.MaxV));
        gridV_.clearResults();
        st_.VoltPass = false;
    }
    st_.AllPass = false;
    ui_.gridChanged(current, -1);
    ui_.redrawChart(current);
}

void FullWizard::setAxisLabels()
{
    FullWindowUi& f = ui_.full();
    const double n = st_.SpotCount;
    if (st_.MaxV > 0)
        f.voltAxis = {num::Fixed(st_.MaxV / n, 1) + u'V', num::Fixed(st_.MaxV, 1) + u'V'};
    if (st_.MaxI > 0)
        f.currAxis = {num::Fixed(st_.MaxI / n, 2) + u'A', num::Fixed(st_.MaxI, 2) + u'A'};
    ui_.fullChanged();
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
    wizard_.forgetUnit();
    wizard_.IdentifySupply(2);
    wizard_.readSerialIfRated();
    if (st_.RunMode == 2) {
        TxtH_Change(0, QString());
        TxtH_Change(3, QString());
    }
    ui_.setBusy(false);
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
    calibrateAndVerify(procs_.calibrateVoltage, procs_.verifyVoltage);
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
    calibrateAndVerify(procs_.calibrateCurrent, procs_.verifyCurrent);
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
    wizard_.forgetUnit();
    wizard_.IdentifySupply(2);
    wizard_.readSerialIfRated();
    if (ui_.model() >= 0)
        return true;
    st_.FailText = RatingUnknown;
    st_.AbortFlag = true;
    return false;
}

// Unless only reading, the step calibrates; a calibration that went through is verified.
void FullWizard::calibrateAndVerify(const std::function<void()>& calibrate, const std::function<void()>& verify)
{
    if (!ratingKnown())
        return;
    if (!st_.OnlyRead && st_.RunMode != 1)
        RunProcedure(st_, calibrate);
    if (!st_.AbortFlag)
        RunProcedure(st_, verify);
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
    FullWindowUi& f = ui_.full();
    switch (index) {
    case 0:
        st_.ClientModel = f.header[0] = text;
        break;
    case 1:
        st_.EquipmentText = f.header[1] = text;
        break;
    case 2: {
        const double value = num::Leading(text);
        const double whole =
            std::isfinite(value) ? std::clamp(std::floor(value), -TemperatureLimit, TemperatureLimit) : 0;
        st_.AmbientTemp = f.header[2] = QString::number(static_cast<int>(whole));
        break;
    }
    case 3:
        st_.TestedBy = f.header[3] = text;
        break;
    case 4:
        st_.SerialNoEdit = text;
        ui_.setSerialBox(text);
        break;
    default:
        return;
    }
    ui_.fullChanged();
}

void FullWizard::CmbSpots_Click(int count)
{
    if (busy() || (count != 5 && count != 10 && count != 20 && count != 40 && count != 80))
        return;
    const PageGuard page(ui_);
    st_.SpotCount = count;
    wizard_.CmbSpots_Click();
    setAxisLabels();
}

void FullWizard::CmbCommPort_Click(const QString& portName)
{
    if (busy())
        return;
    // The wizard forgets the unit and rebuilds the voltage spots; the current spots go too.
    wizard_.CmbCommPort_Click(portName);
    rebuild(true);
    setAxisLabels();
}

void FullWizard::CmbEqPort_Click(const QString& portName)
{
    if (!busy())
        wizard_.CmbEqPort_Click(portName);
}

void FullWizard::FormActivate()
{
    const FullWindowUi& f = ui_.full();
    st_.EquipmentText = f.header[1];
    st_.AmbientTemp = f.header[2];
    st_.TestedBy = f.header[3];
}

void FullWizard::FormUnload()
{
    wizard_.FormUnload();
}

void FullWizard::CekEEP_Click(bool on)
{
    if (busy() || !ui_.full().eepVisible)
        return;
    ui_.full().eepChecked = on;
    ui_.fullChanged();
}

void FullWizard::CmdPrint_Click()
{
    // The report is connected to "Print" separately; until then it does nothing.
}

} // namespace psucal
