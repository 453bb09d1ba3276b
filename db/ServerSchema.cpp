#include "db/ServerSchema.h"

#include "db/MeasurementTable.h"
#include "db/ReportTable.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace psucal {

namespace {

// A statement of a step; one that may fail leaves its step going without it.
struct Statement {
    QString sql;
    bool mayFail = false;
    Statement(QString text, bool optional = false) : sql(std::move(text)), mayFail(optional) {}
};

// Version n + 1 is reached by Steps()[n]; a later schema change adds a step, never edits one.
QList<QList<Statement>> Steps()
{
    return {{
        QStringLiteral("CREATE TABLE IF NOT EXISTS report (%1, \"Bench\" varchar(255), "
                       "\"StoredAt\" timestamp DEFAULT (now() AT TIME ZONE 'UTC'))")
            .arg(ReportTable::ColumnList()),
        QStringLiteral("CREATE INDEX IF NOT EXISTS report_sn ON report (\"SN\")"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS report_set (set_id varchar(36) PRIMARY KEY, "
                       "sn varchar(%1), made_at timestamptz NOT NULL)")
            .arg(ReportTable::Fields[ReportTable::SerialField].size),
        QStringLiteral("CREATE INDEX IF NOT EXISTS report_set_sn ON report_set (sn)"),
    },
    {
        // Every run is kept: the current sets become the first runs, their records tied to them.
        QStringLiteral("CREATE TABLE run (id bigserial PRIMARY KEY, set_id varchar(36) NOT NULL UNIQUE, "
                       "sn varchar(%1), bench varchar(255), made_at timestamptz NOT NULL, verdict varchar(4), "
                       "model varchar(16))")
            .arg(ReportTable::Fields[ReportTable::SerialField].size),
        QStringLiteral("ALTER TABLE report ADD COLUMN run_id bigint REFERENCES run (id)"),
        QStringLiteral("INSERT INTO run (set_id, sn, made_at) SELECT set_id, sn, made_at FROM report_set "
                       "ORDER BY made_at"),
        QStringLiteral("UPDATE report SET run_id = run.id FROM run WHERE report.\"SN\" = run.sn"),
        // Sets without a serial were kept side by side; a set's records were written in the
        // transaction that wrote the set, so they share its xmin, unless a dump and restore parted them.
        QStringLiteral("UPDATE report SET run_id = run.id FROM report_set s JOIN run USING (set_id) "
                       "WHERE report.\"SN\" IS NULL AND s.sn IS NULL AND report.xmin = s.xmin AND NOT EXISTS "
                       "(SELECT 1 FROM report_set o WHERE o.sn IS NULL AND o.xmin = s.xmin AND o.set_id <> s.set_id)"),
        // Records that still have no run get one per store, dated when they were stored.
        QStringLiteral("WITH made AS (INSERT INTO run (set_id, sn, bench, made_at) "
                       "SELECT gen_random_uuid()::text, \"SN\", \"Bench\", \"StoredAt\" AT TIME ZONE 'UTC' "
                       "FROM (SELECT DISTINCT \"SN\", \"Bench\", \"StoredAt\" FROM report WHERE run_id IS NULL) o "
                       "RETURNING id, sn, bench, made_at) "
                       "UPDATE report SET run_id = made.id FROM made WHERE run_id IS NULL "
                       "AND \"SN\" IS NOT DISTINCT FROM made.sn AND \"Bench\" IS NOT DISTINCT FROM made.bench "
                       "AND \"StoredAt\" AT TIME ZONE 'UTC' IS NOT DISTINCT FROM made.made_at"),
        QStringLiteral("DROP TABLE report_set"),
        QStringLiteral("CREATE INDEX report_run ON report (run_id)"),
        // A run's facts as its first record tells them; a set that kept no records has none.
        QStringLiteral("UPDATE run SET (bench, verdict, model) = (SELECT \"Bench\", "
                       "CASE \"Pass\" WHEN 'True' THEN 'PASS' ELSE 'FAIL' END, \"MaxV\" || 'V/' || \"MaxC\" || 'A' "
                       "FROM report WHERE run_id = run.id LIMIT 1)"),
        QStringLiteral("CREATE INDEX run_sn ON run (sn, made_at)"),
        QStringLiteral("CREATE INDEX run_made_at ON run (made_at)"),
        QStringLiteral("CREATE INDEX run_model ON run (model, made_at)"),
    },
    {
        // What the line view looks up: a part of a serial, a bench's runs.
        // Trigrams need an extension a server may lack or not let psucal create; searches then
        // read the whole run table, slower but right.
        {QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"), true},
        {QStringLiteral("CREATE INDEX run_sn_part ON run USING gin (sn gin_trgm_ops)"), true},
        QStringLiteral("CREATE INDEX run_bench ON run (bench, made_at)"),
        // A drift series reads one spot of thousands of runs from the index alone.
        QStringLiteral("CREATE INDEX report_step ON report (\"Step\", run_id) INCLUDE (\"SV\", \"OV\", \"SC\", \"OC\")"),
    },
    {
        // A certificate's measurements, kept with the run that stored them.
        QStringLiteral("CREATE TABLE measurement (%1, run_id bigint NOT NULL REFERENCES run (id))")
            .arg(MeasurementTable::ColumnList()),
        QStringLiteral("CREATE INDEX measurement_run ON measurement (run_id)"),
        QStringLiteral("CREATE INDEX measurement_sn ON measurement (\"SN\")"),
        QStringLiteral("CREATE INDEX measurement_cert ON measurement (\"CertNo\")"),
    },
    {
        // The replies a run asked for again on a noisy line; earlier runs were not counted.
        QStringLiteral("ALTER TABLE run ADD COLUMN repeats integer NOT NULL DEFAULT 0"),
    }};
}

// 0 when there is no version table yet.
int StoredVersion(QSqlQuery& q)
{
    if (!q.exec(QStringLiteral("SELECT to_regclass('psucal_schema') IS NOT NULL")) || !q.next() || !q.value(0).toBool())
        return 0;
    return q.exec(QStringLiteral("SELECT max(version) FROM psucal_schema")) && q.next() ? q.value(0).toInt() : 0;
}

} // namespace

bool ServerSchema::Ensure(QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    // Every connection asks; only the first bench on a new server goes on to create.
    if (StoredVersion(q) == Version)
        return true;

    const auto failed = [&](const QSqlError& e) {
        *error = QStringLiteral("the records' tables cannot be set up on the server (%1)").arg(e.text().trimmed());
        db.rollback();
        return false;
    };
    const QList<QList<Statement>> steps = Steps();
    // One transaction per step: a step cut short, by an error or a bench that dies, leaves the
    // server at the version before it, and the next bench takes it again from there.
    for (;;) {
        if (!db.transaction())
            return failed(db.lastError());
        if (!q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1, 0)").arg(LockClass)) ||
            !q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS psucal_schema (version integer NOT NULL)")))
            return failed(q.lastError());
        const int found = StoredVersion(q);
        if (found > Version) {
            *error = QStringLiteral("the records' tables on the server are of version %1; this psucal knows "
                                    "version %2 at most and leaves them alone")
                         .arg(found)
                         .arg(Version);
            db.rollback();
            return false;
        }
        if (found == Version)
            return db.commit() || failed(db.lastError());
        // Indexing a line's years of records can outlast the connection's limit on a statement; a
        // step cut short would be retried, and cut short again, by every bench that stores.
        if (!q.exec(QStringLiteral("SET LOCAL statement_timeout = 0")))
            return failed(q.lastError());
        for (const Statement& s : steps[found]) {
            if (!s.mayFail) {
                if (!q.exec(s.sql))
                    return failed(q.lastError());
                continue;
            }
            // A failed statement spoils the transaction unless it is rolled back on its own.
            if (!q.exec(QStringLiteral("SAVEPOINT optional")))
                return failed(q.lastError());
            const bool done = q.exec(s.sql);
            if (!q.exec(done ? QStringLiteral("RELEASE SAVEPOINT optional")
                             : QStringLiteral("ROLLBACK TO SAVEPOINT optional")))
                return failed(q.lastError());
        }
        if (!q.exec(QStringLiteral("DELETE FROM psucal_schema")) ||
            !q.exec(QStringLiteral("INSERT INTO psucal_schema VALUES (%1)").arg(found + 1)))
            return failed(q.lastError());
        if (!db.commit())
            return failed(db.lastError());
    }
}

} // namespace psucal
