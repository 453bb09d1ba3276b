// SaveReport of one unit (20 spots) into a results database that already holds 1,000,000
// records of 50,000 units, against a delete that scans the whole table.
#include "bench/SampleReport.h"
#include "bench/Support.h"
#include "report/ReportRows.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace psucal;
using namespace psucal::bench;

namespace {

bool Exec(QSqlQuery& q)
{
    if (q.exec())
        return true;
    std::fprintf(stderr, "bench_report_store: %s\n", qPrintable(q.lastError().text()));
    return false;
}

// Rows as SaveReport writes them, prepared once.
class Inserter {
public:
    explicit Inserter(QSqlDatabase& db) : q_(db)
    {
        QStringList names, marks;
        for (const auto& f : ReportRows::Fields) {
            names << QString::fromLatin1(f.name);
            marks << QStringLiteral("?");
        }
        q_.prepare(QStringLiteral("INSERT INTO report (%1) VALUES (%2)").arg(names.join(u','), marks.join(u',')));
    }
    bool unit(const QString& serial)
    {
        const QVariant head[8] = {serial, "40", "5", "HP 34401A", "23", "QA-017", "2026-03-14", "True"};
        for (int step = 1; step <= Spots; ++step) {
            for (int f = 0; f < 8; ++f)
                q_.bindValue(f, head[f]);
            q_.bindValue(8, QString::number(step));
            for (int f = 9; f < 15; ++f)
                q_.bindValue(f, QStringLiteral("%1.00").arg(step));
            if (!Exec(q_))
                return false;
        }
        return true;
    }

private:
    QSqlQuery q_;
};

// SaveReport for `runs` units spread over the table.
bool Saves(QSqlDatabase& db, SampleReport& sample, int units, int runs, std::vector<double>* times)
{
    for (int i = 0; i < runs; ++i) {
        sample.data->SerialNo = Serial((units / 4 + i * 997) % units);
        QString error;
        const double t0 = Now();
        if (!ReportRows::SaveReport(db, *sample.data, &error)) {
            std::fprintf(stderr, "bench_report_store: %s\n", qPrintable(error));
            return false;
        }
        times->push_back(Now() - t0);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int units = Option(args, QStringLiteral("--units"), QStringLiteral("50000")).toInt();
    const int runs = std::max(1, Option(args, QStringLiteral("--runs"), QStringLiteral("20")).toInt());

    QTemporaryDir dir;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
    db.setDatabaseName(QDir(dir.path()).filePath(QStringLiteral("Calibration.dt")));
    QString error;
    if (!db.open() || !ReportRows::EnsureTable(db, &error)) {
        std::fprintf(stderr, "bench_report_store: cannot set up the database: %s\n", qPrintable(error));
        return 1;
    }

    // Filled without the index, as a table that only ever had the scanning delete.
    double t0 = Now();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("DROP INDEX report_SN"));
    if (!Exec(q) || !db.transaction())
        return 1;
    {
        Inserter fill(db);
        for (int u = 0; u < units; ++u)
            if (!fill.unit(Serial(u)))
                return 1;
    }
    db.commit();
    std::printf("report_store_fill: %.1f s for %d records\n", Now() - t0, units * Spots);

    std::vector<double> scans;
    for (int i = 0; i < std::min(runs, 5); ++i) {
        t0 = Now();
        db.transaction();
        QSqlQuery del(db);
        del.prepare(QStringLiteral("DELETE FROM report WHERE SN = ?"));
        del.addBindValue(Serial(units / 2 + i));
        Inserter again(db);
        if (!Exec(del) || !again.unit(Serial(units / 2 + i)) || !db.commit())
            return 1;
        scans.push_back(Now() - t0);
    }

    SampleReport sample(Serial(units / 3), Spots);
    t0 = Now();
    if (!ReportRows::SaveReport(db, *sample.data, &error)) {
        std::fprintf(stderr, "bench_report_store: %s\n", qPrintable(error));
        return 1;
    }
    const double first = Now() - t0;

    std::vector<double> saves, walSaves;
    if (!Saves(db, sample, units, runs, &saves))
        return 1;
    // The same with a write-ahead log: the commit's syncs are most of the time above.
    q.prepare(QStringLiteral("PRAGMA journal_mode = WAL"));
    if (!Exec(q))
        return 1;
    q.finish(); // a statement still open would keep SaveReport from committing
    if (!Saves(db, sample, units, runs, &walSaves))
        return 1;

    q.prepare(QStringLiteral("SELECT COUNT(*) FROM report"));
    const qlonglong records = Exec(q) && q.next() ? q.value(0).toLongLong() : -1;
    std::printf("report_store_scan_baseline: %.1f ms median of %zu (delete by full scan + 20 inserts)\n",
                Percentile(scans, 0.5) * 1000, scans.size());
    std::printf("report_store_first: %.1f ms (builds the index on SN once)\n", first * 1000);
    std::printf("report_store_save: %.1f ms median, %.1f ms worst of %d (rollback journal; target <= 20 ms)\n",
                Percentile(saves, 0.5) * 1000, *std::max_element(saves.begin(), saves.end()) * 1000, runs);
    std::printf("report_store_save_wal: %.1f ms median, %.1f ms worst of %d (same, journal_mode=WAL)\n",
                Percentile(walSaves, 0.5) * 1000, *std::max_element(walSaves.begin(), walSaves.end()) * 1000, runs);
    std::printf("report_store_records: %lld (expected %d)\n", records, units * Spots);
    return records == units * Spots ? 0 : 1;
}
