#pragma once

#include <QAbstractTableModel>

namespace psucal {

class SpotGrid;

// A spot grid's rows as a table: spot rows only; the two header rows of the grid feed the header
// (the column names, and the unit title under Qt::UserRole).
class SpotGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SpotGridModel(SpotGrid& grid, QObject* parent = nullptr);

    SpotGrid& grid() const { return grid_; }
    static int gridRow(const QModelIndex& index);
    QModelIndex indexOfGridRow(int row, int col) const;

    // The grid changed underneath: one spot row, or everything (row -1).
    void gridChanged(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    SpotGrid& grid_;
};

} // namespace psucal
