#pragma once

#include <QColor>
#include <QString>
#include <QVector>

#include <array>

namespace psucal {

// A test-spot grid (FGridV or FGridC) as data: rows of four cell texts with a text colour
// per cell. Rows 0 and 1 are the headers; spot rows start at row 2.
class SpotGrid {
public:
    static constexpr int Columns = 4;
    struct Cell {
        QString text;
        QColor color;
    };
    using Row = std::array<Cell, Columns>;

    int rowCount() const { return static_cast<int>(rows_.size()); }
    void setRowCount(int n);
    const QString& text(int row, int col) const { return rows_[row][col].text; }
    void setText(int row, int col, const QString& text);
    int columnWidth(int col) const { return col == 0 ? 450 : 650; }

    // Title row ("Step", then the unit heading over columns 1-3) and the column row.
    void writeHeaders(bool current);

private:
    QVector<Row> rows_;
};

} // namespace psucal
