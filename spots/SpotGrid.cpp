#include "spots/SpotGrid.h"

#include "core/Numbers.h"
#include "spots/Band.h"

namespace psucal {

const SpotResult* SpotGrid::spot(int row) const
{
    const int k = row - FirstSpotRow;
    return k >= 0 && k < spotCount() ? &spots_[k].result : nullptr;
}

SpotResult* SpotGrid::spot(int row)
{
    const int k = row - FirstSpotRow;
    return k >= 0 && k < spotCount() ? &spots_[k].result : nullptr;
}

QString SpotGrid::text(int row, int col) const
{
    if (col < 0 || col >= Columns)
        return QString();
    if (row == 0 && col == StepColumn)
        return QStringLiteral("Step");
    if (row == 0)
        return current_ ? QStringLiteral("Current (A)") : QStringLiteral("Voltage (V)");
    if (row == 1) {
        static const char* const names[Columns] = {"Step", "Setting", "Display", "Output"};
        return QString::fromLatin1(names[col]);
    }
    const SpotResult* s = spot(row);
    if (!s)
        return QString();
    switch (col) {
    case StepColumn:
        return QString::number(row - 1);
    case SettingColumn:
        return spots::SettingText(current_, s->setting);
    case DisplayColumn:
        return spots::ValueText(current_, s->display);
    default:
        if (const auto typed = spots_[row - FirstSpotRow].entry)
            return *typed;
        return spots::ValueText(current_, s->mean);
    }
}

Verdict SpotGrid::verdict(int row, int col) const
{
    const SpotResult* s = spot(row);
    if (!s)
        return Verdict::NotMeasured;
    return col == DisplayColumn ? s->displayCheck : col == OutputColumn ? s->outputCheck : Verdict::NotMeasured;
}

QColor SpotGrid::color(int row, int col) const
{
    return spots::VerdictColor(verdict(row, col));
}

std::optional<QString> SpotGrid::entry(int row) const
{
    return spot(row) ? spots_[row - FirstSpotRow].entry : std::nullopt;
}

void SpotGrid::setEntry(int row, const std::optional<QString>& text)
{
    if (spot(row))
        spots_[row - FirstSpotRow].entry = text;
}

void SpotGrid::writeHeaders()
{
    spots_.clear();
}

float SpotGrid::VoltageSpotStep(float maxV, int n)
{
    return n > 1 ? (maxV - 1.0f) / static_cast<float>(n - 1) : 0.0f;
}

float SpotGrid::CurrentSpotStep(float maxI, int n)
{
    return n > 0 ? maxI / static_cast<float>(n) : 0.0f;
}

void SpotGrid::build(int n, float maxValue, auto spotAt)
{
    spots_.clear();
    spots_.resize(n > 0 ? n : 0);
    for (int k = 0; k < spotCount(); ++k) {
        const float value = spotAt(k);
        spots_[k].result.setting = num::RoundSingle(value <= maxValue ? value : maxValue, settingDecimals());
    }
}

void SpotGrid::BuildVoltageSpots(int n, float step, float maxV)
{
    build(n, maxV, [step](int k) { return 1.0f + step * static_cast<float>(k); });
}

void SpotGrid::BuildCurrentSpots(int n, float step, float maxI)
{
    build(n, maxI, [step](int k) {
        // The set command carries at most 9.99 A.
        const float spot = step * static_cast<float>(k + 1);
        return spot >= 10.0f ? 9.99f : spot;
    });
}

void SpotGrid::clearResults()
{
    for (Row& r : spots_) {
        const double setting = r.result.setting;
        r = Row();
        r.result.setting = setting;
    }
}

bool SpotGrid::judgeOutput(int row)
{
    SpotResult* s = spot(row);
    if (!s || !s->mean)
        return false;
    // A measured output was judged with its uncertainty; judging it again without would undo that.
    if (s->outputLimits.U)
        return true;
    s->outputCheck =
        spots::OutputWithinBand(current_, s->display.value_or(0.0), *s->mean) ? Verdict::Pass : Verdict::Fail;
    return true;
}

QVector<SpotGrid::Segment> SpotGrid::measuredSegments() const
{
    QVector<Segment> segments;
    for (int k = 1; k < spotCount(); ++k) {
        const SpotResult& a = spots_[k - 1].result;
        const SpotResult& b = spots_[k].result;
        if (!a.mean || !b.mean)
            continue;
        segments.push_back({k, a.display.value_or(0.0), *a.mean, b.display.value_or(0.0), *b.mean});
    }
    return segments;
}

} // namespace psucal
