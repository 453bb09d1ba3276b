#include "spots/SpotGridEditor.h"

#include "core/Numbers.h"

#include <algorithm>
#include <cmath>

namespace psucal {

namespace {
// An output taken away: nothing measured, nothing judged.
void Forget(SpotResult& spot)
{
    spot.readings.clear();
    spot.mean.reset();
    spot.outputCheck = Verdict::NotMeasured;
    spot.outputLimits.U.reset();
    spot.displayLimits.U.reset();
}
} // namespace

bool SpotGridEditor::isSpotCell(int row, int col, int wanted) const
{
    return col == wanted && row >= SpotGrid::FirstSpotRow && row < grid_.rowCount();
}

bool SpotGridEditor::keyPress(int row, int col, QChar key)
{
    if (!isSpotCell(row, col, SpotGrid::OutputColumn))
        return false;
    QString text = grid_.text(row, col); // the entry so far, or the output as shown
    if (key == u'\b') {
        if (text.isEmpty())
            return false;
        text.chop(1);
    } else if (key.unicode() < 0x20 || key.unicode() == 0x7f) {
        return false;
    } else if (text.size() >= MaxEntryLength) {
        return false;
    } else if (key == u'.') {
        if (text.contains(u'.'))
            return false;
        text = num::Shortest(num::Leading(text)) + u'.';
    } else {
        text += key.isDigit() && key.unicode() < 0x80 ? QString(key) : QStringLiteral("0");
    }
    grid_.setEntry(row, text);
    return true;
}

bool SpotGridEditor::clearCell(int row, int col)
{
    if (!isSpotCell(row, col, SpotGrid::OutputColumn))
        return false;
    grid_.setEntry(row, std::nullopt);
    Forget(*grid_.spot(row));
    return true;
}

bool SpotGridEditor::leaveCell(int row, int col)
{
    if (!isSpotCell(row, col, SpotGrid::OutputColumn))
        return false;
    SpotResult& spot = *grid_.spot(row);
    const std::optional<QString> typed = grid_.entry(row);
    if (!typed)
        return grid_.judgeOutput(row);
    grid_.setEntry(row, std::nullopt);
    const double value = num::Leading(*typed);
    if (typed->isEmpty() || !std::isfinite(value)) {
        Forget(spot);
        return true;
    }
    // The largest value the cell's format shows in seven characters.
    const double limit = grid_.isCurrent() ? 999.999 : 9999.99;
    // A typed output stands for the meter's: the readings, and the uncertainty they gave, no
    // longer back it.
    spot.readings.clear();
    spot.outputLimits.U.reset();
    spot.displayLimits.U.reset();
    spot.mean = num::RoundTo(std::clamp(value, -limit, limit), grid_.valueDecimals());
    return grid_.judgeOutput(row);
}

std::optional<SpotGridEditor::SetPoint> SpotGridEditor::setPoint(int row, int col) const
{
    if (!isSpotCell(row, col, SpotGrid::SettingColumn))
        return std::nullopt;
    const double units = grid_.spot(row)->setting * (grid_.isCurrent() ? 100.0 : 10.0);
    if (!std::isfinite(units) || num::RoundTo(units, 0) < 0.0 || num::RoundTo(units, 0) > 999.0)
        return std::nullopt;
    return SetPoint{grid_.isCurrent(), grid_.spot(row)->setting};
}

} // namespace psucal
