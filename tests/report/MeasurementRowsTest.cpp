#include "tests/report/ReportFixture.h"

#include "db/Connection.h"
#include "report/BenchRecords.h"
#include "report/MeasurementRows.h"
#include "report/RecordsReadout.h"

#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace psucal::test {
namespace {

class MeasurementStore : public ::testing::Test {
protected:
    ~MeasurementStore() override { connection::Drop(db); }
    BenchRecords::Placement store(const CertificateData* certificate, const QString& testedBy = "QA-017")
    {
        report.data.certificate = certificate;
        report.data.TestedBy = testedBy;
        return BenchRecords(db, dir.path(), ServerAddress()).Store(report.data);
    }
    QString csv(bool allRuns = false)
    {
        QString out, err;
        QTextStream o(&out), e(&err);
        const int status = PrintRecords(dir.path(), ServerAddress(), "SN100", "csv", o, e, allRuns, true);
        return status == 0 ? out : QString::number(status) + u' ' + err;
    }

    QTemporaryDir dir;
    QSqlDatabase db = connection::OpenSqlite(dir.filePath("Calibration.dt"));
    Report report{3};
};

TEST_F(MeasurementStore, RowsPerSpotCheckAndStateStoredWithTheRecordsAndReadBack)
{
    const CertificateData first = Certificate("B-20261207-0001");
    const QList<MeasurementRow> rows = MeasurementRows::Build(first, "SN100");
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows[5].tur, std::nullopt);
    EXPECT_NEAR(*rows[3].tur, 20.0, 1e-9);
    // A run without a certificate leaves the file without the table.
    ASSERT_TRUE(store(nullptr).stored());
    EXPECT_FALSE(db.tables().contains("measurement"));
    EXPECT_EQ(csv(), "1 No certificate measurements of SN100 in " + dir.filePath("Calibration.dt") + ".\n");

    ASSERT_TRUE(store(&first).stored());
    const QStringList lines = csv().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[0], "CertNo,SN,Quantity,State,Spot,Check,Setting,Display,Readings,Mean,RangeV,U,Lower,Upper,Result");
    const QString found = "B-20261207-0001,SN100,V,found,1,";
    EXPECT_EQ(lines[1], found + "display,12,12.01,,12.02,100,0.00592,11.9,12.1,ok");
    EXPECT_EQ(lines[4], "B-20261207-0001,SN100,V,left,1,output,12,12.01,+1.20034000E+01 +1.20036000E+01,12.0035,100,"
                        "0.007,11.86,12.14,Pass*");
    EXPECT_EQ(lines[6], "B-20261207-0001,SN100,V,left,2,output,24,,,,,,,,");
    EXPECT_EQ(lines[7], "B-20261207-0001,SN100,I,left,1,display,0.5,0.5,+4.99870000E-04,0.49987,1,,,,");
    EXPECT_EQ(lines[8], "B-20261207-0001,SN100,I,left,1,output,0.5,0.5,+4.99870000E-04,0.49987,1,0.000015,0.495,"
                        "0.505,Fail");

    // Measurement rows that cannot be written keep the unit's earlier records too; a later
    // certificate of the unit is the one shown, both with --all-runs, and a later run without one
    // removes neither.
    QSqlQuery(db).exec("CREATE TRIGGER full BEFORE INSERT ON measurement WHEN NEW.Spot = 2 "
                       "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    const CertificateData second = Certificate("B-20261207-0002"), third = Certificate("B-20261207-0003");
    EXPECT_TRUE(store(&second, "newer").message.contains("disk full"));
    QSqlQuery testers("SELECT group_concat(DISTINCT TestBy) FROM report", db);
    EXPECT_TRUE(testers.next() && testers.value(0).toString() == "QA-017");
    QSqlQuery(db).exec("DROP TRIGGER full");
    ASSERT_TRUE(store(&third).stored());
    ASSERT_TRUE(store(nullptr).stored());
    EXPECT_TRUE(csv().contains("\nB-20261207-0003,") && !csv().contains("-0001,")) << qPrintable(csv());
    const QString all = csv(true);
    EXPECT_EQ(all.count(u'\n'), 17);
    EXPECT_LT(all.indexOf("-0003,"), all.indexOf("-0001,"));
    EXPECT_FALSE(all.contains("-0002,"));
}

TEST_F(MeasurementStore, CertificateNumbersAreNeverHandedOutTwice)
{
    EXPECT_EQ(BenchRecords::NumberBench("cal bench.lab/ü-3-"), "CAL-BENCH-LAB-3");
    EXPECT_EQ(BenchRecords::NumberBench("ü"), "BENCH");
    const QString prefix = BenchRecords::NumberBench(BenchRecords::BenchName()) + "-20261207-";
    QString error;
    {
        BenchRecords records(db, dir.path(), ServerAddress());
        EXPECT_EQ(records.NextCertificateNumber(QDate(2026, 12, 7), &error), prefix + "0001");
        EXPECT_EQ(records.NextCertificateNumber(QDate(2026, 12, 8), &error).right(13), "20261208-0001");
        // The number of a store that failed is burnt, and a fresh program on the file goes on.
        const CertificateData failed = Certificate(records.NextCertificateNumber(QDate(2026, 12, 7), &error));
        EXPECT_FALSE(store(&failed, QString(30, u'x')).stored());
    }
    connection::Drop(db);
    db = connection::OpenSqlite(dir.filePath("Calibration.dt"));
    EXPECT_EQ(BenchRecords(db, dir.path(), ServerAddress()).NextCertificateNumber(QDate(2026, 12, 7), &error),
              prefix + "0003");
    EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
}

} // namespace
} // namespace psucal::test
