#include "eeprom/Tb1Model.h"

#include "db/Database.h"
#include "eeprom/ImageRows.h"
#include "link/Nibble.h"

#include <QColor>

namespace psucal {

Tb1Model::Tb1Model(QSqlDatabase db, QObject* parent) : QSqlTableModel(parent, std::move(db))
{
    setTable(QStringLiteral("TB1"));
    setEditStrategy(QSqlTableModel::OnFieldChange);
    setFilter(QStringLiteral("ID BETWEEN 0 AND %1").arg(Database::Rows - 1));
    setSort(0, Qt::AscendingOrder);
    setHeaderData(0, Qt::Horizontal, QStringLiteral("ID"));
    for (int k = 1; k <= 4; ++k)
        setHeaderData(k, Qt::Horizontal, QStringLiteral("Cell %1").arg(k));
}

Qt::ItemFlags Tb1Model::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags f = QSqlTableModel::flags(index);
    return index.column() == 0 ? f & ~Qt::ItemIsEditable : f;
}

QVariant Tb1Model::data(const QModelIndex& index, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return Qt::AlignCenter;
    if (role == Qt::ForegroundRole && !eeprom::Writable(QSqlTableModel::data(this->index(index.row(), 0)).toInt()))
        return QColor(Qt::gray);
    return QSqlTableModel::data(index, role);
}

bool Tb1Model::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() == 0)
        return role != Qt::EditRole && QSqlTableModel::setData(index, value, role);
    const QString text = value.toString().trimmed();
    bool ok = text.size() <= 2;
    for (QChar c : text)
        ok = ok && nibble::Value(c) >= 0;
    if (!ok)
        return false;
    // An emptied cell becomes NULL, as a cell never read is.
    return QSqlTableModel::setData(index, text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text),
                                   role);
}

int Tb1Model::rowOf(int id) const
{
    for (int row = 0; row < rowCount(); ++row)
        if (data(index(row, 0)).toInt() == id)
            return row;
    return -1;
}

} // namespace psucal
