#include "eeprom/Tb1.h"

#include "db/Connection.h"
#include "db/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>

namespace psucal::eeprom {

namespace {
constexpr int FirstCalibrationRow = 58;
constexpr int LastCalibrationRow = 149;

QString CellList()
{
    QStringList names;
    for (const char* f : Database::CellField)
        names << QLatin1String(f);
    return names.join(QStringLiteral(", "));
}

// "Cell1 = <value>, Cell2 = <value>, ..." over the cell fields.
QString Assign(const QString& value)
{
    QStringList parts;
    for (const char* f : Database::CellField)
        parts << QLatin1String(f) + QStringLiteral(" = ") + value;
    return parts.join(QStringLiteral(", "));
}

bool Failed(QSqlDatabase& db, const QSqlQuery& q, QString* error)
{
    if (error)
        *error = q.lastError().isValid() ? q.lastError().text() : db.lastError().text();
    db.rollback();
    return false;
}
} // namespace

std::optional<Tb1::Cells> Tb1::cells(int id) const
{
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT %1 FROM TB1 WHERE ID = ?").arg(CellList()));
    q.addBindValue(id);
    if (!q.exec() || !q.next())
        return std::nullopt;
    Cells c;
    for (int k = 0; k < 4; ++k)
        c[k] = q.isNull(k) ? QString() : q.value(k).toString();
    return c;
}

std::optional<std::array<Tb1::Cells, Rows>> Tb1::all(QString* error) const
{
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT ID, %1 FROM TB1 WHERE ID BETWEEN 0 AND %2 ORDER BY ID")
                    .arg(CellList())
                    .arg(Rows - 1))) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt;
    }
    std::array<Cells, Rows> out;
    std::array<bool, Rows> seen{};
    while (q.next()) {
        const int id = q.value(0).toInt();
        seen[id] = true;
        for (int k = 0; k < 4; ++k)
            out[id][k] = q.isNull(k + 1) ? QString() : q.value(k + 1).toString();
    }
    for (int id = 0; id < Rows; ++id) {
        if (!seen[id]) {
            if (error)
                *error = QStringLiteral("table TB1 has no record with ID %1").arg(id);
            return std::nullopt;
        }
    }
    return out;
}

bool Tb1::storeRows(const ImageRowList& rows, QString* error)
{
    QVariantList ids;
    QVariantList cells[4];
    for (int r = 0; r < Rows; ++r) {
        ids << r;
        for (int k = 0; k < 4; ++k)
            cells[k] << rows[r].mid(2 * k, 2);
    }
    QSqlQuery q(db_);
    connection::BeginWrite(db_);
    q.prepare(QStringLiteral("UPDATE TB1 SET %1 WHERE ID = ?").arg(Assign(QStringLiteral("?"))));
    for (const QVariantList& c : cells)
        q.addBindValue(c);
    q.addBindValue(ids);
    if (!q.execBatch())
        return Failed(db_, q, error);
    return db_.commit() || Failed(db_, q, error);
}

bool Tb1::zeroCalibrationCells(int fromId, QString* error)
{
    QSqlQuery q(db_);
    connection::BeginWrite(db_);
    q.prepare(
        QStringLiteral("UPDATE TB1 SET %1 WHERE ID >= ? AND ID BETWEEN ? AND ?").arg(Assign(QStringLiteral("'00'"))));
    q.addBindValue(fromId);
    q.addBindValue(FirstCalibrationRow);
    q.addBindValue(LastCalibrationRow);
    if (!q.exec())
        return Failed(db_, q, error);
    return db_.commit() || Failed(db_, q, error);
}

} // namespace psucal::eeprom
