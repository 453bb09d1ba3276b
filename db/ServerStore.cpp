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

// All rows of the run in one statement per table: one round trip however many spots.
template <typename Row>
bool InsertRows(QSqlDatabase& db, const QString& table, const QString& names, const QString& marks,
                const QList<Row>& rows, const QVariantList& tail, QString* error)
{
    if (rows.isEmpty())
        return true;
    const QString tuple = u'(' + marks + QString(QStringLiteral(",?")).repeated(tail.size()) + u')';
    QStringList tuples;
    QVariantList values;
    for (const Row& row : rows) {
        tuples << tuple;
        for (const QVariant& v : row)
            values << (v.isNull() ? QVariant(QMetaType(QMetaType::QString)) : v);
        values << tail;
    }
    QSqlQuery q(db);
    return Run(q, QStringLiteral("INSERT INTO %1 (%2) VALUES %3").arg(table, names, tuples.join(u',')), values, error);
}

bool InsertRun(QSqlDatabase& db, const RecordSet& set, qlonglong runId, QString* error)
{
    return InsertRows(db, QStringLiteral("report"), ReportTable::NameList() + QStringLiteral(",\"Bench\",run_id"),
                      ReportTable::MarkList(), set.rows, {set.bench, runId}, error) &&
           InsertRows(db, QStringLiteral("measurement"), MeasurementTable::NameList() + QStringLiteral(",run_id"),
                      MeasurementTable::MarkList(), set.measurements, {runId}, error);
}

// What a run is found by on the line: its verdict and its rating, as the first record tells them.
QVariantList RunFacts(const RecordSet& set)
{
    if (set.rows.isEmpty())
        return {Text({}), Text({})};
    const ReportTable::Row& r = set.rows.first();
    const QString verdict = r[7].toString() == QLatin1String("True") ? QStringLiteral("PASS") : QStringLiteral("FAIL");
    const QString model = r[1].isNull() || r[2].isNull()
                              ? QString()
                              : QStringLiteral("%1V/%2A").arg(r[1].toString(), r[2].toString());
    return {verdict, Text(model)};
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
             QStringLiteral("SELECT (SELECT count(*) FROM run WHERE set_id = ?), "
                            "(SELECT count(*) FROM run WHERE sn = ? AND (made_at, set_id) > (CAST(? AS "
                            "timestamptz), ?))"),
             {set.setId, sn, madeAt, set.setId}, &why) ||
        !q.next())
        return failed();
    const Outcome known = q.value(0).toInt() > 0   ? Outcome::AlreadyStored
                          : q.value(1).toInt() > 0 ? Outcome::Superseded
                                                   : Outcome::Stored;
    q.finish();
    if (known != Outcome::AlreadyStored) {
        if (!Run(q,
                 QStringLiteral("INSERT INTO run (set_id, sn, bench, made_at, verdict, model, repeats) "
                                "VALUES (?, ?, ?, CAST(? AS timestamptz), ?, ?, ?) RETURNING id"),
                 QVariantList{set.setId, sn, Text(set.bench), madeAt} + RunFacts(set) + QVariantList{set.repeats},
                 &why) ||
            !q.next())
            return failed();
        const qlonglong runId = q.value(0).toLongLong();
        q.finish();
        if (!InsertRun(db_, set, runId, &why))
            return failed();
    }
    if (!db_.commit()) {
        why = Why(db_.lastError());
        return failed();
    }
    return known;
}

QList<QSqlRecord> ServerStore::records(const QString& serial, QString* error, bool allRuns)
{
    // Newest run first; Step is text: shorter numbers first keeps 10 after 9.
    const QString columns = ReportTable::NameList() + QStringLiteral(",\"Bench\",\"StoredAt\"");
    const QString sql =
        allRuns ? QStringLiteral("SELECT r.id AS \"Run\",%1 FROM report JOIN run r ON r.id = run_id WHERE r.sn = ? "
                                 "ORDER BY r.made_at DESC, r.set_id DESC, length(\"Step\"), \"Step\"")
                : QStringLiteral("SELECT %1 FROM report WHERE run_id = (SELECT id FROM run WHERE sn = ? "
                                 "ORDER BY made_at DESC, set_id DESC LIMIT 1) ORDER BY length(\"Step\"), \"Step\"");
    return select(sql.arg(columns), serial, error);
}

QList<QSqlRecord> ServerStore::measurements(const QString& serial, QString* error, bool allRuns)
{
    // The latest run that came with a certificate: a later run without one leaves it the unit's latest.
    const QString order = QStringLiteral("CASE \"Quantity\" WHEN 'V' THEN 0 ELSE 1 END, \"State\", \"Spot\", \"Check\"");
    const QString sql =
        allRuns ? QStringLiteral("SELECT r.id AS \"Run\",%1 FROM measurement JOIN run r ON r.id = run_id WHERE r.sn = ? "
                                 "ORDER BY r.made_at DESC, r.set_id DESC, %2")
                : QStringLiteral("SELECT %1 FROM measurement WHERE run_id = (SELECT r.id FROM run r WHERE r.sn = ? AND "
                                 "EXISTS (SELECT 1 FROM measurement m WHERE m.run_id = r.id) "
                                 "ORDER BY r.made_at DESC, r.set_id DESC LIMIT 1) ORDER BY %2");
    return select(sql.arg(MeasurementTable::NameList(), order), serial, error);
}

QList<QSqlRecord> ServerStore::select(const QString& sql, const QString& serial, QString* error)
{
    QList<QSqlRecord> out;
    withRetry(
        [&](QString* why) {
            out.clear();
            QSqlQuery q(db_);
            q.setForwardOnly(true);
            QString cause;
            if (!Run(q, sql, {serial}, &cause)) {
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
