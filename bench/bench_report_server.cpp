// Eight benches storing a unit's 20 records each on one PostgreSQL server that already holds
// 1,000,000 records, beside the same store into a Calibration.dt of that size. The server is a
// throw-away cluster with the ordinary durability settings (fsync on).
#include "bench/SampleReport.h"
#include "bench/Support.h"
#include "db/ServerStore.h"
#include "report/ReportRows.h"
#include "tests/db/PgCluster.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace psucal;
using namespace psucal::bench;

namespace {

constexpr int Benches = 8;

void Figure(const char* name, const std::vector<double>& ms, const char* what)
{
    std::printf("%s: p50 %.1f ms, p99 %.1f ms, worst %.1f ms of %zu stores (%s)\n", name, Percentile(ms, 0.5),
                Percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()), ms.size(), what);
}

bool Exec(QSqlQuery& q, const QString& sql)
{
    if (q.exec(sql))
        return true;
    std::fprintf(stderr, "bench_report_server: %s\n", qPrintable(q.lastError().text()));
    return false;
}

// The rows of `units` units, 20 spots each, as SQL producing them from unit u and step s.
QString FillSelect()
{
    return QStringLiteral("'40', '5', 'HP 34401A', '23', 'QA-017', '2026-03-14', 'True', s, s || '.00', s || '.01', "
                          "s || '.02', s || '.00', s || '.01', s || '.02'");
}

// One bench: its stores' times in ms on stdout, the first (which connects) marked.
int Worker(const QString& url, int bench, int stores, int units)
{
    QString error;
    ServerStore server(ServerAddress::Parse(url, &error));
    for (int i = 0; i < stores; ++i) {
        SampleReport sample(Serial((bench * 6151 + i * 997) % units), Spots);
        RecordSet set;
        ReportRows::MakeSet(*sample.data, &set, &error);
        const double t0 = Now();
        if (server.put(set, &error) == ServerStore::Outcome::Failed) {
            std::fprintf(stderr, "bench %d: %s\n", bench, qPrintable(error));
            return 1;
        }
        std::printf("%s%.3f\n", i == 0 ? "first " : "", (Now() - t0) * 1000);
    }
    return 0;
}

bool ServerFigures(int units, int stores)
{
    test::PgCluster cluster;
    QString error;
    if (test::PgCluster::BinDir().isEmpty()) {
        std::printf("report_server_store: skipped, PostgreSQL 15 is not installed\n");
        return true;
    }
    if (!cluster.create(true, &error)) {
        std::fprintf(stderr, "bench_report_server: %s\n", qPrintable(error));
        return false;
    }
    const ServerAddress address = ServerAddress::Parse(cluster.url(), &error);
    {
        ServerStore schema(address); // creates the tables
        if (schema.put(RecordSet::Make(QStringLiteral("SETUP"), {}), &error) == ServerStore::Outcome::Failed) {
            std::fprintf(stderr, "bench_report_server: %s\n", qPrintable(error));
            return false;
        }
    }
    QSqlDatabase db = address.open(QStringLiteral("fill"));
    QSqlQuery q(db);
    double t0 = Now();
    if (!Exec(q, QStringLiteral("INSERT INTO report SELECT 'SIM' || lpad(u::text, 5, '0'), %1, 'fill' FROM "
                                "generate_series(0, %2) u, generate_series(1, %3) s")
                     .arg(FillSelect())
                     .arg(units - 1)
                     .arg(Spots)) ||
        !Exec(q, QStringLiteral("INSERT INTO run (set_id, sn, bench, made_at, verdict, model) SELECT "
                                "gen_random_uuid(), 'SIM' || lpad(u::text, 5, '0'), 'fill', now() - interval '1 day', "
                                "'PASS', '40V/5A' FROM generate_series(0, %1) u")
                     .arg(units - 1)) ||
        !Exec(q, QStringLiteral("UPDATE report SET run_id = run.id FROM run WHERE run.sn = report.\"SN\"")) ||
        !Exec(q, QStringLiteral("ANALYZE")) || !Exec(q, QStringLiteral("CHECKPOINT")))
        return false;
    std::printf("report_server_fill: %.1f s for %d records\n", Now() - t0, units * Spots);

    std::vector<std::unique_ptr<QProcess>> benches;
    for (int b = 0; b < Benches; ++b) {
        benches.push_back(std::make_unique<QProcess>());
        benches.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        benches.back()->start(QCoreApplication::applicationFilePath(),
                              {QStringLiteral("--worker"), QString::number(b), QStringLiteral("--url"), cluster.url(),
                               QStringLiteral("--stores"), QString::number(stores), QStringLiteral("--units"),
                               QString::number(units)});
    }
    std::vector<double> times, firsts;
    for (auto& b : benches) {
        if (!b->waitForFinished(600000) || b->exitCode() != 0)
            return false;
        for (const QByteArray& line : b->readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                (line.startsWith("first ") ? firsts : times).push_back(line.split(' ').last().toDouble());
    }
    std::printf("report_server_connect: %.1f ms median (a bench's first store: connect and schema check)\n",
                Percentile(firsts, 0.5));
    Figure("report_server_store", times, "8 benches at once, 20 records each; target p99 <= 30 ms");
    // Every store is a run of its own, kept beside the earlier ones: the filled units' runs and
    // the benches' together, each with its whole set.
    const qint64 runs = units + static_cast<qint64>(Benches) * stores;
    const bool read =
        Exec(q, QStringLiteral("SELECT count(*), count(run_id), count(DISTINCT run_id) FROM report")) && q.next();
    const qint64 rows = read ? q.value(0).toLongLong() : -1;
    const qint64 tied = read ? q.value(1).toLongLong() : -1;
    const qint64 seen = read ? q.value(2).toLongLong() : -1;
    q.finish();
    const bool even = Exec(q, QStringLiteral("SELECT count(*) FROM (SELECT run_id FROM report GROUP BY run_id "
                                             "HAVING count(*) <> %1) odd")
                                  .arg(Spots)) &&
                      q.next() && q.value(0).toLongLong() == 0;
    const bool whole = rows == runs * Spots && tied == rows && seen == runs && even;
    if (whole)
        std::printf("report_server_records: %lld runs of %d records each, every store kept\n",
                    static_cast<long long>(runs), Spots);
    else
        std::printf("report_server_records: WRONG COUNT (%lld records, %lld of them in %lld runs%s; expected %lld in %lld)\n",
                    static_cast<long long>(rows), static_cast<long long>(tied), static_cast<long long>(seen),
                    even ? "" : ", some of another size", static_cast<long long>(runs * Spots), static_cast<long long>(runs));
    q.finish();
    db.close();
    return whole;
}

bool SqliteFigures(int units, int stores)
{
    QTemporaryDir dir;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("sqlite"));
    db.setDatabaseName(QDir(dir.path()).filePath(QStringLiteral("Calibration.dt")));
    QString error;
    QSqlQuery q(db);
    if (!db.open() || !ReportRows::EnsureTable(db, &error) ||
        !Exec(q, QStringLiteral("WITH RECURSIVE u(u) AS (SELECT 0 UNION ALL SELECT u + 1 FROM u WHERE u < %1), "
                                "s(s) AS (SELECT 1 UNION ALL SELECT s + 1 FROM s WHERE s < %2) "
                                "INSERT INTO report SELECT printf('SIM%05d', u), %3 FROM u, s")
                     .arg(units - 1)
                     .arg(Spots)
                     .arg(FillSelect())))
        return false;
    std::vector<double> times;
    for (int i = 0; i < stores; ++i) {
        SampleReport sample(Serial(i * 997 % units), Spots);
        const double t0 = Now();
        if (!ReportRows::SaveReport(db, *sample.data, &error))
            return false;
        times.push_back((Now() - t0) * 1000);
    }
    Figure("report_server_sqlite", times, "one bench into Calibration.dt, the same 1,000,000 records");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int units = Option(args, QStringLiteral("--units"), QStringLiteral("50000")).toInt();
    const int stores = std::max(2, Option(args, QStringLiteral("--stores"), QStringLiteral("100")).toInt());
    if (args.contains(QStringLiteral("--worker")))
        return Worker(Option(args, QStringLiteral("--url"), {}), Option(args, QStringLiteral("--worker"), {}).toInt(),
                      stores, units);
    return ServerFigures(units, stores) && SqliteFigures(units, stores) ? 0 : 1;
}
