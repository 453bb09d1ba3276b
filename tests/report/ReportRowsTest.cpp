#include "tests/report/ReportFixture.h"

#include "report/ReportRows.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

namespace psucal::test {
namespace {

class ReportRowsTest : public ::testing::Test {
protected:
    ReportRowsTest()
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("store"));
        db.setDatabaseName(dir.filePath(QStringLiteral("Calibration.dt")));
        db.open();
    }
    ~ReportRowsTest() override
    {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("store"));
    }
    bool save(const Report& r) { return ReportRows::SaveReport(db, r.data, &error); }
    // Each record as its texts, NULL spelled out.
    QList<QStringList> rows(const QString& where = QStringLiteral("1"))
    {
        QList<QStringList> out;
        QSqlQuery q(QStringLiteral("SELECT * FROM report WHERE %1 ORDER BY rowid").arg(where), db);
        while (q.next()) {
            out << QStringList();
            for (int i = 0; i < q.record().count(); ++i)
                out.last() << (q.isNull(i) ? QStringLiteral("NULL") : q.value(i).toString());
        }
        return out;
    }
    qsizetype count(const QString& serial) { return rows(QStringLiteral("SN = '%1'").arg(serial)).size(); }

    QTemporaryDir dir;
    QSqlDatabase db;
    QString error;
};

TEST_F(ReportRowsTest, OneRecordPerSpotInTheTablesFieldsWithEmptyTextsNull)
{
    Report r(10);
    r.data.MaxV = 60;
    r.data.MaxI = 3.3;
    r.data.EquipmentText.clear();
    r.data.AllPass = false;
    r.current.spot(4)->display.reset(); // spot 3's current display
    ASSERT_TRUE(save(r)) << error.toStdString();

    QStringList columns;
    QSqlQuery q(QStringLiteral("PRAGMA table_info(report)"), db);
    while (q.next())
        columns << q.value(1).toString() + u' ' + q.value(2).toString();
    EXPECT_EQ(columns, QStringList({"SN VARCHAR(16)", "MaxV VARCHAR(4)", "MaxC VARCHAR(5)", "TEquipment VARCHAR(32)",
                                    "AmbientTemp VARCHAR(3)", "TestBy VARCHAR(24)", "TestData VARCHAR(12)",
                                    "Pass VARCHAR(6)", "Step VARCHAR(2)", "SV VARCHAR(5)", "DV VARCHAR(6)",
                                    "OV VARCHAR(6)", "SC VARCHAR(5)", "DC VARCHAR(6)", "OC VARCHAR(6)"}));
    QSqlQuery index(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index'"), db);
    EXPECT_TRUE(index.next() && index.value(0).toString().endsWith(QStringLiteral("report (SN)")));

    const QList<QStringList> all = rows();
    ASSERT_EQ(all.size(), 10);
    EXPECT_EQ(all[0], QStringList({"SN100", "60", "3.3", "NULL", "23", "QA-017", "2026-03-14", "False", "1", "1.0",
                                   "1.01", "1.11", "0.01", "0.011", "0.012"}));
    EXPECT_EQ(all[2].mid(8), QStringList({"3", "3.0", "3.03", "3.13", "0.03", "NULL", "0.032"}));
    EXPECT_EQ(all[9][8], QStringLiteral("10"));

    // The run's count of replies asked again goes with the records, replaced with them.
    EXPECT_EQ(ReportRows::Repeats(db, "SN100"), 0);
    r.data.Repeats = 4;
    ASSERT_TRUE(save(r));
    EXPECT_EQ(ReportRows::Repeats(db, "SN100"), 4);
    EXPECT_EQ(ReportRows::Repeats(db, "OTHER"), std::nullopt);
}

TEST_F(ReportRowsTest, PrintingAgainReplacesOnlyThatUnitsRecords)
{
    const QString quoted = QStringLiteral("x' OR '1'='1");
    for (const QString& serial : {QStringLiteral("OTHER1"), QStringLiteral("SN100"), QStringLiteral("SN100"), quoted})
        ASSERT_TRUE(save(Report(20, serial))) << error.toStdString();
    EXPECT_EQ(count(QStringLiteral("SN100")), 20);
    EXPECT_EQ(count(QStringLiteral("OTHER1")), 20);
    const QList<QSqlRecord> back = ReportRows::Records(db, quoted, &error);
    ASSERT_EQ(back.size(), 20);
    EXPECT_EQ(back.first().value(QStringLiteral("SN")).toString(), quoted);
    EXPECT_EQ(back[9].value(QStringLiteral("Step")).toString(), QStringLiteral("10")); // in spot order, not text order

    // A grid without spot rows writes nothing, but still clears the unit's old records.
    ASSERT_TRUE(save(Report(0)));
    EXPECT_EQ(count(QStringLiteral("SN100")), 0);
    // Without a serial number nothing earlier matches: the records come in addition.
    ASSERT_TRUE(save(Report(5, QString())));
    EXPECT_EQ(rows(QStringLiteral("SN IS NULL")).size(), 5);
    EXPECT_EQ(rows().size(), 45);
}

TEST_F(ReportRowsTest, AnyFailureKeepsTheOldRecordsAndSaysWhy)
{
    ASSERT_TRUE(save(Report(20)));
    const QList<QStringList> before = rows();
    const auto refused = [&](Report& r, const char* why) {
        r.data.AllPass = false;
        EXPECT_FALSE(save(r));
        EXPECT_TRUE(error.contains(QString::fromLatin1(why))) << error.toStdString();
        EXPECT_EQ(rows(), before);
    };
    Report tester(20);
    tester.data.TestedBy = QString(25, u'x');
    refused(tester, "Tested By \"xxxxxxxxxxxxxxxxxxxxxxxxx\" is too long for the records (at most 24 characters)");
    Report cell(20);
    cell.voltage.spot(7)->mean = 12345.6;
    refused(cell, "voltage Output of step 6");

    // A failure after the old records were deleted takes the delete back too.
    QSqlQuery(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON report WHEN NEW.Step = '5' "
                             "BEGIN SELECT RAISE(ABORT, 'disk on fire'); END"),
              db);
    Report halfway(20);
    refused(halfway, "disk on fire");
    EXPECT_TRUE(error.endsWith(QStringLiteral("The records stored before are kept.")));
    db.close();
    EXPECT_FALSE(save(halfway));
    EXPECT_TRUE(error.contains(QStringLiteral("not open"))) << error.toStdString();
}

// Benches of a station store into one Calibration.dt at the same time: none is refused, no
// record is lost, and the unit they all replace holds one whole set.
TEST_F(ReportRowsTest, EightProcessesStoringAtOnceLoseNothing)
{
    constexpr int Workers = 8, Reports = 30;
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int w = 0; w < Workers; ++w) {
        workers.push_back(std::make_unique<QProcess>());
        workers.back()->start(RECORDS_WORKER_PATH, {dir.path(), QString::number(w), QString::number(Reports)});
    }
    for (int w = 0; w < Workers; ++w) {
        QProcess& p = *workers[static_cast<size_t>(w)];
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << w << ": " << p.readAllStandardError().toStdString();
    }
    for (int w = 0; w < Workers; ++w)
        for (int i = 0; i < Reports; i += 2)
            EXPECT_EQ(count(QStringLiteral("W%1-%2").arg(w).arg(i)), 3 + w) << w << " " << i;
    const QList<QStringList> shared = rows(QStringLiteral("SN = 'SHARED'"));
    ASSERT_FALSE(shared.isEmpty());
    const QString by = shared[0][5];
    EXPECT_EQ(shared.size(), 3 + by.mid(1).toInt());
    for (const QStringList& r : shared)
        EXPECT_EQ(r[5], by);
}

} // namespace
} // namespace psucal::test
