#include "tests/report/ReportFixture.h"

#include "db/Outbox.h"
#include "db/ServerAddress.h"
#include "report/RecordsReadout.h"
#include "report/ReportRows.h"

#include <QSqlField>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace psucal::test {
namespace {

struct Printed {
    int status;
    QString out, err;
};

Printed Print(const QString& dir, const QString& serial, const QString& format)
{
    Printed p;
    QTextStream out(&p.out), err(&p.err);
    p.status = PrintRecords(dir, ServerAddress(), serial, format, out, err);
    return p;
}

TEST(RecordsReadout, ReadBackFromCalibrationDtAsAnAlignedTable)
{
    QTemporaryDir dir;
    EXPECT_EQ(Print(dir.path(), "SN100", "table").status, 1); // no file: nothing read, nothing created
    EXPECT_FALSE(QFile::exists(dir.filePath("Calibration.dt")));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
        db.setDatabaseName(dir.filePath("Calibration.dt"));
        ASSERT_TRUE(db.open());
        Report r(10, "A,\"1\"");
        r.data.EquipmentText.clear();
        QString error;
        ASSERT_TRUE(ReportRows::SaveReport(db, r.data, &error)) << error.toStdString();
    }
    QSqlDatabase::removeDatabase("setup");

    const Printed table = Print(dir.path(), "A,\"1\"", "table");
    ASSERT_EQ(table.status, 0) << table.err.toStdString();
    const QStringList lines = table.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 11);
    // Every column starts where its heading does; NULL is blank.
    const qsizetype equipment = lines[0].indexOf("TEquipment"), step = lines[0].indexOf("Step");
    EXPECT_EQ(lines[0].indexOf("MaxV"), QStringLiteral("A,\"1\"  ").size());
    EXPECT_EQ(lines[10].mid(equipment, 11), QString(11, ' '));
    EXPECT_EQ(lines[10].mid(step, 4), "10  ");

    EXPECT_EQ(Print(dir.path(), "OTHER", "csv").status, 1);
    const Printed json = Print(dir.path(), "A,\"1\"", "json");
    EXPECT_EQ(json.status, 2);
    EXPECT_EQ(json.err, "The records can be printed as table or csv, not 'json'.\n");
}

TEST(RecordsReadout, CsvTextsASpreadsheetWouldRunAsFormulasAreDefused)
{
    QSqlRecord r;
    for (const QString v : {"=1+2", "@SUM(A1)", "-2.5", "+1.2E+01 +1.3E+01", "-1 -cmd", "\t=1"}) {
        r.append(QSqlField(v, QMetaType(QMetaType::QString)));
        r.setValue(r.count() - 1, v);
    }
    EXPECT_EQ(FormatRecords({r}, "csv").section('\n', 1, 1), "'=1+2,'@SUM(A1),-2.5,+1.2E+01 +1.3E+01,'-1 -cmd,'\t=1");
}

TEST(RecordsReadout, FlushingWithoutAServerKeepsTheOutboxAndSaysWhy)
{
    QTemporaryDir dir;
    QString out, err, error;
    QTextStream o(&out), e(&err);
    EXPECT_EQ(FlushOutbox(dir.path(), ServerAddress(), o, e), 0);
    EXPECT_EQ(out, "Nothing waits in " + dir.filePath("Outbox.dt") + ".\n");
    ASSERT_TRUE(Outbox(dir.path()).add(RecordSet::Make("SN1", {}), &error)) << error.toStdString();
    EXPECT_EQ(FlushOutbox(dir.path(), ServerAddress(), o, e), 1);
    EXPECT_TRUE(err.startsWith("1 set(s) of records wait in " + dir.filePath("Outbox.dt") + ", but no server"));
    EXPECT_EQ(Outbox(dir.path()).pending(&error).size(), 1);

    // A set that cannot be read is still named when the server fails as well.
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "damage");
        raw.setDatabaseName(dir.filePath("Outbox.dt"));
        ASSERT_TRUE(raw.open());
        ASSERT_TRUE(QSqlQuery(raw).exec(
            "INSERT INTO pending (set_id, made_at, records) VALUES ('bad', '2026-01-01T00:00:00Z', '[')"));
    }
    QSqlDatabase::removeDatabase("damage");
    err.clear();
    const ServerAddress away = ServerAddress::Parse("postgresql://qa@%2Fnonexistent:5432/calib", &error);
    EXPECT_EQ(FlushOutbox(dir.path(), away, o, e), 1);
    EXPECT_TRUE(err.contains("set bad is damaged") && err.contains("cannot be reached")) << err.toStdString();
}

} // namespace
} // namespace psucal::test
