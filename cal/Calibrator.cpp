#include "cal/Calibrator.h"

#include "core/FutComma.h"
#include "cal/Quantity.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Numbers.h"
#include "core/Rating.h"
#include "core/WizardCaption.h"
#include "link/Nibble.h"
#include "link/SupplyLink.h"

#include <algorithm>
#include <cmath>

namespace psucal {

using cal::Quantity;

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
        link_.setVoltage(1.0);
        link_.Delay(0.3);
        link_.switchOutput(true);
        link_.Delay(0.1);
    } else {
        link_.setVoltage(5.0);
        link_.Delay(0.1);
        link_.switchOutput(false);
        link_.Delay(0.2);
    }
    link_.WaitOutputLow(!voltage);

    if (const Rating* rating = ui_.rating()) {
        const SweepTable& t = voltage ? rating->voltage : rating->current;
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
        link_.setVoltage(5.0);
        link_.Delay(0.1);
        link_.setCurrent(0.1);
        link_.Delay(0.1);
    } else {
        link_.Delay(0.1);
        ui_.setBusy(false);
        link_.setCurrent(0.5);
        link_.Delay(0.1);
    }
}

QString Calibrator::setPointText(const Quantity& q, const SweepTable& t, int row, int cell) const
{
    const QString letter(QChar::fromLatin1(q.letter));
    if (t.atMaxV && *t.atMaxV == CellRef{row, cell})
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
    const Rating* rating = ui_.rating();
    if (!rating || st_.CurCell < 1 || st_.CurCell > 4)
        return;
    if (setPoint[0] == u'V')
        adjust(cal::VoltageQuantity, rating->voltage, set, setPoint);
    else if (setPoint[0] == u'C')
        adjust(cal::CurrentQuantity, rating->current, set, setPoint);
}

// Every way out after a failure is a return: once AbortFlag is up, a row written from a lost
// or misread reply would put junk into the cells of other points.
void Calibrator::adjust(const Quantity& q, const SweepTable& t, double set, const QString& text)
{
    if (!setOutput(q, set, 0.1))
        q.fail(st_);
    if (st_.AbortFlag)
        return;
    link_.Delay(0.2);
    std::optional<DisplayReading> shown = link_.ReadDisplay();
    // Without a reading there is nothing to correct against.
    if (!shown) {
        q.fail(st_);
        return;
    }
    if (q.pauseAfterFirstRead > 0)
        link_.Delay(q.pauseAfterFirstRead);
    if (st_.AbortFlag)
        return;
    if (q.guardsOpenTerminals && shown->volts > OpenOutputVolts && shown->amps == 0.0) {
        warnOpenTerminals();
        return;
    }

    double display = (*shown).*q.shown;
    double error = num::RoundTo(display - set, q.errorDecimals);
    if (insideWindow(q, error))
        return;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        if (!writeCorrection(q, t, set, display, error)) {
            // An unreadable row leaves the point as it was; a failure has already said so.
            if (!st_.AbortFlag)
                st_.Unconverged << text;
            return;
        }
        retrigger(q, set);
        shown = link_.ReadDisplay();
        link_.Delay(0.1);
        if (st_.AbortFlag)
            return;
        if (!shown) {
            q.fail(st_);
            return;
        }
        display = (*shown).*q.shown;
        error = num::RoundTo(display - set, q.errorDecimals);
        if (insideWindow(q, error))
            return;
    }
    st_.Unconverged << text;
}

bool Calibrator::writeCorrection(const Quantity& q, const SweepTable& t, double set, double display, double error)
{
    // The backup may wait for the image, which the row check needs; the step may have been
    // stopped meanwhile.
    if (!backup_.BeforeFirstWrite() || st_.AbortFlag)
        return false;
    // Buffers that were not refreshed still hold another row; writing them would copy that
    // row's cells over this one.
    switch (link_.ReadEepRow()) {
    case SupplyLink::RowReadOutcome::Read:
        break;
    case SupplyLink::RowReadOutcome::NoReply:
        return false;
    case SupplyLink::RowReadOutcome::Mismatch:
        // The unit holds something psucal did not write: a unit to look at, not to write over.
        if (!st_.AbortFlag) {
            q.fail(st_);
            ui_.messageBox(link_.rowMismatch());
        }
        return false;
    }
    if (st_.AbortFlag)
        return false;

    const int cell = st_.CurCell;
    const QString& stored = st_.RowRead[cell];
    const double old = nibble::DecodeSigned(stored, q.cellScale);
    double next;
    if (st_.SmallCal) {
        if (error >= st_.*q.windowLow)
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

    QString cells;
    QString was;
    for (int i = 1; i <= 4; ++i) {
        cells += st_.RowCells[i];
        was += st_.RowRead[i];
    }
    // A write that could not be settled leaves the row to be looked at, not written again.
    if (const SupplyLink::RowWrite w = link_.writeCorrection(st_.CurRow, cells, was);
        w != SupplyLink::RowWrite::Confirmed) {
        q.fail(st_);
        if (w == SupplyLink::RowWrite::Unconfirmed)
            ui_.messageBox(link_.rowMismatch());
        return false;
    }
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

bool Calibrator::setOutput(const Quantity& q, double value, double timeout)
{
    return (link_.*q.set)(value, timeout);
}

bool Calibrator::insideWindow(const Quantity& q, double error) const
{
    return error >= st_.*q.windowLow - WindowSlack && error <= st_.*q.windowHigh + WindowSlack;
}

void Calibrator::warnOpenTerminals()
{
    // The full window hides the message area, so there the warning needs a box of its own.
    if (st_.RunMode != 3) {
        st_.AbortFlag = true;
        ui_.full().step[2] = 0;
        ui_.setCaption(caption::Design);
        ui_.setBusy(false);
        ui_.setProgressValue(0);
        ui_.messageBox(QStringLiteral("Output terminals must be short circuited to recalibrate current."));
        return;
    }
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
