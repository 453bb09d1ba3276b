#include "line/LineStore.h"

#include "db/Connection.h"
#include "db/Database.h"
#include "db/ReportTable.h"
#include "db/ServerSchema.h"
#include "spots/Band.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlRecord>
#include <QSysInfo>
#include <QVariant>

#include <algorithm>

namespace psucal::line {

namespace {

constexpr const char* RunColumns = "id, sn, bench, model, verdict, made_at";

QDateTime When(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().toUTC();
    // A bench's own file knows only the day of a test.
    const QString text = v.toString();
    const QDate day = QDate::fromString(text.left(10), Qt::ISODate);
    return text.size() > 10 ? QDateTime::fromString(text, Qt::ISODateWithMs).toUTC()
                            : QDateTime(day, QTime(0, 0), Qt::UTC);
}

Run ReadRun(const QSqlQuery& q, int first = 0)
{
    return Run{q.value(first).toLongLong(), q.value(first + 1).toString(), q.value(first + 2).toString(),
               q.value(first + 3).toString(), q.value(first + 4).toString(), When(q.value(first + 5))};
}

QString LikePattern(QString text)
{
    text.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("\\%")).replace(u'_', QStringLiteral("\\_"));
    return u'%' + text + u'%';
}

std::optional<double> Number(const QVariant& v)
{
    bool ok = false;
    const double d = v.toString().toDouble(&ok);
    return ok ? std::optional(d) : std::nullopt;
}

// The records' fields of table alias p: the run table shares a name with one of them.
QString SpotFields()
{
    QStringList names;
    for (const ReportTable::Field& f : ReportTable::Fields)
        names << QStringLiteral("p.\"%1\"").arg(QLatin1String(f.name));
    return names.join(u',');
}

QString Literal(QString text)
{
    return u'\'' + text.replace(u'\'', QStringLiteral("''")) + u'\'';
}

} // namespace

LineStore LineStore::Server(const ServerAddress& address)
{
    LineStore s;
    s.server_ = true;
    s.address_ = address;
    s.spotTable_ = QStringLiteral("report");
    return s;
}

LineStore LineStore::Folder(const QString& programDir)
{
    LineStore s;
    s.file_ = QDir(programDir).absoluteFilePath(QString::fromLatin1(Database::FileName));
    s.spotTable_ = QStringLiteral("temp.rep");
    return s;
}

LineStore::~LineStore()
{
    close();
}

LineStore::LineStore(LineStore&& o) noexcept
    : server_(o.server_), address_(std::move(o.address_)), file_(std::move(o.file_)), db_(std::move(o.db_)),
      spotTable_(std::move(o.spotTable_))
{
    o.db_ = QSqlDatabase();
}

QString LineStore::describe() const
{
    return server_ ? address_.display() : file_;
}

void LineStore::close()
{
    connection::Drop(db_);
}

bool LineStore::open(QString* error)
{
    if (db_.isOpen())
        return true;
    if (!server_) {
        if (!QFileInfo::exists(file_)) {
            *error = QStringLiteral("%1 does not exist").arg(file_);
            return false;
        }
        db_ = connection::OpenSqlite(file_, true);
        QSqlQuery q(db_);
        const bool hasRecords = db_.tables().contains(QStringLiteral("report"));
        // The file keeps one run per unit: the runs are its serial numbers, dated by their test day.
        const QString runs =
            hasRecords ? QStringLiteral("CREATE TEMP VIEW run AS SELECT min(rowid) AS id, SN AS sn, %1 AS bench, "
                                        "min(MaxV) || 'V/' || min(MaxC) || 'A' AS model, CASE min(Pass) WHEN 'True' "
                                        "THEN 'PASS' ELSE 'FAIL' END AS verdict, min(TestData) AS made_at "
                                        "FROM main.report WHERE SN IS NOT NULL GROUP BY SN")
                             .arg(Literal(QSysInfo::machineHostName()))
                       : QStringLiteral("CREATE TEMP TABLE run (id, sn, bench, model, verdict, made_at)");
        const QString spots = hasRecords ? QStringLiteral("CREATE TEMP VIEW rep AS SELECT report.*, run.id AS "
                                                          "run_id FROM main.report JOIN run ON run.sn = report.SN")
                                         : QStringLiteral("CREATE TEMP TABLE rep (%1, run_id)").arg(ReportTable::NameList());
        if (!db_.isOpen() || !q.exec(runs) || !q.exec(spots)) {
            *error = QStringLiteral("%1 cannot be read (%2)").arg(file_, q.lastError().text().trimmed());
            close();
            return false;
        }
        return true;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *error = QStringLiteral("Qt's PostgreSQL driver is not installed (Debian package libqt6sql6-psql)");
        return false;
    }
    db_ = address_.open(connection::UniqueName());
    QSqlQuery q(db_);
    if (!db_.isOpen() || !q.exec(QStringLiteral("SET default_transaction_read_only = on")) ||
        !q.exec(QStringLiteral("SET TIME ZONE 'UTC'"))) {
        *error = QStringLiteral("%1 cannot be reached (%2)").arg(address_.display(), db_.lastError().text().trimmed());
        close();
        return false;
    }
    if (!q.exec(QStringLiteral("SELECT CASE WHEN to_regclass('psucal_schema') IS NULL THEN 0 ELSE "
                               "(SELECT max(version) FROM psucal_schema) END")) ||
        !q.next() || q.value(0).toInt() < ServerSchema::Version) {
        *error = QStringLiteral("%1 holds no runs yet: a bench with this psucal release must store once first")
                     .arg(address_.display());
        close();
        return false;
    }
    return true;
}

bool LineStore::exec(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

bool LineStore::withQuery(const std::function<bool(QSqlQuery&)>& read, QString* error)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!open(error))
            return false;
        QSqlQuery q(db_);
        if (read(q))
            return true;
        *error = QStringLiteral("%1 cannot be read (%2)").arg(describe(), q.lastError().text().trimmed());
        q.finish();
        close();
    }
    return false;
}

QString LineStore::dayOf(const QString& column) const
{
    // A date, not text: formatting every run of a long range cost more than grouping them.
    return server_ ? QStringLiteral("CAST(%1 AS date)").arg(column)
                   : QStringLiteral("substr(%1, 1, 10)").arg(column);
}

QString LineStore::dayParam() const
{
    return server_ ? QStringLiteral("CAST(? AS date)") : QStringLiteral("?");
}

QString LineStore::where(const Filter& f, QVariantList* values) const
{
    QStringList terms{QStringLiteral("sn IS NOT NULL")};
    const auto add = [&](const QString& term, const QVariant& v) {
        terms << term;
        values->append(v);
    };
    if (!f.serial.isEmpty())
        add(server_ ? QStringLiteral("sn ILIKE ? ESCAPE '\\'") : QStringLiteral("sn LIKE ? ESCAPE '\\'"),
            LikePattern(f.serial));
    if (!f.model.isEmpty())
        add(QStringLiteral("model = ?"), f.model);
    if (!f.bench.isEmpty())
        add(QStringLiteral("bench = ?"), f.bench);
    if (!f.verdict.isEmpty())
        add(QStringLiteral("verdict = ?"), f.verdict);
    if (f.from.isValid())
        add(QStringLiteral("made_at >= ") + dayParam(), f.from.toString(Qt::ISODate));
    if (f.to.isValid())
        add(QStringLiteral("made_at < ") + dayParam(), f.to.addDays(1).toString(Qt::ISODate));
    return QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

std::optional<SearchResult> LineStore::search(const Filter& filter, int limit, QString* error)
{
    SearchResult out;
    const bool ok = withQuery(
        [&](QSqlQuery& q) {
            out = {};
            QVariantList values;
            const QString cond = where(filter, &values);
            if (!exec(q, QStringLiteral("SELECT count(*) FROM run") + cond, values) || !q.next())
                return false;
            out.total = q.value(0).toLongLong();
            values << limit << qlonglong(filter.page - 1) * limit;
            if (!exec(q,
                      QStringLiteral("SELECT %1 FROM run%2 ORDER BY made_at DESC, id DESC LIMIT ? OFFSET ?")
                          .arg(QLatin1String(RunColumns), cond),
                      values))
                return false;
            while (q.next())
                out.runs << ReadRun(q);
            return true;
        },
        error);
    return ok ? std::optional(out) : std::nullopt;
}

std::optional<QList<UnitRun>> LineStore::unit(const QString& serial, QString* error)
{
    QList<UnitRun> runs;
    const bool ok = withQuery(
        [&](QSqlQuery& q) {
            runs.clear();
            if (!exec(q,
                      QStringLiteral("SELECT r.id, r.sn, r.bench, r.model, r.verdict, r.made_at, %1 FROM %2 p JOIN run r "
                                     "ON r.id = p.run_id WHERE r.sn = ? ORDER BY r.made_at DESC, r.id DESC")
                          .arg(SpotFields(), spotTable_),
                      {serial}))
                return false;
            while (q.next()) {
                const Run run = ReadRun(q);
                if (runs.isEmpty() || runs.last().run.id != run.id) {
                    runs << UnitRun{run, q.value(9).toString(), q.value(10).toString(), q.value(11).toString(),
                                    q.value(12).toString(), q.value(7).toString(), q.value(8).toString(), {}};
                }
                Spot spot{q.value(14).toInt(), {}, {}};
                for (int k = 0; k < 3; ++k) {
                    spot.voltage[k] = q.value(15 + k).toString();
                    spot.current[k] = q.value(18 + k).toString();
                }
                runs.last().spots << spot;
            }
            return true;
        },
        error);
    if (!ok)
        return std::nullopt;
    for (UnitRun& r : runs)
        std::ranges::sort(r.spots, {}, &Spot::step);
    return runs;
}

std::optional<Yield> LineStore::yield(const Filter& filter, QString* error)
{
    Yield out;
    const bool ok = withQuery(
        [&](QSqlQuery& q) {
            out = {};
            QVariantList values;
            const QString cond = where(filter, &values);
            const std::pair<QString, QList<YieldRow>*> groups[] = {
                {dayOf(QStringLiteral("made_at")), &out.days},
                {QStringLiteral("coalesce(model, '')"), &out.models},
                {QStringLiteral("coalesce(bench, '')"), &out.benches}};
            for (const auto& [key, rows] : groups) {
                if (!exec(q,
                          QStringLiteral("SELECT %1 AS k, sum(CASE verdict WHEN 'PASS' THEN 1 ELSE 0 END), "
                                         "sum(CASE verdict WHEN 'PASS' THEN 0 ELSE 1 END) FROM run%2 GROUP BY k "
                                         "ORDER BY k")
                              .arg(key, cond),
                          values))
                    return false;
                while (q.next()) {
                    const QVariant k = q.value(0);
                    const QString key = k.metaType().id() == QMetaType::QDate ? k.toDate().toString(Qt::ISODate)
                                                                               : k.toString();
                    rows->append({key, q.value(1).toInt(), q.value(2).toInt()});
                }
            }
            return true;
        },
        error);
    return ok ? std::optional(out) : std::nullopt;
}

std::optional<Drift> LineStore::drift(const QString& model, int spot, QDate from, QDate to, QString* error)
{
    Drift out;
    const bool ok = withQuery(
        [&](QSqlQuery& q) {
            out = {};
            if (!exec(q,
                      QStringLiteral("SELECT r.made_at, r.sn, r.bench, p.\"SV\", p.\"OV\", p.\"SC\", p.\"OC\" FROM run r "
                                     "JOIN %1 p ON p.run_id = r.id WHERE r.model = ? AND p.\"Step\" = ? AND "
                                     "r.made_at >= %2 AND r.made_at < %2 ORDER BY r.made_at, r.id")
                          .arg(spotTable_, dayParam()),
                      {model, QString::number(spot), from.toString(Qt::ISODate), to.addDays(1).toString(Qt::ISODate)}))
                return false;
            while (q.next()) {
                DriftPoint p{When(q.value(0)), q.value(1).toString(), q.value(2).toString(), {}, {}};
                bool whole = true;
                for (int k = 0; k < 2; ++k) {
                    const auto setting = Number(q.value(3 + 2 * k));
                    const auto output = Number(q.value(4 + 2 * k));
                    whole = whole && setting && output;
                    p.setting[k] = setting.value_or(0);
                    p.deviation[k] = output.value_or(0) - setting.value_or(0);
                }
                // A spot that was never measured has no deviation to show.
                if (whole)
                    out.points << p;
            }
            return true;
        },
        error);
    if (!ok)
        return std::nullopt;
    QHash<QString, BenchDrift> benches;
    for (const DriftPoint& p : out.points) {
        BenchDrift& b = benches[p.bench];
        b.bench = p.bench;
        for (int k = 0; k < 2; ++k) {
            b.mean[k] = b.count == 0 ? p.deviation[k] : b.mean[k] + (p.deviation[k] - b.mean[k]) / (b.count + 1);
            b.low[k] = b.count == 0 ? p.deviation[k] : std::min(b.low[k], p.deviation[k]);
            b.high[k] = b.count == 0 ? p.deviation[k] : std::max(b.high[k], p.deviation[k]);
        }
        ++b.count;
    }
    out.benches = benches.values();
    std::ranges::sort(out.benches, {}, &BenchDrift::bench);
    if (!out.points.isEmpty())
        for (int k = 0; k < 2; ++k)
            out.limit[k] = spots::Band(k == 1, out.points.last().setting[k]);
    return out;
}

std::optional<QStringList> LineStore::distinct(const char* column, QString* error)
{
    QStringList out;
    const bool ok = withQuery(
        [&](QSqlQuery& q) {
            out.clear();
            // On the server, a hop from value to value along the column's index instead of reading
            // every run; the bench's file has no index to hop along.
            const QString sql =
                server_ ? QStringLiteral("WITH RECURSIVE v(v) AS (SELECT min(%1) FROM run UNION ALL SELECT "
                                         "(SELECT min(%1) FROM run WHERE %1 > v.v) FROM v WHERE v.v IS NOT NULL) "
                                         "SELECT v FROM v WHERE v IS NOT NULL ORDER BY v")
                        : QStringLiteral("SELECT DISTINCT %1 FROM run WHERE %1 IS NOT NULL ORDER BY %1");
            if (!exec(q, sql.arg(QLatin1String(column)), {}))
                return false;
            while (q.next())
                out << q.value(0).toString();
            return true;
        },
        error);
    return ok ? std::optional(out) : std::nullopt;
}

} // namespace psucal::line
