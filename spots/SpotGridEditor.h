#pragma once

#include "spots/SpotGrid.h"

#include <QChar>
#include <QString>

#include <optional>

namespace psucal {

// The operator's hand on a spot grid: typing an Output, clearing it, judging it when the cursor
// leaves it, and the set point a double-click on a Setting sends. Rows and columns are the
// grid's own (spot k in row k + 1).
class SpotGridEditor {
public:
    // Longer entries are refused: seven characters hold any reading the grid can show.
    static constexpr int MaxEntryLength = 7;

    explicit SpotGridEditor(SpotGrid& grid) : grid_(grid) {}

    // A typed character: digits and "." build the number, Backspace takes one back, any other
    // printable character counts as "0"; Enter, Esc and other control keys type nothing.
    // True when the cell changed.
    bool keyPress(int row, int col, QChar key);
    // Delete takes a spot's output away.
    bool clearCell(int row, int col);
    // The cursor leaves (row, col): an Output entry becomes the spot's output, kept within the
    // readable range at the grid's resolution (an empty entry, or one that is no finite number,
    // takes the output away); an Output is judged again.
    bool leaveCell(int row, int col);

    struct SetPoint {
        bool current;
        double value; // volts or amps, as the Setting holds it
    };
    // What a double-click on (row, col) sends: only a Setting of a spot row, only a set point
    // that three digits can carry.
    std::optional<SetPoint> setPoint(int row, int col) const;

private:
    bool isSpotCell(int row, int col, int wanted) const;

    SpotGrid& grid_;
};

} // namespace psucal
