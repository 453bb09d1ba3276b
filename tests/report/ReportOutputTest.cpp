#include "tests/report/ReportFixture.h"

#include "report/PrintChecks.h"
#include "report/ReportJob.h"
#include "report/ReportOutput.h"
#include "report/BenchRecords.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace psucal::test {
namespace {

const QDateTime When(QDate(2026, 3, 14), QTime(10, 5, 9));

// The output of a poppler-utils tool; nothing when it is not installed.
std::optional<QString> Poppler(const char* tool, const QStringList& args)
{
    const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (exe.isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(exe, args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

class ReportOutputTest : public ::testing::Test {
protected:
    QString pdf(const QString& serial, int spots = 20, bool pass = true)
    {
        Report r(spots, serial);
        r.data.AllPass = pass;
        return ReportOutput::WritePdf(dir.path(), r.data, When, &error);
    }
    QString path(const char* name) const { return dir.filePath(QStringLiteral("reports/") + QLatin1String(name)); }
    QTemporaryDir dir;
    QString error;
};

TEST_F(ReportOutputTest, PdfIsNamedAfterTheUnitAndNeverOverwritten)
{
    const QString first = pdf(QStringLiteral("SN 42/7"));
    EXPECT_EQ(first, path("SN_42_7_20260314-100509.pdf")) << error.toStdString();
    EXPECT_EQ(pdf(QStringLiteral("SN 42/7")), path("SN_42_7_20260314-100509-2.pdf"));
    EXPECT_EQ(pdf(QString()), path("unknown_20260314-100509.pdf"));
    EXPECT_EQ(pdf(QStringLiteral("../../x")), path("______x_20260314-100509.pdf"));
    QFile f(first);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-");

    QDir(dir.filePath(QStringLiteral("reports"))).removeRecursively();
    QFile blocker(dir.filePath(QStringLiteral("reports")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_TRUE(pdf(QStringLiteral("SN1")).isEmpty());
    EXPECT_TRUE(error.contains(QStringLiteral("reports"))) << error.toStdString();
}

TEST_F(ReportOutputTest, PdfHoldsHeaderTableAndVerdictOnA4)
{
    const QString file = pdf(QStringLiteral("SN100"), 20, false);
    const auto text = Poppler("pdftotext", {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!text)
        GTEST_SKIP() << "poppler-utils is not installed";
    for (const char* want :
         {"CALIBRATION REPORT", "Model No.: PSU-40", "Serial No.: SN100", "Max Output Voltage : 40.0V",
          "Max Output Current : 5.0A", "Test Equipment : HP 34401A", "Test By : QA-017", "Ambient Temp : 23 Deg C",
          "FAIL", "Voltage (V)", "Current (A)", "Output voltage accuracy", "Output current accuracy", "Limiting Values",
          "Measured Values", "\u25B3 V Output"})
        EXPECT_TRUE(text->contains(QString::fromUtf8(want))) << want;
    // Spot 17 across its row: step, voltage setting, display, output, then the current half.
    EXPECT_TRUE(text->contains(QRegularExpression(QStringLiteral("17 +17.0 +17.07 +17.17 +17 +0.17 +0.171 +0.172"))))
        << text->toStdString();
    const auto info = Poppler("pdfinfo", {file}), longer = Poppler("pdfinfo", {pdf(QStringLiteral("SN100"), 40)});
    ASSERT_TRUE(info && longer);
    EXPECT_TRUE(info->contains(QStringLiteral("(A4)")) &&
                info->contains(QRegularExpression(QStringLiteral("Pages: +1\\n"))));
    EXPECT_TRUE(longer->contains(QRegularExpression(QStringLiteral("Pages: +2\\n")))) << longer->toStdString();
}

TEST_F(ReportOutputTest, RecordsThatCannotBeStoredStopTheJobBeforeAnyPdf)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("job"));
    db.setDatabaseName(dir.filePath(QStringLiteral("Calibration.dt")));
    ASSERT_TRUE(db.open());
    {
        Report r(20);
        BenchRecords local(db, dir.path(), ServerAddress());
        ASSERT_TRUE(ReportJob::PrintReport(local, r.data, dir.path(), When, false).succeeded());
        r.data.AmbientTemp = QStringLiteral("23.5");
        const ReportJob::Outcome out = ReportJob::PrintReport(local, r.data, dir.path(), When, false);
        EXPECT_FALSE(out.succeeded() || out.stored);
        EXPECT_TRUE(out.pdfPath.isEmpty() && out.error.contains(QStringLiteral("Ambient Temp")));
        EXPECT_EQ(QDir(dir.filePath(QStringLiteral("reports"))).entryList(QDir::Files).size(), 1);
        QSqlQuery q(QStringLiteral("SELECT COUNT(*) FROM report WHERE AmbientTemp = '23'"), db);
        EXPECT_TRUE(q.next() && q.value(0).toInt() == 20);
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("job"));
}

TEST(PrintChecks, ClientModelAlwaysSerialInModesOneAndTwo)
{
    using F = PrintChecks::Focus;
    const auto model = PrintChecks::Check(2, QStringLiteral("  "), QString());
    ASSERT_TRUE(model);
    EXPECT_EQ(std::pair(model->message, model->focus),
              std::pair(QStringLiteral("Please enter Client Model !"), F::ClientModelBox));
    const auto serial = PrintChecks::Check(1, QStringLiteral("PSU-40"), QString());
    ASSERT_TRUE(serial);
    EXPECT_EQ(std::pair(serial->message, serial->focus), std::pair(QStringLiteral("S/N = ?"), F::SerialNoBox));
    EXPECT_EQ(PrintChecks::Check(2, QStringLiteral("PSU-40"), QString())->focus, F::None);
    EXPECT_FALSE(PrintChecks::Check(0, QStringLiteral("PSU-40"), QString()));
    EXPECT_FALSE(PrintChecks::Check(1, QStringLiteral("PSU-40"), QStringLiteral("SN1")));
}

} // namespace
} // namespace psucal::test
