#include "widgets/SpotGridModel.h"

#include "spots/SpotGrid.h"

namespace psucal {

SpotGridModel::SpotGridModel(SpotGrid& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {}

int SpotGridModel::gridRow(const QModelIndex& index)
{
    return index.isValid() ? index.row() + SpotGrid::FirstSpotRow : -1;
}

QModelIndex SpotGridModel::indexOfGridRow(int row, int col) const
{
    return index(row - SpotGrid::FirstSpotRow, col);
}

void SpotGridModel::gridChanged(int row)
{
    if (row < SpotGrid::FirstSpotRow || row >= grid_.rowCount() || grid_.spotCount() != rowCount()) {
        beginResetModel();
        endResetModel();
        return;
    }
    emit dataChanged(indexOfGridRow(row, 0), indexOfGridRow(row, SpotGrid::Columns - 1));
}

int SpotGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.spotCount();
}

int SpotGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : SpotGrid::Columns;
}

QVariant SpotGridModel::data(const QModelIndex& index, int role) const
{
    const int row = gridRow(index);
    switch (role) {
    case Qt::DisplayRole:
        return grid_.text(row, index.column());
    case Qt::ForegroundRole: {
        const QColor c = grid_.color(row, index.column());
        return c.isValid() ? QVariant(c) : QVariant();
    }
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant SpotGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return grid_.text(1, section);
    if (role == Qt::UserRole)
        return grid_.text(0, section);
    return {};
}

} // namespace psucal
