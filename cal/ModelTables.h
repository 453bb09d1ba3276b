#pragma once

#include "link/DisplayReading.h"

#include <QString>

#include <optional>

namespace psucal {
struct BenchState;
}

namespace psucal::cal {

struct CellRef {
    int row = 0;
    int cell = 0; // 1..4
    bool operator==(const CellRef&) const = default;
    // Row-major order, the order in which a sweep walks the cells.
    int ordinal() const { return row * 4 + (cell - 1); }
};

// The calibration cells of one quantity on one model: rows firstRow..lastRow, four cells each,
// cell k of row r standing for the set point (rowStep * r + cellStep * k + offset) / 100.
// Cells before `firstAdjusted` or after `lastAdjusted` lie outside the supply's range and are
// passed over (they still count on the progress bar).
struct SweepTable {
    int firstRow = 0;
    int lastRow = 0;
    int rowStep = 0; // hundredths of a volt or ampere; integers keep 1.4 exactly 1.4
    int cellStep = 0;
    int offset = 0;
    CellRef firstAdjusted;
    CellRef lastAdjusted;
    std::optional<CellRef> atMaxV; // adjusted at the unit's rated maximum instead of its formula
    int progressMax = 0;
    double gain = 1.0;  // share of the display error fed back per attempt
    double clamp = 0.0; // largest correction a cell may hold, volts or amperes

    double setPoint(int row, int cell) const { return (rowStep * row + cellStep * cell + offset) / 100.0; }
    bool passedOver(int row, int cell) const;
    int cellsAdjusted() const;
};

// What differs between voltage and current in the adjustment loop.
struct Quantity {
    char letter;                   // set-point text prefix: 'V' or 'C'
    const char* command;           // set command: "VOLT" or "CURR"
    int setDecimals;               // decimals of the set-point text
    int frameScale;                // set point to frame units: 0.1 V or 0.01 A
    int cellScale;                 // signed cell units: 0.01 V or 0.001 A
    int errorDecimals;             // display error rounded to the display's resolution
    double biasBase;               // bias = biasBase * gain
    double retrigger;              // step below the set point before it is set again
    double smallStep;              // one unit of the Small Cal. rule
    bool roundBeforeBias;          // current rounds the correction before the bias goes in
    double DisplayReading::*shown; // the display field this quantity reads
    double pauseAfterFirstRead;    // seconds between the first display read and the window test
    bool guardsOpenTerminals;      // a high voltage with no current means the terminals are open
    double BenchState::*windowLow; // acceptance window of the display error, inclusive
    double BenchState::*windowHigh;
    void (*fail)(BenchState&); // FailCalV or FailCalC
};

struct ModelTable {
    QString name;
    SweepTable voltage;
    SweepTable current;
};

extern const Quantity VoltageQuantity;
extern const Quantity CurrentQuantity;

// The table of a CmbModel index (0 20V/10A, 1 40V/5A, 2 60V/3.3A); nullptr for no model.
const ModelTable* ModelAt(int model);

} // namespace psucal::cal
