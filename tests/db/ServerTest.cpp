// Against a real PostgreSQL server: a throw-away cluster of this suite's own.
#include "db/Connection.h"
#include "db/ServerSchema.h"
#include "db/ServerStore.h"
#include "report/RecordsReadout.h"
#include "report/ReportRows.h"
#include "report/BenchRecords.h"
#include "tests/db/PgCluster.h"
#include "tests/report/ReportFixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>

namespace psucal::test {
namespace {

using Where = BenchRecords::Placement::Where;

const QString LineIndexes = QStringLiteral("SELECT indexname FROM pg_indexes WHERE indexname IN "
                                           "('report_run', 'report_step', 'run_bench', 'run_sn_part') ORDER BY 1");

class ServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (PgCluster::BinDir().isEmpty())
            return;
        cluster = new PgCluster;
        cluster->create(false, &clusterError);
    }
    static void TearDownTestSuite() { delete cluster; }

    void SetUp() override
    {
        if (!cluster)
            GTEST_SKIP() << "PostgreSQL 15 is not installed; scripts/install-deps installs it";
        ASSERT_TRUE(clusterError.isEmpty()) << qPrintable(clusterError);
        sql(QStringLiteral("DROP TABLE IF EXISTS measurement, report, report_set, run, psucal_schema"));
        QString error;
        address = ServerAddress::Parse(cluster->url(), &error);
        ASSERT_FALSE(address.isEmpty()) << qPrintable(error);
    }

    static QString sql(const QString& statement)
    {
        QString error;
        const QString out = cluster->psql(statement, &error);
        EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
        return out;
    }

    // The records of each unit's latest run, as a table to select from.
    static QString latest()
    {
        return QStringLiteral("(SELECT p.* FROM report p JOIN (SELECT DISTINCT ON (sn) id FROM run "
                              "ORDER BY sn, made_at DESC, set_id DESC) l ON l.id = p.run_id) x");
    }

    static inline PgCluster* cluster = nullptr;
    static inline QString clusterError;
    ServerAddress address;
    QTemporaryDir dir;
};

TEST_F(ServerTest, RecordsStoredAndReadBackVerbatimWithTheirBenchAndTime)
{
    const QString serial = QStringLiteral("Ü'\"€\\7,x");
    BenchRecords store(QSqlDatabase(), dir.path(), address);
    for (int spots : {20, 10}) {
        Report r(spots, serial);
        r.current.spot(4)->display.reset();
        const BenchRecords::Placement placed = store.Store(r.data);
        EXPECT_EQ(placed.where, Where::Server) << qPrintable(placed.message);
    }
    // Both runs are kept; the read-back shows the latest unless asked for all.
    EXPECT_EQ(sql(QStringLiteral("SELECT \"SN\", count(*), count(DISTINCT run_id) FROM report GROUP BY 1")),
              serial + QStringLiteral("|30|2"));
    EXPECT_EQ(sql(QStringLiteral("SELECT version FROM psucal_schema")), QString::number(ServerSchema::Version));
    EXPECT_EQ(sql(LineIndexes), QStringLiteral("report_run\nreport_step\nrun_bench\nrun_sn_part"));

    // The quality manager's read-back: the local file's fields, then the bench and the time stored.
    QString out, err;
    QTextStream o(&out), e(&err);
    EXPECT_EQ(PrintRecords(dir.path(), address, serial, QStringLiteral("csv"), o, e), 0) << qPrintable(err);
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0],
              "SN,MaxV,MaxC,TEquipment,AmbientTemp,TestBy,TestData,Pass,Step,SV,DV,OV,SC,DC,OC,Bench,StoredAt");
    const QString host = u',' + QSysInfo::machineHostName() + u',';
    EXPECT_TRUE(lines[1].startsWith("\"Ü'\"\"€\\7,x\",40,5,HP 34401A,23,QA-017,2026-03-14,True,1,1.0,1.01,1.11,0.01,"
                                    "0.011,0.012" +
                                    host))
        << qPrintable(lines[1]);
    EXPECT_TRUE(lines[3].contains(",3,3.0,3.03,3.13,0.03,,0.032" + host)) << qPrintable(lines[3]);
    EXPECT_TRUE(lines[10].contains(",10,10.0,")) << qPrintable(lines[10]);
    QDateTime stored = QDateTime::fromString(lines[1].split(u',').last(), Qt::ISODateWithMs);
    stored.setTimeSpec(Qt::UTC);
    EXPECT_LT(std::abs(stored.secsTo(QDateTime::currentDateTimeUtc())), 60) << qPrintable(lines[1]);
    out.clear();
    EXPECT_EQ(PrintRecords(dir.path(), address, serial, QStringLiteral("csv"), o, e, true), 0) << qPrintable(err);
    const QStringList all = out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(all.size(), 31);
    EXPECT_TRUE(all[0].startsWith("Run,SN,"));
    EXPECT_GT(all[1].section(u',', 0, 0).toInt(), all[30].section(u',', 0, 0).toInt());
}

// A role that may make tables but not extensions gets every index but the serial parts' one.
TEST_F(ServerTest, ABenchThatMayNotAddExtensionsStillSetsUpTheTables)
{
    sql(QStringLiteral("DROP EXTENSION IF EXISTS pg_trgm; DROP ROLE IF EXISTS bench; CREATE ROLE bench LOGIN; "
                       "GRANT CREATE, USAGE ON SCHEMA public TO bench"));
    QString error;
    const ServerAddress limited =
        ServerAddress::Parse(cluster->url().replace(QStringLiteral("//psucal@"), QStringLiteral("//bench@")), &error);
    ASSERT_EQ(ServerStore(limited).put(RecordSet::Make(QStringLiteral("LIMITED-1"), {}), &error),
              ServerStore::Outcome::Stored)
        << qPrintable(error);
    EXPECT_EQ(sql(QStringLiteral("SELECT version, (SELECT count(*) FROM run) FROM psucal_schema")),
              QStringLiteral("%1|1").arg(ServerSchema::Version));
    EXPECT_EQ(sql(LineIndexes), QStringLiteral("report_run\nreport_step\nrun_bench"));
    sql(QStringLiteral("DROP TABLE measurement, report, run, psucal_schema; DROP OWNED BY bench; DROP ROLE bench"));
}

// A server as each earlier psucal left it (tests/db/data) is brought up to today's schema with every
// record in the run of the store that made it. A bench killed inside a step leaves the server as it
// was; the next bench completes the upgrade.
TEST_F(ServerTest, AServerOfEveryEarlierSchemaIsBroughtUpWithEveryRecordInItsRun)
{
    const auto until = [](const QString& query, const QString& answer) {
        for (QDeadlineTimer t(30000); sql(query) != answer; QThread::msleep(20))
            if (t.hasExpired())
                return false;
        return true;
    };
    sql(QStringLiteral("\\i '" TEST_DATA_DIR "/checks.sql'"));
    QString error;
    for (int version = 1; version < ServerSchema::Version; ++version) {
        SCOPED_TRACE(version);
        sql(QStringLiteral("DROP TABLE IF EXISTS measurement, report, report_set, run, psucal_schema"));
        // From version 2 on each file is its step over the one before, and what its stores wrote.
        for (int v = version == 1 ? 1 : 2; v <= version; ++v)
            sql(QStringLiteral("\\i '" TEST_DATA_DIR "/schema%1.sql'").arg(v));
        sql(QStringLiteral("SELECT upgrade_check.remember()"));

        // A bench's upgrade held where its step writes the new version, then killed.
        QSqlDatabase holder = address.open(connection::UniqueName());
        ASSERT_TRUE(holder.transaction() && QSqlQuery(holder).exec("LOCK TABLE psucal_schema IN SHARE MODE"));
        QProcess bench;
        bench.start(QStringLiteral(STORE_WORKER_PATH), {cluster->url(), "0", "1"});
        ASSERT_TRUE(until("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND query LIKE "
                          "'DELETE FROM psucal_schema%'",
                          "1"));
        bench.kill();
        bench.waitForFinished();
        connection::Drop(holder);
        // The server ends the dead bench's session once the lock lets it see the bench is gone.
        ASSERT_TRUE(until("SELECT count(*) FROM pg_stat_activity WHERE backend_type = 'client backend' AND pid <> "
                          "pg_backend_pid()",
                          "0"));
        EXPECT_EQ(sql(QStringLiteral("SELECT upgrade_check.unchanged()")), QString());

        ASSERT_EQ(ServerStore(address).put(RecordSet::Make(QStringLiteral("AFTER-1"), {}), &error),
                  ServerStore::Outcome::Stored)
            << qPrintable(error);
        EXPECT_EQ(sql(QStringLiteral("SELECT upgrade_check.upgraded(%1)").arg(ServerSchema::Version)), QString());
        // A bench whose outbox missed the confirmation of a set without a serial sends it again.
        RecordSet resent = RecordSet::Make(QString(), {});
        resent.setId = QStringLiteral("a0000000-0000-4000-8000-000000000001");
        EXPECT_EQ(ServerStore(address).put(resent, &error), ServerStore::Outcome::AlreadyStored) << qPrintable(error);
    }

    // A bench that knows only an earlier schema than the server's leaves it alone and keeps its records.
    const QString newer = QString::number(ServerSchema::Version + 1);
    sql(QStringLiteral("UPDATE psucal_schema SET version = ") + newer);
    BenchRecords store(QSqlDatabase(), dir.path(), address);
    const BenchRecords::Placement placed = store.Store(Report(3, QStringLiteral("NEWER-1")).data);
    EXPECT_TRUE(placed.where == Where::Outbox && placed.message.contains("version " + newer)) << qPrintable(placed.message);
    EXPECT_EQ(sql(QStringLiteral("SELECT count(*) FROM run WHERE sn = 'NEWER-1'")) + store.outbox().pending(&error).value(0).serial,
              QStringLiteral("0NEWER-1"));
}

TEST_F(ServerTest, EightBenchesStoringAtOnceMakeEachSetOneCompleteRun)
{
    constexpr int Workers = 8, Stores = 200;
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int w = 0; w < Workers; ++w) {
        workers.push_back(std::make_unique<QProcess>());
        workers.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        workers.back()->start(QStringLiteral(STORE_WORKER_PATH),
                              {cluster->url(), QString::number(w), QString::number(Stores)});
    }
    // Serials whose records are not one worker's complete set: worker w writes 3 + w spots.
    const QString mixtures = QStringLiteral(
        "SELECT count(*) FROM (SELECT 1 FROM report GROUP BY run_id HAVING count(DISTINCT \"TestBy\") > 1 "
        "OR count(*) <> count(DISTINCT \"Step\") OR count(*) <> 3 + substr(min(\"TestBy\"), 2, 1)::int) m");
    // A mixture would be overwritten by the next clean store: watch the committed state throughout.
    QSqlDatabase watch = address.open(QStringLiteral("watch"));
    QSqlQuery q(watch);
    int mixed = 0, looks = 0;
    for (bool running = true; running;) {
        // Until the first bench has created the tables, there is nothing to look at.
        if (q.exec(mixtures) && q.next()) {
            mixed += q.value(0).toInt();
            ++looks;
        }
        running = false;
        for (auto& w : workers)
            running = (!w->waitForFinished(0) && w->state() != QProcess::NotRunning) || running;
    }
    q.finish();
    watch.close();
    EXPECT_EQ(mixed, 0) << "in " << looks << " looks";
    EXPECT_GT(looks, 10);
    for (auto& w : workers)
        EXPECT_EQ(w->exitCode(), 0);
    EXPECT_EQ(sql(mixtures), "0");
    // Every set became exactly one run.
    EXPECT_EQ(sql(QStringLiteral("SELECT count(DISTINCT \"SN\"), (SELECT count(*) FROM run) FROM report")),
              QStringLiteral("27|%1").arg(Workers * Stores));
    // A worker's own unit ends with the last set that worker made for it.
    QStringList last;
    for (int w = 0; w < Workers; ++w)
        for (int j = 0, i = Stores - 1; j < 3; ++j, i = Stores - 1) {
            while (i % 2 != 0 || i % 3 != j)
                --i;
            last << QStringLiteral("OWN%1-%2|w%1#%3").arg(w).arg(j).arg(i);
        }
    EXPECT_EQ(sql(QStringLiteral("SELECT \"SN\", min(\"TestBy\") FROM %1 WHERE \"SN\" LIKE 'OWN%' GROUP BY 1 "
                                 "ORDER BY 1")
                      .arg(latest())),
              last.join(u'\n'));
}

TEST_F(ServerTest, RecordsMadeWhileTheServerIsAwayReachItOnceInMakingOrder)
{
    BenchRecords store(QSqlDatabase(), dir.path(), address);
    Report first(5, QStringLiteral("UNIT-A"));
    ASSERT_EQ(store.Store(first.data).where, Where::Server);
    // A set whose commit the outbox never heard of; without a serial, nothing replaces it.
    RecordSet committed;
    QString error;
    ASSERT_TRUE(ReportRows::MakeSet(Report(4, QString()).data, &committed, &error));
    ServerStore direct(address);
    ASSERT_EQ(direct.put(committed, &error), ServerStore::Outcome::Stored) << qPrintable(error);

    ASSERT_TRUE(cluster->stop(&error)) << qPrintable(error);
    Report newer(7, QStringLiteral("UNIT-A")), other(3, QStringLiteral("UNIT-C"));
    newer.data.TestedBy = QStringLiteral("newer");
    newer.data.Repeats = 4;
    for (Report* r : {&newer, &other}) {
        const BenchRecords::Placement placed = store.Store(r->data);
        EXPECT_EQ(placed.where, Where::Outbox);
        EXPECT_TRUE(placed.message.contains(store.outbox().path() + QStringLiteral(" and will be sent")))
            << qPrintable(placed.message);
    }
    ASSERT_TRUE(store.outbox().add(committed, &error));
    ASSERT_TRUE(cluster->start(&error)) << qPrintable(error);

    QString message;
    const Outbox::Flush f = store.FlushOutbox(&message);
    EXPECT_EQ(std::tie(f.sent, f.superseded, f.left), std::make_tuple(3, 0, 0)) << qPrintable(message);
    EXPECT_EQ(sql(QStringLiteral("SELECT coalesce(\"SN\", '-'), count(*), min(\"TestBy\") FROM %1 GROUP BY 1 "
                                 "ORDER BY 1")
                      .arg(latest())),
              QStringLiteral("-|4|QA-017\nUNIT-A|7|newer\nUNIT-C|3|QA-017"));
    EXPECT_TRUE(store.outbox().pending(&error).isEmpty());

    // A set made before the one the server holds never replaces it, whenever it arrives: it is
    // kept as an earlier run.
    RecordSet older;
    ASSERT_TRUE(ReportRows::MakeSet(first.data, &older, &error));
    older.madeAt = older.madeAt.addSecs(-3600);
    EXPECT_EQ(direct.put(older, &error), ServerStore::Outcome::Superseded);
    // A restarted server costs a kept connection nothing but a reconnect.
    ASSERT_TRUE(cluster->stop(&error) && cluster->start(&error)) << qPrintable(error);
    EXPECT_EQ(store.Store(Report(2, QStringLiteral("UNIT-D")).data).where, Where::Server);
    EXPECT_EQ(sql(QStringLiteral("SELECT count(*), count(DISTINCT \"SN\") FROM %1").arg(latest())), QStringLiteral("16|3"));
    EXPECT_EQ(sql(QStringLiteral("SELECT count(*), max(repeats) FROM run WHERE sn = 'UNIT-A'")), QStringLiteral("3|4"));
}

// A certificate's rows travel with the run's records, through the outbox too, and stay with
// their run when later runs come.
TEST_F(ServerTest, MeasurementsGoWithTheirRunWhereverTheRecordsGo)
{
    BenchRecords store(QSqlDatabase(), dir.path(), address);
    Report r(3, QStringLiteral("UNIT-M"));
    const CertificateData first = Certificate(QStringLiteral("B-1")), second = Certificate(QStringLiteral("B-2"));
    r.data.certificate = &first;
    ASSERT_EQ(store.Store(r.data).where, Where::Server);
    QString error;
    ASSERT_TRUE(cluster->stop(&error)) << qPrintable(error);
    r.data.certificate = &second;
    ASSERT_EQ(store.Store(r.data).where, Where::Outbox);
    ASSERT_TRUE(cluster->start(&error)) << qPrintable(error);
    QString message;
    EXPECT_EQ(store.FlushOutbox(&message).sent, 1) << qPrintable(message);
    r.data.certificate = nullptr;
    ASSERT_EQ(store.Store(r.data).where, Where::Server);

    EXPECT_EQ(sql(QStringLiteral("SELECT \"CertNo\", count(*), min(\"Spot\"), max(\"Spot\") FROM measurement m "
                                 "JOIN run ON run.id = run_id WHERE sn = 'UNIT-M' GROUP BY 1 ORDER BY 1")),
              QStringLiteral("B-1|8|1|2\nB-2|8|1|2"));
    QString out, err;
    QTextStream o(&out), e(&err);
    ASSERT_EQ(PrintRecords(dir.path(), address, "UNIT-M", "csv", o, e, false, true), 0) << qPrintable(err);
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[8], "B-2,UNIT-M,I,left,1,output,0.5,0.5,+4.99870000E-04,0.49987,1,0.000015,0.495,0.505,Fail");
    out.clear();
    ASSERT_EQ(PrintRecords(dir.path(), address, "UNIT-M", "csv", o, e, true, true), 0) << qPrintable(err);
    EXPECT_EQ(out.count(QStringLiteral(",B-1,UNIT-M,")), 8);
}

TEST_F(ServerTest, TheProgramStoresWhereItsOptionsSayAndSendsTheOutboxAtItsNextStart)
{
    QString out, err, error;
    const auto psucal = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral(PSUCAL_PATH), args + QStringList{"--database", cluster->url()});
        p.closeWriteChannel();
        p.waitForFinished(120000);
        out = QString::fromUtf8(p.readAllStandardOutput());
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    ASSERT_TRUE(cluster->stop(&error)) << qPrintable(error);
    EXPECT_EQ(psucal({"--simulate", "--run-mode", "1", "--spots", "5", "--batch", "--yes", "--report", "--client-model",
                      "PSU-40"}),
              0)
        << qPrintable(out + err);
    EXPECT_TRUE(err.contains(dir.filePath(QStringLiteral("Outbox.dt")) + " and will be sent")) << qPrintable(err);
    ASSERT_TRUE(cluster->start(&error)) << qPrintable(error);

    // Any start sends it, even one that finds no supply.
    EXPECT_EQ(psucal({"--batch", "--supply-port", dir.filePath(QStringLiteral("none"))}), 2);
    EXPECT_TRUE(err.contains("1 set(s) of records from")) << qPrintable(err);
    EXPECT_EQ(psucal({"--records", "SIM400001", "--format", "csv"}), 0) << qPrintable(err);
    EXPECT_EQ(out.count(u'\n'), 6) << qPrintable(out);
    EXPECT_EQ(sql(QStringLiteral("SELECT count(*) FROM report WHERE \"SN\" = 'SIM400001' AND \"OV\" <> '' "
                                 "AND \"OC\" <> ''")),
              QStringLiteral("5"));
    EXPECT_EQ(psucal({"--flush-outbox"}), 0) << qPrintable(err);
}

} // namespace
} // namespace psucal::test
