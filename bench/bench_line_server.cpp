// psucal-line over HTTP on a line's server holding 1,000,000 records: 200 benches, two years, 20
// spots a run. The schema is made by psucal's store, which also files the first run; the rest are
// made in SQL alike (retests, failures, a bench whose meter drifts) so that the fill takes seconds.
#include "bench/SampleReport.h"
#include "bench/Support.h"
#include "db/ServerStore.h"
#include "report/ReportRows.h"
#include "tests/db/PgCluster.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

using namespace psucal;
using namespace psucal::bench;

namespace {

constexpr const char* Models = "('40','5'),('20','10'),('60','3'),('30','5'),('80','2.5')";
constexpr int ModelCount = 5;

bool Exec(QSqlQuery& q, const QString& sql)
{
    if (q.exec(sql))
        return true;
    std::fprintf(stderr, "bench_line_server: %s\n", qPrintable(q.lastError().text()));
    return false;
}

// The unit run i tests: every 25th run retests the unit before it, after that one failed.
QString UnitOf(const QString& i)
{
    return QStringLiteral("CASE WHEN %1 % 25 = 0 THEN %1 - 1 ELSE %1 END").arg(i);
}

bool Fill(QSqlDatabase& db, int runs, int benches, int days)
{
    QSqlQuery q(db);
    const QString unit = UnitOf(QStringLiteral("i"));
    // Runs evenly over `days` up to now, the benches taking turns in a scattered order.
    const QString fillRuns =
        QStringLiteral(
            "INSERT INTO run (set_id, sn, bench, made_at, verdict, model) "
            "SELECT gen_random_uuid()::text, 'PSU' || lpad((%1)::text, 7, '0'), "
            "'BENCH-' || lpad(((i * 7919) % %2 + 1)::text, 3, '0'), "
            "date_trunc('second', now()) - (%3 - i) * (interval '%4 days' / %3), "
            "CASE WHEN i % 25 = 24 OR (i * 104729) % 100 < 2 THEN 'FAIL' ELSE 'PASS' END, "
            "m.v || 'V/' || m.c || 'A' "
            "FROM generate_series(1::bigint, %3) i "
            "JOIN (SELECT row_number() OVER () - 1 AS k, v, c FROM (VALUES %5) AS x(v, c)) m "
            "ON m.k = ((%1) * 31) % %6 ORDER BY i")
            .arg(unit)
            .arg(benches)
            .arg(runs)
            .arg(days)
            .arg(QLatin1String(Models))
            .arg(ModelCount);
    // One record per spot; each bench's meter reads a little off, BENCH-017's more and more.
    const QString fillRecords = QStringLiteral(
        "INSERT INTO report (\"SN\", \"MaxV\", \"MaxC\", \"TEquipment\", \"AmbientTemp\", \"TestBy\", \"TestData\", "
        "\"Pass\", \"Step\", \"SV\", \"DV\", \"OV\", \"SC\", \"DC\", \"OC\", \"Bench\", \"StoredAt\", run_id) "
        "SELECT sn, v, c, 'HP 34401A, shunt 1 mOhm', '23', 'QA-' || lpad((id % 40)::text, 3, '0'), "
        "to_char(made_at, 'YYYY-MM-DD'), CASE verdict WHEN 'PASS' THEN 'True' ELSE 'False' END, s::text, "
        "round(sv, 2)::text, round(sv + off + 0.004 * (random()::numeric - 0.5), 3)::text, "
        "round(sv + off + 0.01 * (random()::numeric - 0.5), 3)::text, "
        "round(sc, 2)::text, round(sc + 0.002 * (random()::numeric - 0.5), 3)::text, "
        "round(sc + 0.004 * (random()::numeric - 0.5), 3)::text, bench, made_at AT TIME ZONE 'UTC', id "
        "FROM (SELECT r.*, split_part(model, 'V/', 1) AS v, rtrim(split_part(model, 'V/', 2), 'A') AS c, "
        "(abs(hashtext(bench)) % 7 - 3) * 0.001 + CASE bench WHEN 'BENCH-017' THEN "
        "0.02 * extract(epoch FROM made_at - (now() - interval '%1 days')) / (86400 * %1) ELSE 0 END AS off "
        "FROM run r WHERE bench LIKE 'BENCH-%') r, "
        "LATERAL (SELECT s, v::numeric * s / 20 AS sv, c::numeric * s / 20 AS sc FROM generate_series(1, 20) s) p")
                                      .arg(days);
    // The store's connections give up on long statements; a fill is one.
    return Exec(q, QStringLiteral("SET statement_timeout = 0")) && Exec(q, QStringLiteral("SELECT setseed(0.42)")) && Exec(q, fillRuns) && Exec(q, fillRecords) &&
           Exec(q, QStringLiteral("VACUUM ANALYZE")) && Exec(q, QStringLiteral("CHECKPOINT"));
}

struct Fetched {
    int status = 0;
    QByteArray body;
    double ms = 0;
};

class Client {
public:
    explicit Client(QString base) : base_(std::move(base)) {}

    Fetched get(const QString& path)
    {
        const double t0 = Now();
        QNetworkReply* reply = net_.get(QNetworkRequest(QUrl(base_ + path)));
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        Fetched f{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(), 0};
        f.ms = (Now() - t0) * 1000;
        reply->deleteLater();
        if (f.status != 200)
            std::fprintf(stderr, "bench_line_server: %s answered %d\n", qPrintable(path), f.status);
        return f;
    }

    // A page as a browser loads it: the HTML, then the data its charts fetch, each address once
    // (the server answers one request at a time, so one after the other is what a browser waits
    // for too). The style and script are counted in the weight but not timed: a browser keeps them.
    Fetched page(const QString& path)
    {
        Fetched f = get(path);
        static const QRegularExpression src(QStringLiteral("data-src=\"([^\"]*)\""));
        QSet<QString> seen;
        for (auto m = src.globalMatch(QString::fromUtf8(f.body)); m.hasNext();) {
            const QString address = m.next().captured(1).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            if (seen.contains(address))
                continue;
            seen.insert(address);
            const Fetched data = get(address);
            f.status = std::max(f.status, data.status);
            f.ms += data.ms;
            f.body += data.body;
        }
        return f;
    }

private:
    QString base_;
    QNetworkAccessManager net_;
};

void Times(const char* name, const std::vector<double>& ms, const char* what)
{
    std::printf("%s: p50 %.1f ms, p99 %.1f ms, worst %.1f ms of %zu (%s)\n", name, Percentile(ms, 0.5),
                Percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()), ms.size(), what);
}

// `count` loads of each path in turn; false when any failed.
bool Measure(Client& c, const char* name, const QStringList& paths, int count, bool asPage, const char* what)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        const Fetched f = asPage ? c.page(paths[i % paths.size()]) : c.get(paths[i % paths.size()]);
        if (f.status != 200)
            return false;
        ms.push_back(f.ms);
    }
    Times(name, ms, what);
    return true;
}

QString Percent(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

bool Figures(Client& c, int runs, int days)
{
    const QString model = Percent(QStringLiteral("40V/5A"));
    const QString twoYears =
        QStringLiteral("&from=%1").arg(QDate::currentDate().addDays(-std::min(days, 730)).toString(Qt::ISODate));
    QStringList serials, parts;
    for (int i = 0; i < 200; ++i) {
        int unit = 1 + int((quint64(i) * 2654435761u) % quint64(runs));
        unit -= unit % 25 == 0 ? 1 : 0; // that run was a retest
        serials << QStringLiteral("/?sn=PSU%1").arg(unit, 7, 10, QLatin1Char('0'));
        parts << QStringLiteral("/?sn=%1").arg(unit % 100000, 5, 10, QLatin1Char('0'));
    }
    c.get(QStringLiteral("/")); // connects to the store
    bool ok = Measure(c, "line_search_serial", serials, 200, false, "search page for a whole serial; target p99 <= 50 ms") &&
              Measure(c, "line_search_part", parts, 100, false, "search page for 5 digits of a serial") &&
              Measure(c, "line_yield", {QStringLiteral("/yield")}, 20, true,
                      "yield page of the last 30 days with its chart's data; target <= 200 ms") &&
              Measure(c, "line_yield_two_years", {QStringLiteral("/yield?to=") + QDate::currentDate().toString(Qt::ISODate) + twoYears}, 10, true,
                      "yield page of the longest range") &&
              Measure(c, "line_drift_series", {QStringLiteral("/api/drift?spot=10&model=") + model}, 20, false,
                      "one model and spot, last 90 days; target <= 300 ms") &&
              Measure(c, "line_drift_series_two_years", {QStringLiteral("/api/drift?spot=10&model=") + model + twoYears}, 10,
                      false, "one model and spot, the longest range") &&
              Measure(c, "line_drift_page", {QStringLiteral("/drift?spot=10&model=") + model}, 10, true,
                      "drift page with both charts' data, last 90 days");
    if (!ok)
        return false;

    const qint64 own = c.get(QStringLiteral("/static/line.css")).body.size() + c.get(QStringLiteral("/static/line.js")).body.size();
    const QString sn = QStringLiteral("PSU%1").arg(25 * (runs / 50) - 1, 7, 10, QLatin1Char('0')); // retested
    const std::pair<const char*, QString> pages[] = {
        {"search", QStringLiteral("/")},
        {"unit", QStringLiteral("/unit/") + sn},
        {"yield", QStringLiteral("/yield")},
        {"drift", QStringLiteral("/drift?spot=10&model=") + model},
        {"drift_two_years", QStringLiteral("/drift?spot=10&model=") + model + twoYears}};
    qint64 heaviest = 0;
    for (const auto& [name, path] : pages) {
        const Fetched f = c.page(path);
        if (f.status != 200)
            return false;
        const qint64 bytes = f.body.size() + own;
        std::printf("line_weight_%s: %.1f KB (page, its data, style and script)\n", name, bytes / 1024.0);
        if (std::string_view(name) != "drift_two_years")
            heaviest = std::max(heaviest, bytes);
    }
    std::printf("line_weight: %.1f KB heaviest of the default pages, chart library not counted; target <= 200 KB\n",
                heaviest / 1024.0);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int records = Option(args, QStringLiteral("--records"), QStringLiteral("1000000")).toInt();
    const int benches = Option(args, QStringLiteral("--benches"), QStringLiteral("200")).toInt();
    const int days = Option(args, QStringLiteral("--days"), QStringLiteral("730")).toInt();
    const int runs = std::max(100, records / Spots);

    if (test::PgCluster::BinDir().isEmpty()) {
        std::printf("line_search_serial: skipped, PostgreSQL 15 is not installed\n");
        return 0;
    }
    test::PgCluster cluster;
    QString error;
    // Reads are what is timed; the fill does not need to survive a power cut.
    if (!cluster.create(false, &error)) {
        std::fprintf(stderr, "bench_line_server: %s\n", qPrintable(error));
        return 1;
    }
    const ServerAddress address = ServerAddress::Parse(cluster.url(), &error);
    {
        SampleReport sample(QStringLiteral("SIM00000"), Spots);
        RecordSet set;
        ServerStore store(address);
        if (!ReportRows::MakeSet(*sample.data, &set, &error) || store.put(set, &error) == ServerStore::Outcome::Failed) {
            std::fprintf(stderr, "bench_line_server: %s\n", qPrintable(error));
            return 1;
        }
    }
    double t0 = Now();
    {
        QSqlDatabase db = address.open(QStringLiteral("fill"));
        if (!Fill(db, runs, benches, days))
            return 1;
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    std::printf("line_fill: %.1f s for %d runs, %d records, %d benches over %d days\n", Now() - t0, runs,
                runs * Spots, benches, days);

    Child line;
    QString started;
    if (!line.start(BinDir(args) + QStringLiteral("/psucal-line"),
                    {QStringLiteral("--database"), cluster.url(), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")},
                    {}, &error) ||
        !line.readLine(30, &started)) {
        std::fprintf(stderr, "bench_line_server: psucal-line did not start %s\n", qPrintable(error));
        return 1;
    }
    static const QRegularExpression at(QStringLiteral("http://[^/]+"));
    Client client(at.match(started).captured(0));
    const bool ok = Figures(client, runs, days);
    line.signal(SIGTERM);
    line.reap();
    return ok ? 0 : 1;
}
