#include "report/ReportRows.h"

#include "db/Connection.h"
#include "core/Numbers.h"
#include "report/MeasurementRows.h"
#include "report/ReportData.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace psucal {

namespace {

constexpr int StepField = ReportTable::StepField;

using Row = ReportTable::Row;

// Empty texts are stored as NULL.
QVariant Text(const QString& s)
{
    return s.isEmpty() ? QVariant() : QVariant(s);
}

QString Failed(const QSqlQuery& q)
{
    return q.lastError().text();
}

// One record per spot row of the voltage grid; the current grid is read at the same rows.
QList<Row> BuildRows(const ReportData& d)
{
    Row head;
    head[0] = Text(d.SerialNo);
    head[1] = num::Shortest(d.MaxV);
    head[2] = num::Shortest(d.MaxI);
    head[3] = Text(d.EquipmentText);
    head[4] = Text(d.AmbientTemp);
    head[5] = Text(d.TestedBy);
    head[6] = d.StartDate.isValid() ? QVariant(d.StartDate.toString(Qt::ISODate)) : QVariant();
    head[7] = d.AllPass ? QStringLiteral("True") : QStringLiteral("False");

    QList<Row> rows;
    for (int r = SpotGrid::FirstSpotRow; r < d.FGridV.rowCount(); ++r) {
        Row row = head;
        row[StepField] = QString::number(r - 1);
        for (int c = 1; c < SpotGrid::Columns; ++c) {
            row[StepField + c] = Text(d.FGridV.text(r, c));
            row[StepField + 3 + c] = Text(d.FGridC.text(r, c));
        }
        rows.append(row);
    }
    return rows;
}

// The first value that does not fit its field, described for the operator.
QString TooLong(const QList<Row>& rows)
{
    for (const Row& row : rows) {
        for (size_t f = 0; f < row.size(); ++f) {
            const QString value = row[f].toString();
            const ReportRows::Field& field = ReportRows::Fields[f];
            if (value.size() <= field.size)
                continue;
            const QString where =
                f > StepField ? QStringLiteral(" of step %1").arg(row[StepField].toString()) : QString();
            return QStringLiteral("%1%2 \"%3\" is too long for the records (at most %4 characters)")
                .arg(QString::fromLatin1(field.label), where, value)
                .arg(field.size);
        }
    }
    return QString();
}

QString NotStored(const ReportData& data, const QString& why)
{
    return QStringLiteral("The results of %1 were not stored: %2. The records stored before are kept.")
        .arg(data.SerialNo.isEmpty() ? QStringLiteral("this unit") : data.SerialNo, why);
}

bool Replace(QSqlDatabase& db, const QString& serial, const QList<Row>& rows, QString* error)
{
    QSqlQuery del(db);
    del.prepare(QStringLiteral("DELETE FROM report WHERE SN = ?"));
    del.addBindValue(Text(serial));
    if (!del.exec()) {
        *error = Failed(del);
        return false;
    }
    QSqlQuery ins(db);
    if (!ins.prepare(QStringLiteral("INSERT INTO report (%1) VALUES (%2)")
                         .arg(ReportTable::NameList(), ReportTable::MarkList()))) {
        *error = Failed(ins);
        return false;
    }
    for (const Row& row : rows) {
        for (size_t f = 0; f < row.size(); ++f)
            ins.bindValue(static_cast<int>(f), row[f]);
        if (!ins.exec()) {
            *error = Failed(ins);
            return false;
        }
    }
    return true;
}

// A blank serial number (a unit that reported none) replaces nothing, as its records do not.
bool ReplaceRun(QSqlDatabase& db, const QString& serial, int repeats, QString* error)
{
    if (serial.isEmpty())
        return true;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS report_run (SN VARCHAR(16) PRIMARY KEY, "
                               "Repeats INTEGER NOT NULL)"))) {
        *error = Failed(q);
        return false;
    }
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO report_run (SN, Repeats) VALUES (?, ?)"));
    q.addBindValue(Text(serial));
    q.addBindValue(repeats);
    if (!q.exec()) {
        *error = Failed(q);
        return false;
    }
    return true;
}

} // namespace

std::optional<int> ReportRows::Repeats(QSqlDatabase& db, const QString& serial)
{
    if (!db.isOpen() || !db.tables().contains(QStringLiteral("report_run")))
        return std::nullopt;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT Repeats FROM report_run WHERE SN = ?"));
    q.addBindValue(serial);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

bool ReportRows::EnsureTable(QSqlDatabase& db, QString* error)
{
    if (!db.isOpen()) {
        *error = QStringLiteral("the results database is not open");
        return false;
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS report (%1)").arg(ReportTable::ColumnList())) ||
        !q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS report_SN ON report (SN)"))) {
        *error = Failed(q);
        return false;
    }
    return true;
}

bool ReportRows::SaveReport(QSqlDatabase& db, const ReportData& data, QString* error)
{
    const QList<Row> rows = BuildRows(data);
    const QList<MeasurementTable::Row> measured = MeasurementRows::Records(data);
    QString why = TooLong(rows);
    if (why.isEmpty() && EnsureTable(db, &why)) {
        // A certificate's measurements go with the records or not at all; without one the file
        // stays as it was, not even gaining the table.
        if (!connection::BeginWrite(db, &why)) {
            if (why.isEmpty())
                why = QStringLiteral("the write lock was refused");
        } else if (!Replace(db, data.SerialNo, rows, &why) || !ReplaceRun(db, data.SerialNo, data.Repeats, &why) ||
                 (data.certificate &&
                  (!MeasurementRows::EnsureTable(db, &why) || !MeasurementRows::Replace(db, measured, &why))))
            db.rollback();
        else if (!db.commit()) {
            why = db.lastError().text();
            db.rollback();
        }
    }
    if (why.isEmpty())
        return true;
    *error = NotStored(data, why);
    return false;
}

bool ReportRows::MakeSet(const ReportData& data, RecordSet* set, QString* error)
{
    QList<Row> rows = BuildRows(data);
    const QString why = TooLong(rows);
    if (!why.isEmpty()) {
        *error = NotStored(data, why);
        return false;
    }
    *set = RecordSet::Make(data.SerialNo, std::move(rows));
    set->repeats = data.Repeats;
    return true;
}

QList<QSqlRecord> ReportRows::Records(QSqlDatabase& db, const QString& serial, QString* error)
{
    QList<QSqlRecord> out;
    if (!db.isOpen()) {
        *error = QStringLiteral("the results database is not open");
        return out;
    }
    if (!db.tables().contains(QStringLiteral("report")))
        return out;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT * FROM report WHERE SN = ? ORDER BY CAST(Step AS INTEGER)"));
    q.addBindValue(serial);
    if (!q.exec()) {
        *error = Failed(q);
        return out;
    }
    while (q.next())
        out.append(q.record());
    return out;
}

} // namespace psucal
