#pragma once

#include "eeprom/ImageRows.h"

#include <QSqlDatabase>
#include <QString>

#include <array>
#include <optional>

namespace psucal::eeprom {

// The working copy of the image in table TB1, addressed by ID. Writes go in one transaction,
// so the table never holds half of one image and half of another.
class Tb1 {
public:
    using Cells = std::array<QString, 4>; // a null QString for an empty (NULL) cell

    explicit Tb1(QSqlDatabase db) : db_(std::move(db)) {}

    // The four cells of record `id`; nothing when it cannot be read.
    std::optional<Cells> cells(int id) const;
    // All 160 rows as stored, each the four cells joined (an empty cell counts as "").
    std::optional<std::array<Cells, Rows>> all(QString* error) const;

    // Rows of eight nibble characters into the records of the same ID.
    bool storeRows(const ImageRowList& rows, QString* error);
    // Every cell of the records from `fromId` on whose ID lies in 58..149 becomes "00".
    bool zeroCalibrationCells(int fromId, QString* error);

private:
    QSqlDatabase db_;
};

} // namespace psucal::eeprom
