#include "db/ServerStore.h"

#include "db/Connection.h"
#include "db/ServerSchema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace psucal {

namespace {

QVariant Text(const QString& s)
{
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

QString Why(const QSqlError& e)
{
    return e.text().trimmed();
}

bool Run(QSqlQuery& q, const QString& sql, const QVariantList& values, QString* error)
{
    if (!q.prepare(sql)) {
        *error = Why(q.lastError());
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (q.exec())
        return true;
    *error = Why(q.lastError());
    return false;
}

// All rows of the set in one statement: one round trip however many spots.
bool InsertRows(QSqlDatabase& db, const RecordSet& set, QString* error)
{
    if (set.rows.isEmpty())
        return true;
    const QString tuple = u'(' + ReportTable::MarkList() + QStringLiteral(",?)");
    QStringList tuples;
    QVariantList values;
    for (const ReportTable::Row& row : set.rows) {
        tuples << tuple;
        for (const QVariant& v : row)
            values << (v.isNull() ? QVariant(QMetaType(QMetaType::QString)) : v);
        values << set.bench;
    }
    const QString names = ReportTable::NameList() + QStringLiteral(",\"Bench\"");
    QSqlQuery q(db);
    return Run(q, QStringLiteral("INSERT INTO report (%1) VALUES %2").arg(names, tuples.join(u',')), values, error);
}

} // namespace

ServerStore::ServerStore(ServerAddress address) : address_(std::move(address)) {}

ServerStore::~ServerStore()
{
    disconnect();
}

bool ServerStore::connect(QString* error)
{
    if (db_.isOpen())
        return true;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *error = QStringLiteral("Qt's PostgreSQL driver is not installed (Debian package libqt6sql6-psql)");
        return false;
    }
    db_ = address_.open(connection::UniqueName());
    if (!db_.isOpen()) {
        *error = QStringLiteral("%1 cannot be reached (%2)").arg(address_.display(), Why(db_.lastError()));
        disconnect();
        return false;
    }
    QString why;
    if (!ServerSchema::Ensure(db_, &why)) {
        *error = QStringLiteral("%1: %2").arg(address_.display(), why);
        disconnect();
        return false;
    }
    return true;
}

void ServerStore::disconnect()
{
    connection::Drop(db_);
}

bool ServerStore::withRetry(const std::function<bool(QString*)>& attempt, QString* error)
{
    // A connection kept from an earlier call may have gone stale: one fresh try then.
    for (bool kept = db_.isOpen();; kept = false) {
        if (!connect(error))
            return false;
        if (attempt(error))
            return true;
        disconnect();
        if (!kept)
            return false;
    }
}

ServerStore::Outcome ServerStore::put(const RecordSet& set, QString* error)
{
    Outcome out = Outcome::Failed;
    withRetry(
        [&](QString* why) {
            out = putOnce(set, why);
            return out != Outcome::Failed;
        },
        error);
    return out;
}

ServerStore::Outcome ServerStore::putOnce(const RecordSet& set, QString* error)
{
    QString why;
    bool began = false;
    const auto failed = [&] {
        if (began)
            db_.rollback();
        *error = QStringLiteral("%1: the records of %2 were not stored (%3)")
                     .arg(address_.display(), set.serial.isEmpty() ? QStringLiteral("a unit") : set.serial, why);
        return Outcome::Failed;
    };
    if (!(began = db_.transaction())) {
        why = Why(db_.lastError());
        return failed();
    }
    const QVariant sn = Text(set.serial);
    const QString madeAt = set.madeAt.toUTC().toString(Qt::ISODateWithMs);
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!Run(q, QStringLiteral("SELECT pg_advisory_xact_lock(%1, hashtext(?))").arg(ServerSchema::LockClass),
             {set.serial}, &why))
        return failed();
    // Under the lock, so that what was committed before is seen.
    if (!Run(q,
             QStringLiteral("SELECT (SELECT count(*) FROM report_set WHERE set_id = ?), "
                            "(SELECT count(*) FROM report_set WHERE sn = ? AND (made_at, set_id) > (CAST(? AS "
                            "timestamptz), ?))"),
             {set.setId, sn, madeAt, set.setId}, &why) ||
        !q.next())
        return failed();
    const Outcome known = q.value(0).toInt() > 0   ? Outcome::AlreadyStored
                          : q.value(1).toInt() > 0 ? Outcome::Superseded
                                                   : Outcome::Stored;
    q.finish();
    if (known == Outcome::Stored &&
        (!Run(q, QStringLiteral("DELETE FROM report WHERE \"SN\" = ?"), {sn}, &why) ||
         !Run(q, QStringLiteral("DELETE FROM report_set WHERE sn = ?"), {sn}, &why) || !InsertRows(db_, set, &why) ||
         !Run(q, QStringLiteral("INSERT INTO report_set (set_id, sn, made_at) VALUES (?, ?, CAST(? AS timestamptz))"),
              {set.setId, sn, madeAt}, &why)))
        return failed();
    if (!db_.commit()) {
        why = Why(db_.lastError());
        return failed();
    }
    return known;
}

QList<QSqlRecord> ServerStore::records(const QString& serial, QString* error)
{
    QList<QSqlRecord> out;
    withRetry(
        [&](QString* why) {
            QSqlQuery q(db_);
            q.setForwardOnly(true);
            QString cause;
            // Step is text: shorter numbers first keeps 10 after 9.
            if (!Run(q, QStringLiteral("SELECT * FROM report WHERE \"SN\" = ? ORDER BY length(\"Step\"), \"Step\""),
                     {serial}, &cause)) {
                *why = QStringLiteral("%1: the records cannot be read (%2)").arg(address_.display(), cause);
                return false;
            }
            while (q.next())
                out.append(q.record());
            return true;
        },
        error);
    return out;
}

} // namespace psucal
