#include "wizard/Wizard.h"

#include "wizard/PortList.h"
#include "wizard/PortLock.h"
#include "wizard/RunProcedure.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Numbers.h"
#include "core/Rating.h"
#include "core/StatusText.h"
#include "core/WizardCaption.h"
#include "link/SupplyLink.h"
#include "link/Transport.h"

#include <cmath>
#include <utility>

namespace psucal {

namespace {
const QString VoltageInProgress = QStringLiteral("Voltage Recalibration in progress......");
const QString CurrentInProgress = QStringLiteral("Current Recalibration in progress......");
const QString RatingUnknown = QStringLiteral("Supply rating unknown: nothing was calibrated.");

// What a unit without a valid rating is taken for; the window caption and the spot grids show
// these figures.
constexpr double UnratedMaxV = 30.0;
constexpr double UnratedMaxI = 3.0;

// "V1.0" -> "1.0 V", "C0.04" -> "0.04 A", as an operator reads a set point.
QString SetPointLabel(const QString& setPoint)
{
    if (setPoint.size() < 2)
        return setPoint;
    const QString unit = setPoint[0] == u'C' ? QStringLiteral(" A") : QStringLiteral(" V");
    return setPoint.mid(1) + unit;
}
} // namespace

Wizard::Wizard(BenchState& state, BenchUi& ui, SupplyLink& supply, Transport& meterPort, SpotGrid& gridV,
               SpotGrid& gridC)
    : st_(state), ui_(ui), supply_(supply), meterPort_(meterPort), FGridV(gridV), FGridC(gridC)
{
}

void Wizard::FormLoad(const QString& supplyPort, const QString& meterPort)
{
    const PortLock lock(ui_);
    ui_.setStatus(1, QStringLiteral("Connected power supply rating"));
    ui_.setStatus(2, st_.RunMode <= 1 ? StatusText(0, DefineStep) : StatusText(1, VoltageStep));
    ui_.setProgressMax(10);
    st_.PanelMode = 2;

    openSupplyPort(supplyPort);
    CmbEqPort_Click(meterPort);

    supply_.openSession();

    FGridV.writeHeaders();
    FGridC.writeHeaders();

    CmbSpots_Click();
    readSerialIfRated();
}

void Wizard::readSerialIfRated()
{
    if (rated_)
        supply_.ReadSerialNumber();
    ui_.setSerialBox(st_.SerialNo);
}

void Wizard::CmbSpots_Click()
{
    IdentifySupply(2);
}

void Wizard::CmbCommPort_Click(const QString& portName)
{
    if (!ui_.portSelectable())
        return;
    const PortLock lock(ui_);
    openSupplyPort(portName);
    identifyAgain();
}

void Wizard::identifyAgain(int selector)
{
    const PortLock lock(ui_);
    forgetUnit();
    IdentifySupply(selector);
    readSerialIfRated();
}

void Wizard::forgetUnit()
{
    st_.SerialNo.clear();
    st_.SerialNoEdit.clear();
    st_.AsFoundImage.clear();
    supply_.shadow().forget();
    st_.BackupWritten = false;
    st_.Unconverged.clear();
    st_.Repeats = 0;
    ui_.repeated(QString(), 0);
    ui_.setSerialBox(QString());
    voltageOk_ = false;
    currentOk_ = false;
    voltageUnconverged_.clear();
    currentUnconverged_.clear();
    if (onForget_)
        onForget_();
}

void Wizard::openSupplyPort(const QString& portName)
{
    Transport& port = supply_.port();
    if (port.isOpen())
        port.close();
    port.setPortName(portName);
    port.open(); // a port that will not open shows up later as silence
}

void Wizard::CmbEqPort_Click(const QString& portName)
{
    if (meterPort_.isOpen())
        meterPort_.close();
    meterPort_.setPortName(portName);
    // Run mode 3 has no use for the meter, nor for a word about its port.
    if (meterPort_.open() || st_.RunMode == 3)
        return;
    if (!meterPort_.deniedDevice().isEmpty())
        ui_.messageBox(PermissionAdvice(meterPort_.deniedDevice()));
    else if (!meterPort_.missingDevice().isEmpty())
        ui_.messageBox(MissingAdvice(meterPort_.missingDevice(), PortList::presentDevices()));
}

void Wizard::IdentifySupply(int selector)
{
    const SupplyLink::RatingReply reply = supply_.readRating();
    answered_ = reply.answered;
    rated_ = reply.figures.has_value();
    st_.MaxV = rated_ ? reply.figures->volts10 / 10.0 : UnratedMaxV;
    st_.MaxI = rated_ ? reply.figures->amps100 / 100.0 : UnratedMaxI;
    // A rating is known by its whole volts.
    const Rating* rating = rated_ ? FindRating(static_cast<int>(st_.MaxV)) : nullptr;
    if (st_.MaxV > 0) {
        ui_.setModel(RatingIndex(rating));
        st_.RatingText = num::Shortest(st_.MaxV) + QStringLiteral("V/") + num::Shortest(st_.MaxI) + u'A';
    }
    const QString denied = answered_ ? QString() : supply_.port().deniedDevice();
    const QString missing = answered_ ? QString() : supply_.port().missingDevice();
    if (st_.RunMode != 3) {
        if (!denied.isEmpty())
            ui_.messageBox(PermissionAdvice(denied));
        else if (!missing.isEmpty())
            ui_.messageBox(MissingAdvice(missing, PortList::presentDevices()));
        if (fullIdentify_)
            fullIdentify_(selector);
        return;
    }

    if (!answered_) {
        drawConnectionFailure(denied, missing);
        ui_.setCaption(caption::Refresh);
        ui_.setButtonEnabled(true);
        ui_.setStatus(2, QStringLiteral("No Connection"));
        return;
    }
    drawRatingCheck();
    ui_.setCaption(caption::Start);
    ui_.setButtonEnabled(true);
    if (rating)
        ui_.setStatus(2, rating->name);
}

QString Wizard::PermissionAdvice(const QString& device)
{
    return QStringLiteral("No permission to open %1. Add the user to the dialout group with "
                          "sudo adduser $USER dialout, then log out and in again.")
        .arg(device);
}

QString Wizard::MissingAdvice(const QString& device, const QStringList& present)
{
    return QStringLiteral("There is no port %1. %2")
        .arg(device, present.isEmpty() ? QStringLiteral("This computer has no serial port.")
                                       : QStringLiteral("Serial ports here: %1.").arg(present.join(QStringLiteral(", "))));
}

void Wizard::drawConnectionFailure(const QString& deniedDevice, const QString& missingDevice)
{
    ui_.pcClear();
    // The cable is not the trouble here: the page names the device and the fix instead.
    if (!deniedDevice.isEmpty()) {
        ui_.pcPrint(200, 500, QStringLiteral("No permission to open %1.").arg(deniedDevice), FontStyle::Regular);
        ui_.pcPrint(200, 800, QStringLiteral("Run  sudo adduser $USER dialout"), FontStyle::Bold);
        ui_.pcPrint(200, 1100, QStringLiteral("then log out and in again."), FontStyle::Regular);
        return;
    }
    // Not the cable either: a port that is not there, named with those that are.
    if (!missingDevice.isEmpty()) {
        const QStringList present = PortList::presentDevices();
        ui_.pcPrint(200, 500, QStringLiteral("There is no port %1.").arg(missingDevice), FontStyle::Regular);
        ui_.pcPrint(200, 800,
                    present.isEmpty() ? QStringLiteral("This computer has no serial port.")
                                      : QStringLiteral("Serial ports here: %1").arg(present.join(QStringLiteral(", "))),
                    FontStyle::Regular);
        printSelectPortLine(1100);
        return;
    }
    ui_.pcPrint(200, 500, QStringLiteral("Check RS-232 Connection."), FontStyle::Regular);
    printSelectPortLine(800);
}

void Wizard::printSelectPortLine(int y)
{
    const QString first = QStringLiteral("Select the right COM. Port in the ");
    ui_.pcPrint(200, y, first, FontStyle::Regular);
    const int x1 = 200 + ui_.textWidth(first, FontStyle::Regular);
    ui_.pcPrint(x1, y, QStringLiteral("S"), FontStyle::BoldUnderline);
    const int x2 = x1 + ui_.textWidth(QStringLiteral("S"), FontStyle::BoldUnderline);
    ui_.pcPrint(x2, y, QStringLiteral("etup"), FontStyle::Bold);
    // The gap after "etup" is measured with a trailing blank, one blank wider than printed.
    const int x3 = x2 + ui_.textWidth(QStringLiteral("etup "), FontStyle::Bold);
    ui_.pcPrint(x3, y, QStringLiteral(" drop menu."), FontStyle::Regular);
}

void Wizard::drawRatingCheck()
{
    ui_.pcClear();
    const QString title = QStringLiteral("Voltage Recalibration");
    const int x =
        static_cast<int>(std::lround((BenchUi::PcWidth - ui_.textWidth(title, FontStyle::BoldUnderline)) / 2.0));
    ui_.pcPrint(x, 100, title, FontStyle::BoldUnderline);
    ui_.pcPrint(200, 640, QStringLiteral("Check Power Supply Ratings are same as shown at the"), FontStyle::Regular);
    ui_.pcPrint(200, 940, QStringLiteral("bottom bar."), FontStyle::Regular);
    const QString click = QStringLiteral("Click  ");
    ui_.pcPrint(200, 1240, click, FontStyle::Regular);
    ui_.pcPrint(200 + ui_.textWidth(click, FontStyle::Regular), 1240, QStringLiteral("START."), FontStyle::Bold);
}

Wizard::State Wizard::state() const
{
    static const std::pair<const QString&, State> states[] = {
        {caption::Design, State::Design}, {caption::Refresh, State::Refresh}, {caption::Start, State::Start},
        {caption::Wait, State::Wait},     {caption::Next, State::Next},       {caption::Close, State::Close}};
    for (const auto& [text, state] : states)
        if (ui_.caption() == text)
            return state;
    return State::Other;
}

void Wizard::Command1_Click()
{
    st_.FailText.clear();
    switch (state()) {
    case State::Refresh:
        identifyAgain();
        break;
    case State::Start:
        VoltageRecalPage();
        break;
    case State::Next:
        CurrentRecalPage();
        break;
    case State::Close:
        supply_.SendEnds();
        ui_.endProgram(0);
    default:
        break; // the design caption and any other: nothing to do
    }
}

// False when the procedure stopped early (AbortFlag).
bool Wizard::runProcedure(const std::function<void()>& procedure)
{
    // Without a known rating there are no calibration points: the step must not pass for a
    // calibration, yet the pages keep their flow.
    if (ui_.model() < 0) {
        st_.FailText = RatingUnknown;
        return true;
    }
    RunProcedure(st_, procedure);
    return !st_.AbortFlag;
}

void Wizard::printOutcome(int y, const QStringList& unconverged)
{
    QString line = st_.FailText;
    if (!unconverged.isEmpty()) {
        QStringList labels;
        for (const QString& p : unconverged)
            labels << SetPointLabel(p);
        if (!line.isEmpty())
            line += QStringLiteral("  ");
        line += QStringLiteral("%1 point(s) outside the window: ").arg(unconverged.size()) +
                labels.join(QStringLiteral(", "));
    }
    // Too long for the message area: cut at a whole set point and say how many are missing.
    const int room = BenchUi::PcWidth - 200 - 100;
    if (ui_.textWidth(line, FontStyle::Regular) > room) {
        QString cut = line;
        while (!cut.isEmpty() && ui_.textWidth(cut + QStringLiteral(" ..."), FontStyle::Regular) > room) {
            const qsizetype comma = cut.lastIndexOf(QStringLiteral(", "));
            cut = comma > 0 ? cut.left(comma) : cut.left(cut.size() - 1);
        }
        line = cut + QStringLiteral(" ...");
    }
    ui_.pcPrint(200, y, line, FontStyle::Regular);
}

// "Click  " regular, the button's word bold, then the rest regular, each placed after the last.
void Wizard::printClickLine(int y, const QString& word, const QString& rest)
{
    const QString click = QStringLiteral("Click  ");
    ui_.pcPrint(200, y, click, FontStyle::Regular);
    const int x = 200 + ui_.textWidth(click, FontStyle::Regular);
    ui_.pcPrint(x, y, word, FontStyle::Bold);
    ui_.pcPrint(x + ui_.textWidth(word, FontStyle::Bold), y, rest, FontStyle::Regular);
}

void Wizard::VoltageRecalPage()
{
    const PortLock lock(ui_);
    ui_.setCaption(caption::Wait);
    ui_.setButtonEnabled(false);
    ui_.pcClear();
    ui_.pcPrint(200, 600, VoltageInProgress, FontStyle::Regular);
    st_.AbortFlag = false;
    st_.Unconverged.clear();

    const bool ran = runProcedure(procs_.calibrateVoltage);
    voltageUnconverged_ = st_.Unconverged;
    voltageOk_ = ran && st_.FailText.isEmpty() && voltageUnconverged_.isEmpty();

    ui_.pcClear();
    if (voltageOk_) {
        ui_.pcPrint(200, 200, QStringLiteral("Voltage Recalibration Completed"), FontStyle::Regular);
    } else {
        ui_.pcPrint(200, 200, QStringLiteral("Voltage Recalibration Failed"), FontStyle::Bold);
        printOutcome(450, voltageUnconverged_);
    }
    const QString shortText = QStringLiteral("Short output terminals  ");
    ui_.pcPrint(200, 750, shortText, FontStyle::Regular);
    ui_.pcPrint(200 + ui_.textWidth(shortText, FontStyle::Regular), 750, QStringLiteral("FIRST."), FontStyle::Bold);
    printClickLine(1050, QStringLiteral("NEXT "), QStringLiteral("to start Current Recalibration."));

    ui_.setButtonEnabled(true);
    ui_.setCaption(caption::Next);
    ui_.setProgressValue(0);
    ui_.setBusy(false);
}

void Wizard::CurrentRecalPage()
{
    const PortLock lock(ui_);
    ui_.setCaption(caption::Wait);
    ui_.setButtonEnabled(false);
    ui_.pcClear();
    ui_.pcPrint(200, 600, CurrentInProgress, FontStyle::Regular);
    st_.AbortFlag = false;
    st_.Unconverged.clear();

    const bool ran = runProcedure(procs_.calibrateCurrent);
    currentUnconverged_ = st_.Unconverged;
    currentOk_ = ran && st_.FailText.isEmpty() && currentUnconverged_.isEmpty();

    if (!ran) {
        // The open-terminal warning stays as drawn; a bare "in progress" text would claim the
        // step is still running, so it gives way to the failure.
        const auto& runs = ui_.pcRuns();
        if (runs.size() == 1 && runs.front().text == CurrentInProgress) {
            ui_.pcClear();
            ui_.pcPrint(200, 200, QStringLiteral("Current Recalibration Failed"), FontStyle::Bold);
            printOutcome(500, currentUnconverged_);
            printClickLine(1050, QStringLiteral("NEXT "), QStringLiteral("to repeat."));
        }
        ui_.setCaption(caption::Next);
        ui_.setButtonEnabled(true);
        ui_.setProgressValue(0);
        ui_.setBusy(false);
        return;
    }

    ui_.pcClear();
    if (currentOk_) {
        ui_.pcPrint(200, 500, QStringLiteral("Recalibration completed."), FontStyle::Regular);
    } else {
        ui_.pcPrint(200, 200, QStringLiteral("Current Recalibration Failed"), FontStyle::Bold);
        printOutcome(500, currentUnconverged_);
    }
    printClickLine(800, QStringLiteral("CLOSE "), QStringLiteral("to quit"));
    ui_.setCaption(caption::Close);
    ui_.setProgressVisible(false);
    ui_.setButtonEnabled(true);
    ui_.focusButton();
    ui_.setProgressValue(0);
}

void Wizard::FormUnload()
{
    supply_.SendEnds();
    st_.StopFlag = true;
    ui_.endProgram(0);
}

} // namespace psucal
