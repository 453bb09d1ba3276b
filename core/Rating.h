#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace psucal {

struct CellRef {
    int row = 0;
    int cell = 0; // 1..4
    bool operator==(const CellRef&) const = default;
    // Row-major order, the order in which a sweep walks the cells.
    int ordinal() const { return row * 4 + (cell - 1); }
};

// The calibration cells of one quantity: rows firstRow..lastRow, four cells each, cell k of
// row r standing for the set point (rowStep * r + cellStep * k + offset) / 100. Cells before
// `firstAdjusted` or after `lastAdjusted` lie outside the supply's range and are passed over
// (they still count on the progress bar).
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

// One EEPROM row of factory base data: four cells of two nibble characters.
struct BaseRow {
    int row = 0;
    std::array<const char*, 4> cells{};

    // The eight characters the row write sends after the row number.
    QString data() const;
};

// Rows 0..7 in the order Define writes them. Row 6 belongs to the unit itself and is never
// written, so it is not here.
using BaseRows = std::array<BaseRow, 7>;

// How a simulated unit of the rating answers its calibration cells: the output moves by
// cell / gain.
struct SimPhysics {
    double voltageGain = 1.0;
    double currentGain = 1.0;
};

// Everything that tells one rating from another. The model box lists the rows in table order,
// so a row's index is also its model-box entry.
struct Rating {
    int gmaxVolts10 = 0; // the rating as the supply reports it: 0.1 V
    int gmaxAmps100 = 0; // and 0.01 A
    QString name;        // status bar, the model box of run mode 2, help texts
    QString product;     // the model box of run modes 0 and 1, the report's model by default
    SweepTable voltage;
    SweepTable current;
    BaseRows baseData;
    bool printsCurrentFraction = false; // the report's maximum current keeps its fraction
    double chartAmps = 0.05;            // the current chart spans +/- this
    SimPhysics sim;

    // Whole volts: the identification's key, and the MODEL of --simulate and --model.
    int volts() const { return gmaxVolts10 / 10; }
};

// The chart span of a unit without a rating.
inline constexpr double UnratedChartAmps = 0.05;
// The unit --simulate and psucal-sim stand in for when no model is named.
inline constexpr int DefaultSimulatedVolts = 40;

// The rating of a model-box entry; nullptr for none (-1) or one past the table.
const Rating* RatingAt(int index);
// The model-box entry of a rating; -1 for nullptr.
int RatingIndex(const Rating* rating);
int RatingCount();
// The rating with these whole volts; nullptr for no valid rating.
const Rating* FindRating(int volts);

// Column texts of the table, in its order.
QStringList RatingNames();
QStringList RatingProducts();
QStringList RatingVolts();
// "a, b or c", with `last` before the last item.
QString ListedAs(const QStringList& items, const QString& last = QStringLiteral("or"));

// A row after the built-in ones, until it is removed again; rows already handed out stay valid.
const Rating& AddRating(Rating rating);
void RemoveRating(const Rating& rating);

} // namespace psucal
