#include "tests/report/ReportFixture.h"

#include "report/CertificatePainter.h"

#include <gtest/gtest.h>

namespace psucal::test {
namespace {

QList<SpotResult> Spots(const SpotGrid& grid)
{
    QList<SpotResult> out;
    for (int row = SpotGrid::FirstSpotRow; row < grid.rowCount(); ++row)
        out << *grid.spot(row);
    return out;
}

struct CertificateReport : Report {
    CertificateData cert;
    explicit CertificateReport(int spots) : Report(spots)
    {
        cert.number = QStringLiteral("B1-20260314-0007");
        cert.adjusted = true;
        cert.voltage = {Spots(voltage), Spots(voltage)};
        cert.current = {Spots(current), Spots(current)};
        data.certificate = &cert;
    }
    RecordingCanvas paint() const
    {
        RecordingCanvas c;
        EXPECT_TRUE(CertificatePainter(data, c).paint());
        return c;
    }
};

QStringList TextsOn(const RecordingCanvas& c, int page)
{
    QStringList out;
    for (const auto& t : c.texts)
        if (t.page == page)
            out << t.text;
    return out;
}

TEST(CertificatePainter, LongTablesNumberEveryPageAndRepeatTheirHeads)
{
    const RecordingCanvas c = CertificateReport(80).paint();
    // 4 tables of 160 lines do not fit on fewer pages than this.
    ASSERT_GE(c.page, 10);
    int continued = 0;
    for (int page = 1; page <= c.page; ++page) {
        const QStringList texts = TextsOn(c, page);
        EXPECT_EQ(texts.count(QStringLiteral("Page %1 of %2").arg(page).arg(c.page)), 1) << page;
        EXPECT_TRUE(texts.contains(QStringLiteral("Certificate No. B1-20260314-0007")) || page == 1) << page;
        // Every page that carries result lines has the column heads above them.
        const bool rows = texts.contains(QStringLiteral("output"));
        EXPECT_EQ(rows, texts.contains(QStringLiteral("Reference"))) << page;
        for (const QString& t : texts)
            continued += t.endsWith(QStringLiteral("(continued)"));
        for (const auto& t : c.texts) {
            if (t.page != page || t.text.startsWith(QStringLiteral("Page ")) ||
                t.text.startsWith(QStringLiteral("Certificate No. ")) || t.text.startsWith(QStringLiteral("psucal ")))
                continue;
            // Nothing runs into the foot or over the right margin.
            EXPECT_LE(t.y, 297 - CertificatePainter::FootSpace) << t.text.toStdString();
            EXPECT_LE(t.x + t.text.size() * t.style.points / 9.0, 210 - CertificatePainter::Margin + 1e-6)
                << t.text.toStdString();
        }
    }
    EXPECT_GE(continued, 4);
    // Every spot of every table is there once, its two checks on neighbouring lines.
    EXPECT_EQ(std::count_if(c.texts.begin(), c.texts.end(), [](const auto& t) { return t.text == u"display"; }), 320);
    EXPECT_EQ(std::count_if(c.texts.begin(), c.texts.end(), [](const auto& t) { return t.text == u"80"; }), 4);
}

TEST(CertificatePainter, ShortRunFitsItsPagesAndSaysHowItWasJudged)
{
    CertificateReport r(5);
    r.cert.guardRule = true;
    const RecordingCanvas c = r.paint();
    EXPECT_EQ(c.page, 2);
    EXPECT_TRUE(c.find(QStringLiteral("Page 1 of 2")) && c.find(QStringLiteral("Page 2 of 2"), 2));
    const QString all = TextsOn(c, 1).join(u' ') + u' ' + TextsOn(c, 2).join(u' ');
    for (const char* words :
         {"B1-20260314-0007", "Voltage (V), as found", "Voltage (V), as left", "Current (A), as found",
          "Current (A), as left", "Guarded acceptance", "k = 2", "Pass* or Fail*", "yes"})
        EXPECT_TRUE(all.contains(QString::fromUtf8(words))) << words;
    EXPECT_FALSE(all.contains(QStringLiteral("reference overdue")));
    EXPECT_FALSE(all.contains(QStringLiteral("(overdue)")));
}

TEST(CertificatePainter, OverdueReferenceAndNoAdjustmentAreSaid)
{
    CertificateReport r(5);
    r.cert.referenceOverdue = true;
    r.cert.meterCalDue = QDate(2026, 3, 13); // the day before the test
    r.cert.shuntCalDue = QDate(2026, 3, 14);
    r.cert.adjusted = false;
    r.cert.voltage.found.clear();
    r.cert.current.found.clear();
    const RecordingCanvas c = r.paint();
    QString all;
    for (const auto& t : c.texts)
        all += t.text + u'\n';
    EXPECT_TRUE(all.contains(QStringLiteral("reference overdue")));
    EXPECT_EQ(all.count(QStringLiteral("(overdue)")), 1);
    EXPECT_TRUE(all.contains(QStringLiteral("2026-03-13 (overdue)")));
    EXPECT_TRUE(all.contains(QStringLiteral("no (no adjustment)")));
    EXPECT_EQ(all.count(QStringLiteral("No adjustment: the results below are as found and as left.")), 2);
    EXPECT_TRUE(all.contains(QStringLiteral("Simple acceptance")));
}

} // namespace
} // namespace psucal::test
