#pragma once

#include <QColor>
#include <QString>
#include <QVector>

#include <algorithm>
#include <array>

namespace psucal {

// A test-spot grid (FGridV or FGridC) as data: rows of four cell texts with a text colour
// per cell. Rows 0 and 1 are the headers; spot k lives in row k + 1. Columns: 0 step,
// 1 setting, 2 display, 3 output.
class SpotGrid {
public:
    enum Column { StepColumn = 0, SettingColumn = 1, DisplayColumn = 2, OutputColumn = 3 };
    static constexpr int Columns = 4;
    static constexpr int FirstSpotRow = 2;
    // The spot counts a verification pass may have.
    static constexpr std::array<int, 5> SpotCounts{5, 10, 20, 40, 80};
    static constexpr bool IsSpotCount(int n) { return std::ranges::find(SpotCounts, n) != SpotCounts.end(); }
    static const QColor PassColor; // dark green, &H8000
    static const QColor FailColor; // dark red, &HC0

    struct Cell {
        QString text;
        QColor color;
    };
    using Row = std::array<Cell, Columns>;

    explicit SpotGrid(bool current = false) : current_(current) {}
    bool isCurrent() const { return current_; }

    int rowCount() const { return static_cast<int>(rows_.size()); }
    void setRowCount(int n);
    int spotCount() const { return rowCount() > FirstSpotRow ? rowCount() - FirstSpotRow : 0; }

    // A cell outside the grid reads as empty and has no colour; writing there grows the grid.
    QString text(int row, int col) const;
    QColor color(int row, int col) const;
    void setText(int row, int col, const QString& text);
    void setColor(int row, int col, const QColor& color);
    // The cell's leading number ("" and text without digits read 0).
    double number(int row, int col) const;

    int columnWidth(int col) const { return col == 0 ? 450 : 650; }
    // Decimals of a setting ("0.0" / "0.00") and of a display or output ("0.00" / "0.000").
    int settingDecimals() const { return current_ ? 2 : 1; }
    int valueDecimals() const { return current_ ? 3 : 2; }

    // Title row ("Step", then the unit heading over columns 1-3) and the column row.
    void writeHeaders();

    // Spacing of the spots in single precision: (maxV - 1) / (n - 1) and maxI / n.
    static float VoltageSpotStep(float maxV, int n);
    static float CurrentSpotStep(float maxI, int n);
    // Rebuilds n spot rows with empty Display and Output (colours are kept: they belong to the
    // cells until judged again). Voltage: 1 V to maxV; current: step to max, never 10 A or more.
    void BuildVoltageSpots(int n, float step, float maxV);
    void BuildCurrentSpots(int n, float step, float maxI);
    // Empties Display and Output of every spot and drops their colours: one unit's results
    // never stay for the next.
    void clearResults();

    // The output check of a spot: its Output against the band around its Display.
    bool outputPasses(int row) const;
    // The display check: Display - Setting within [lower, upper].
    bool displayPasses(int row, double lower, double upper) const;
    // Rewrites the Output cell in its format and colours it by the output check; false when the
    // cell is not an Output cell with text.
    bool judgeOutput(int row);

    // Two neighbouring spots that both have an Output, which the charts join with a line; a spot
    // without one breaks the lines on both sides of it.
    struct Segment {
        int spot; // the first of the two, 1-based
        double display1, output1, display2, output2;
    };
    QVector<Segment> measuredSegments() const;

private:
    bool current_;
    QVector<Row> rows_;
};

} // namespace psucal
