#pragma once

#include <QSqlTableModel>

namespace psucal {

// TB1 as the grid shows it, in ID order. Cell edits go straight into the table; the ID column
// cannot be edited, and a cell takes only what could become a nibble pair.
class Tb1Model : public QSqlTableModel {
    Q_OBJECT
public:
    explicit Tb1Model(QSqlDatabase db, QObject* parent = nullptr);

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Cells centred; the rows the editor never writes in grey.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The model row showing EEPROM row `id`; -1 when it is not shown.
    int rowOf(int id) const;
};

} // namespace psucal
