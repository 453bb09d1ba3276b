#pragma once

#include "spots/SpotFormat.h"
#include "spots/SpotResult.h"

#include <QColor>
#include <QString>
#include <QVector>

#include <algorithm>
#include <array>
#include <optional>

namespace psucal {

// A test-spot grid (FGridV or FGridC): the spots' results as values, and the cell texts and
// colours shown for them. Rows 0 and 1 are the headers; spot k lives in row k + 1. Columns:
// 0 step, 1 setting, 2 display, 3 output.
class SpotGrid {
public:
    enum Column { StepColumn = 0, SettingColumn = 1, DisplayColumn = 2, OutputColumn = 3 };
    static constexpr int Columns = 4;
    static constexpr int FirstSpotRow = 2;
    // The spot counts a verification pass may have.
    static constexpr std::array<int, 5> SpotCounts{5, 10, 20, 40, 80};
    static constexpr bool IsSpotCount(int n) { return std::ranges::find(SpotCounts, n) != SpotCounts.end(); }

    explicit SpotGrid(bool current = false) : current_(current) {}
    bool isCurrent() const { return current_; }

    int rowCount() const { return FirstSpotRow + static_cast<int>(spots_.size()); }
    int spotCount() const { return static_cast<int>(spots_.size()); }

    // The spot in `row`; none outside the spot rows.
    const SpotResult* spot(int row) const;
    SpotResult* spot(int row);

    // What a cell shows: a cell outside the grid is empty and has no colour.
    QString text(int row, int col) const;
    QColor color(int row, int col) const;
    // The check behind a Display or Output cell.
    Verdict verdict(int row, int col) const;

    // An Output the operator is typing: shown instead of the spot's output until it is left.
    std::optional<QString> entry(int row) const;
    void setEntry(int row, const std::optional<QString>& text);

    int columnWidth(int col) const { return col == 0 ? 450 : 650; }
    int settingDecimals() const { return spots::SettingDecimals(current_); }
    int valueDecimals() const { return spots::ValueDecimals(current_); }

    // Leaves only the header rows: the title row ("Step", then the unit heading over columns 1-3)
    // and the column row.
    void writeHeaders();

    // Spacing of the spots in single precision: (maxV - 1) / (n - 1) and maxI / n.
    static float VoltageSpotStep(float maxV, int n);
    static float CurrentSpotStep(float maxI, int n);
    // Rebuilds n spots without results. Voltage: 1 V to maxV; current: step to max, never 10 A
    // or more.
    void BuildVoltageSpots(int n, float step, float maxV);
    void BuildCurrentSpots(int n, float step, float maxI);
    // Drops every spot's results: one unit's results never stay for the next.
    void clearResults();

    // Judges a spot's output against the band around its display (a spot without one against
    // the band at 0); false when the spot has no output.
    bool judgeOutput(int row);

    // Two neighbouring spots that both have an output, which the charts join with a line; a spot
    // without one breaks the lines on both sides of it.
    struct Segment {
        int spot; // the first of the two, 1-based
        double display1, output1, display2, output2;
    };
    QVector<Segment> measuredSegments() const;

private:
    struct Row {
        SpotResult result;
        std::optional<QString> entry;
    };
    void build(int n, float maxValue, auto spotAt);

    bool current_;
    QVector<Row> spots_;
};

} // namespace psucal
