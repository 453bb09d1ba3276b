#include "spots/SpotGrid.h"

#include "core/Numbers.h"
#include "spots/Band.h"

namespace psucal {

const QColor SpotGrid::PassColor(0, 128, 0);
const QColor SpotGrid::FailColor(192, 0, 0);

void SpotGrid::setRowCount(int n)
{
    rows_.resize(n < 0 ? 0 : n);
}

QString SpotGrid::text(int row, int col) const
{
    if (row < 0 || row >= rowCount() || col < 0 || col >= Columns)
        return QString();
    return rows_[row][col].text;
}

QColor SpotGrid::color(int row, int col) const
{
    if (row < 0 || row >= rowCount() || col < 0 || col >= Columns)
        return QColor();
    return rows_[row][col].color;
}

void SpotGrid::setText(int row, int col, const QString& text)
{
    if (row < 0 || col < 0 || col >= Columns)
        return;
    if (row >= rowCount())
        setRowCount(row + 1);
    rows_[row][col].text = text;
}

void SpotGrid::setColor(int row, int col, const QColor& color)
{
    if (row < 0 || row >= rowCount() || col < 0 || col >= Columns)
        return;
    rows_[row][col].color = color;
}

double SpotGrid::number(int row, int col) const
{
    return num::Leading(text(row, col));
}

void SpotGrid::writeHeaders()
{
    setRowCount(2);
    const QString unit = current_ ? QStringLiteral("Current (A)") : QStringLiteral("Voltage (V)");
    setText(0, StepColumn, QStringLiteral("Step"));
    for (int c = 1; c < Columns; ++c)
        setText(0, c, unit);
    setText(1, StepColumn, QStringLiteral("Step"));
    setText(1, SettingColumn, QStringLiteral("Setting"));
    setText(1, DisplayColumn, QStringLiteral("Display"));
    setText(1, OutputColumn, QStringLiteral("Output"));
}

float SpotGrid::VoltageSpotStep(float maxV, int n)
{
    return n > 1 ? (maxV - 1.0f) / static_cast<float>(n - 1) : 0.0f;
}

float SpotGrid::CurrentSpotStep(float maxI, int n)
{
    return n > 0 ? maxI / static_cast<float>(n) : 0.0f;
}

void SpotGrid::BuildVoltageSpots(int n, float step, float maxV)
{
    setRowCount(FirstSpotRow + (n > 0 ? n : 0));
    for (int r = FirstSpotRow; r < rowCount(); ++r) {
        const float spot = 1.0f + step * static_cast<float>(r - FirstSpotRow);
        setText(r, StepColumn, QString::number(r - 1));
        setText(r, SettingColumn, num::FixedSingle(spot <= maxV ? spot : maxV, 1));
        setText(r, DisplayColumn, QString());
        setText(r, OutputColumn, QString());
    }
}

void SpotGrid::BuildCurrentSpots(int n, float step, float maxI)
{
    setRowCount(FirstSpotRow + (n > 0 ? n : 0));
    for (int r = FirstSpotRow; r < rowCount(); ++r) {
        float spot = step * static_cast<float>(r - 1);
        // The set command carries at most 9.99 A.
        if (spot >= 10.0f)
            spot = 9.99f;
        setText(r, StepColumn, QString::number(r - 1));
        setText(r, SettingColumn, num::FixedSingle(spot <= maxI ? spot : maxI, 2));
        setText(r, DisplayColumn, QString());
        setText(r, OutputColumn, QString());
    }
}

void SpotGrid::clearResults()
{
    for (int r = FirstSpotRow; r < rowCount(); ++r) {
        for (int c : {DisplayColumn, OutputColumn}) {
            rows_[r][c].text.clear();
            rows_[r][c].color = QColor();
        }
    }
}

bool SpotGrid::outputPasses(int row) const
{
    return spots::OutputWithinBand(current_, number(row, DisplayColumn), number(row, OutputColumn));
}

bool SpotGrid::displayPasses(int row, double lower, double upper) const
{
    return spots::DisplayWithinWindow(current_, number(row, SettingColumn), number(row, DisplayColumn), lower, upper);
}

QVector<SpotGrid::Segment> SpotGrid::measuredSegments() const
{
    QVector<Segment> segments;
    for (int r = FirstSpotRow + 1; r < rowCount(); ++r) {
        if (text(r - 1, OutputColumn).isEmpty() || text(r, OutputColumn).isEmpty())
            continue;
        segments.push_back({r - 2, number(r - 1, DisplayColumn), number(r - 1, OutputColumn), number(r, DisplayColumn),
                            number(r, OutputColumn)});
    }
    return segments;
}

bool SpotGrid::judgeOutput(int row)
{
    if (row < FirstSpotRow || row >= rowCount() || text(row, OutputColumn).isEmpty())
        return false;
    setText(row, OutputColumn, num::Fixed(number(row, OutputColumn), valueDecimals()));
    setColor(row, OutputColumn, outputPasses(row) ? PassColor : FailColor);
    return true;
}

} // namespace psucal
