#include "tests/report/ReportFixture.h"

#include "report/CertificatePainter.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace psucal::test {
namespace {

// Both passes of the fixture's grids; every text of the certificate, a line each, with its page.
struct CertificateReport : Report {
    CertificateData cert;
    RecordingCanvas canvas;
    explicit CertificateReport(int spots) : Report(spots)
    {
        for (int row = SpotGrid::FirstSpotRow; row < voltage.rowCount(); ++row) {
            cert.voltage.left << *voltage.spot(row);
            cert.current.left << *current.spot(row);
        }
        cert.voltage.found = cert.voltage.left;
        cert.current.found = cert.current.left;
        cert.number = QStringLiteral("B1-20260314-0007");
        cert.adjusted = true;
        data.certificate = &cert;
    }
    QString text(int page = 0)
    {
        if (page == 0) {
            canvas = RecordingCanvas();
            EXPECT_TRUE(CertificatePainter(data, canvas).paint());
        }
        QString out;
        for (const auto& t : canvas.texts)
            if (page == 0 || t.page == page)
                out += t.text + u'\n';
        return out;
    }
};

TEST(CertificatePainter, LongTablesNumberEveryPageAndRepeatTheirHeads)
{
    CertificateReport r(80);
    const QString all = r.text();
    const int pages = r.canvas.page;
    ASSERT_GE(pages, 10); // 4 tables of 160 lines
    int continued = 0;
    for (int page = 1; page <= pages; ++page) {
        const QString text = r.text(page);
        EXPECT_EQ(text.count(QStringLiteral("\nPage %1 of %2\n").arg(page).arg(pages)), 1) << page;
        EXPECT_TRUE(page == 1 || text.startsWith("CALIBRATION CERTIFICATE\nCertificate No. B1-20260314-0007\n"))
            << page;
        // Result lines never stand without the column heads and a title above them.
        const bool rows = text.contains("\noutput\n");
        EXPECT_EQ(rows, text.contains("\nReference\n")) << page;
        EXPECT_EQ(rows, text.contains(QRegularExpression(", as (found|left)( \\(continued\\))?\n"))) << page;
        continued += text.contains(" (continued)\n");
    }
    EXPECT_GE(continued, pages - 5);
    // Nothing runs into the foot or over the right margin.
    for (const auto& t : r.canvas.texts) {
        EXPECT_TRUE(t.y <= 297 - CertificatePainter::FootSpace || t.y > 297 - 11) << t.text.toStdString();
        EXPECT_LE(t.x + t.text.size() * t.style.points / 9.0, 210 - CertificatePainter::Margin + 1e-6)
            << t.text.toStdString();
    }
    // Every spot of every table once, both its checks.
    EXPECT_EQ(all.count("\ndisplay\n"), 320);
    EXPECT_EQ(all.count("\n80\n"), 4);
}

TEST(CertificatePainter, SaysHowItJudgedWhetherItAdjustedAndWhenAReferenceWasOverdue)
{
    CertificateReport r(5);
    r.cert.guardRule = true;
    QString all = r.text();
    for (const char* words : {"Voltage (V), as found", "Voltage (V), as left", "Current (A), as found",
                              "Current (A), as left", "Guarded acceptance", "k = 2", "Pass* or Fail*", "\nyes\n"})
        EXPECT_TRUE(all.contains(QString::fromUtf8(words))) << words;
    EXPECT_FALSE(all.contains("overdue"));
    const QString legend = QString(all).replace(u'\n', u' ');
    for (const char* words : {"ok, high or low", "never Pass or Fail", "display resolution alone",
                              "the shunt's tolerance for current and the scatter of the readings"})
        EXPECT_TRUE(legend.contains(QString::fromUtf8(words))) << words;

    r.cert.referenceOverdue = true;
    r.cert.meterCalDue = QDate(2026, 3, 13); // the day before the test
    r.cert.shuntCalDue = QDate(2026, 3, 14);
    r.cert.adjusted = r.cert.guardRule = false;
    r.cert.voltage.found.clear();
    r.cert.current.found.clear();
    all = r.text();
    EXPECT_TRUE(all.contains("reference overdue") && all.contains("Simple acceptance"));
    EXPECT_EQ(all.count("(overdue)"), 1);
    EXPECT_TRUE(all.contains("2026-03-13 (overdue)"));
    EXPECT_TRUE(all.contains("no (no adjustment)"));
    EXPECT_EQ(all.count("No adjustment: the results below are as found and as left."), 2);
}

// A display check says where the display lies, never pass or fail, and never in the bold that marks
// a failed output check.
TEST(CertificatePainter, DisplayChecksSayWhereTheDisplayLies)
{
    CertificateReport r(2);
    SpotResult& low = r.cert.voltage.left[1];
    low.displayCheck = Verdict::Fail;
    low.displayLimits = {2.03, 2.10, std::nullopt}; // 2.02 shown
    r.cert.current.left[0].outputCheck = Verdict::Fail;
    r.text();
    QStringList results;
    const auto& texts = r.canvas.texts;
    for (qsizetype i = 0; i + 6 < texts.size(); ++i)
        if (texts[i].text == "display" || texts[i].text == "output")
            results << texts[i + 6].text + (texts[i + 6].style.bold ? "!" : "");
    EXPECT_EQ(results.join(u' '), "ok Pass ok Pass ok Pass low Pass ok Pass ok Pass ok Fail! ok Pass");
}

} // namespace
} // namespace psucal::test
