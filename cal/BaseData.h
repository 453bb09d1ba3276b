#pragma once

#include <QString>

#include <array>

namespace psucal::cal {

// One EEPROM row of a model's factory base data: four cells of two nibble characters.
struct BaseRow {
    int row;
    std::array<const char*, 4> cells;

    // The eight characters that follow the row number in the "SEEP" frame.
    QString data() const;
};

// Rows 0..7 of a model, in the order Define writes them. Row 6 belongs to the unit itself and
// is never written, so it is not here.
using BaseRows = std::array<BaseRow, 7>;

// The base data of a CmbModel index (0 20V/10A, 1 40V/5A, 2 60V/3.3A); nullptr for no model.
const BaseRows* BaseDataOf(int model);

} // namespace psucal::cal
