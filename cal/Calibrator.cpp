#include "cal/Calibrator.h"

#include "cal/Failure.h"
#include "cal/FutComma.h"
#include "cal/ModelTables.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Numbers.h"
#include "core/WizardCaption.h"
#include "link/Nibble.h"
#include "link/SupplyLink.h"

#include <algorithm>
#include <cmath>

namespace psucal {

using cal::Quantity;
using cal::SweepTable;

namespace {
constexpr int Attempts = 5;
// Well below the display resolution; keeps a bound that is hit exactly inside the window.
constexpr double WindowSlack = 1e-9;
constexpr double OpenOutputVolts = 4.5;
} // namespace

Calibrator::Calibrator(BenchState& state, BenchUi& ui, SupplyLink& link, QString programDir)
    : st_(state), ui_(ui), link_(link), backup_(state, ui, link, std::move(programDir))
{
}

void Calibrator::CalibrateVoltage()
{
    sweep(cal::VoltageQuantity);
}

void Calibrator::CalibrateCurrent()
{
    sweep(cal::CurrentQuantity);
}

void Calibrator::sweep(const Quantity& q)
{
    const bool voltage = q.letter == 'V';
    ui_.setBusy(true);
    ui_.setProgressValue(0);
    st_.Unconverged.clear();

    if (voltage) {
        link_.SendCommand(QStringLiteral("VOLT"), QStringLiteral("010"), 2, 0.1);
        link_.Delay(0.3);
        link_.SendCommand(QStringLiteral("SOUT"), QStringLiteral("1"), 3, 0.2);
        link_.Delay(0.1);
    } else {
        link_.SendCommand(QStringLiteral("VOLT"), QStringLiteral("050"), 2, 0.1);
        link_.Delay(0.1);
        link_.SendCommand(QStringLiteral("SOUT"), QStringLiteral("0"), 3, 0.2);
        link_.Delay(0.2);
    }
    link_.WaitOutputLow(!voltage);

    if (const cal::ModelTable* model = cal::ModelAt(ui_.model())) {
        const SweepTable& t = voltage ? model->voltage : model->current;
        ui_.setProgressMax(t.progressMax);
        for (int row = t.firstRow; row <= t.lastRow; ++row) {
            for (int cell = 1; cell <= 4; ++cell) {
                st_.CurRow = row;
                st_.CurCell = cell;
                if (!t.passedOver(row, cell))
                    AdjustPoint(setPointText(q, t, row, cell));
                if (st_.AbortFlag)
                    return;
                ui_.setProgressValue(std::min(ui_.progressValue() + 1, t.progressMax));
            }
        }
    }

    if (voltage) {
        if (!st_.FailText.isEmpty())
            ui_.messageBox(st_.FailText);
        link_.Delay(0.1);
        ui_.setBusy(false);
        link_.SendCommand(QStringLiteral("VOLT"), QStringLiteral("050"), 2, 0.1);
        link_.Delay(0.1);
        link_.SendCommand(QStringLiteral("CURR"), QStringLiteral("010"), 2, 0.1);
        link_.Delay(0.1);
    } else {
        link_.Delay(0.1);
        ui_.setBusy(false);
        link_.SendCommand(QStringLiteral("CURR"), QStringLiteral("050"), 2, 0.1);
        link_.Delay(0.1);
    }
}

QString Calibrator::setPointText(const Quantity& q, const SweepTable& t, int row, int cell) const
{
    const QString letter(QChar::fromLatin1(q.letter));
    if (t.atMaxV && *t.atMaxV == cal::CellRef{row, cell})
        return letter + num::Shortest(st_.MaxV);
    return letter + num::Fixed(t.setPoint(row, cell), q.setDecimals);
}

void Calibrator::AdjustPoint(const QString& setPoint)
{
    if (setPoint.size() < 2)
        return;
    const double set = num::Leading(FutComma(setPoint.mid(1)));
    if (st_.AbortFlag)
        return;
    // Gains, clamps and the row being worked on must be known before anything is sent.
    const cal::ModelTable* model = cal::ModelAt(ui_.model());
    if (!model || st_.CurCell < 1 || st_.CurCell > 4)
        return;
    if (setPoint[0] == u'V')
        adjustVoltage(model->voltage, set, setPoint);
    else if (setPoint[0] == u'C')
        adjustCurrent(model->current, set, setPoint);
}

void Calibrator::adjustVoltage(const SweepTable& t, double set, const QString& text)
{
    const Quantity& q = cal::VoltageQuantity;
    if (setOutput(q, set, 0.1).isEmpty())
        FailCalV(st_);
    if (st_.AbortFlag)
        return;
    link_.Delay(0.2);
    QString reply = readDisplay();
    // Without a first reading there is nothing to correct against; a made-up display of 0
    // would drive the cell to its clamp.
    if (reply.isEmpty()) {
        FailCalV(st_);
        return;
    }
    double display = num::Leading(reply.mid(q.displayField, 4)) / q.displayDivisor;
    double error = num::RoundTo(display - set, q.errorDecimals);
    if (insideWindow(q, error))
        return;

    // A display read lost inside the loop leaves AbortFlag raised; the remaining attempts still
    // run on the last reading, their pauses cut short.
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        if (!writeCorrection(q, t, set, display, error)) {
            st_.Unconverged << text;
            return;
        }
        retrigger(q, set);
        reply = readDisplay();
        link_.Delay(0.1);
        if (!reply.isEmpty())
            display = num::Leading(reply.mid(q.displayField, 4)) / q.displayDivisor;
        else
            FailCalV(st_);
        error = num::RoundTo(display - set, q.errorDecimals);
        if (insideWindow(q, error))
            return;
    }
    st_.Unconverged << text;
}

void Calibrator::adjustCurrent(const SweepTable& t, double set, const QString& text)
{
    const Quantity& q = cal::CurrentQuantity;
    if (setOutput(q, set, 0.1).isEmpty())
        FailCalC(st_);
    if (st_.AbortFlag)
        return;
    link_.Delay(0.2);
    QString reply = readDisplay();
    if (reply.isEmpty())
        FailCalC(st_);
    link_.Delay(0.1);
    const bool complete = reply.size() >= 8;
    double display = complete ? num::Leading(reply.mid(q.displayField, 4)) / q.displayDivisor : 0.0;

    const double volts = num::Leading(reply.mid(0, 4)) / 100.0;
    if (volts > OpenOutputVolts && display == 0.0) {
        warnOpenTerminals();
        return;
    }
    // No current reading, no correction: a display of 0 would drive the cell to its clamp.
    if (!complete) {
        if (!st_.AbortFlag)
            st_.Unconverged << text;
        return;
    }
    double error = num::RoundTo(display - set, q.errorDecimals);
    if (insideWindow(q, error))
        return;

    for (int attempt = 0; attempt < Attempts; ++attempt) {
        if (!writeCorrection(q, t, set, display, error)) {
            st_.Unconverged << text;
            return;
        }
        retrigger(q, set);
        reply = readDisplay();
        link_.Delay(0.1);
        if (st_.AbortFlag)
            return;
        if (reply.size() < 8)
            FailCalC(st_);
        else
            display = num::Leading(reply.mid(q.displayField, 4)) / q.displayDivisor;
        error = num::RoundTo(display - set, q.errorDecimals);
        if (insideWindow(q, error))
            return;
    }
    st_.Unconverged << text;
}

bool Calibrator::writeCorrection(const Quantity& q, const SweepTable& t, double set, double display, double error)
{
    // Buffers that were not refreshed still hold another row; writing them would copy that
    // row's cells over this one.
    if (!link_.ReadEepRow())
        return false;

    const int cell = st_.CurCell;
    const QString& stored = st_.RowRead[cell];
    const double old = nibble::DecodeSigned(stored, q.cellScale);
    double next;
    if (st_.SmallCal) {
        const double lower = q.letter == 'V' ? st_.RigorDnV : st_.RigorDnC;
        if (error >= lower)
            next = old - q.smallStep;
        else
            next = old + (stored.size() > 1 && stored[1] == u'>' ? 2 * q.smallStep : q.smallStep);
    } else {
        const double bias = q.biasBase * t.gain;
        const double step = t.gain * (set - display);
        next = q.roundBeforeBias ? num::RoundTo(old + step, q.errorDecimals) + bias
                                 : num::RoundTo(bias + old + step, q.errorDecimals);
        next = std::clamp(next, -t.clamp, t.clamp);
    }
    st_.RowCells[cell] = nibble::EncodeSigned(next, q.cellScale);

    backup_.BeforeFirstWrite();
    QString data = num::Digits(st_.CurRow, 3);
    for (int i = 1; i <= 4; ++i)
        data += st_.RowCells[i];
    link_.SendCommand(QStringLiteral("SEEP"), data, 2, 0.2);
    link_.Delay(0.1);
    return true;
}

void Calibrator::retrigger(const Quantity& q, double set)
{
    // Set the point anew from just below, so that the next reading reflects the rewritten cell.
    setOutput(q, set - q.retrigger, 0.2);
    link_.Delay(0.1);
    setOutput(q, set, 0.2);
    link_.Delay(0.2);
}

QString Calibrator::setOutput(const Quantity& q, double value, double timeout)
{
    return link_.SendCommand(QString::fromLatin1(q.command), num::Digits(value * q.frameScale, 3), 2, timeout);
}

QString Calibrator::readDisplay()
{
    return link_.SendCommand(QStringLiteral("GETD"), QString(), 12, 0.1);
}

bool Calibrator::insideWindow(const Quantity& q, double error) const
{
    const bool voltage = q.letter == 'V';
    const double lower = voltage ? st_.RigorDnV : st_.RigorDnC;
    const double upper = voltage ? st_.RigorUpV : st_.RigorUpC;
    return error >= lower - WindowSlack && error <= upper + WindowSlack;
}

void Calibrator::warnOpenTerminals()
{
    ui_.pcClear();
    const QString title = QStringLiteral("Warning !");
    const int x = static_cast<int>(std::lround((BenchUi::PcWidth - ui_.textWidth(title, FontStyle::Bold)) / 2.0));
    ui_.pcPrint(x, 100, title, FontStyle::Bold);
    ui_.pcPrint(200, 640, QStringLiteral("Output terminals must be short circuited to recalibrate"),
                FontStyle::Regular);
    ui_.pcPrint(200, 940, QStringLiteral("current."), FontStyle::Regular);
    ui_.setCaption(caption::Next);
    ui_.setButtonEnabled(true);
    st_.AbortFlag = true;
    ui_.setBusy(false);
    ui_.setProgressValue(0);
}

} // namespace psucal
