#include "spots/SpotGrid.h"

namespace psucal {

void SpotGrid::setRowCount(int n)
{
    rows_.resize(n < 0 ? 0 : n);
}

void SpotGrid::setText(int row, int col, const QString& text)
{
    if (row < 0 || col < 0 || col >= Columns)
        return;
    if (row >= rowCount())
        setRowCount(row + 1);
    rows_[row][col].text = text;
}

void SpotGrid::writeHeaders(bool current)
{
    setRowCount(2);
    const QString unit = current ? QStringLiteral("Current (A)") : QStringLiteral("Voltage (V)");
    setText(0, 0, QStringLiteral("Step"));
    for (int c = 1; c < Columns; ++c)
        setText(0, c, unit);
    setText(1, 0, QStringLiteral("Step"));
    setText(1, 1, QStringLiteral("Setting"));
    setText(1, 2, QStringLiteral("Display"));
    setText(1, 3, QStringLiteral("Output"));
    setRowCount(2);
}

} // namespace psucal
