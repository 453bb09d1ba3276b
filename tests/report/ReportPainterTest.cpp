#include "tests/report/ReportFixture.h"

#include "report/ReportPainter.h"

#include <gtest/gtest.h>

namespace psucal::test {
namespace {

RecordingCanvas Paint(const ReportData& d)
{
    RecordingCanvas c;
    EXPECT_TRUE(ReportPainter(d, c).paint());
    return c;
}

TEST(ReportPainter, TwentySpotsFillOnePageAtTheirPlaces)
{
    Report r(20);
    const RecordingCanvas c = Paint(r.data);
    EXPECT_EQ(c.page, 1);
    const auto* title = c.find(QStringLiteral("CALIBRATION REPORT"));
    ASSERT_TRUE(title);
    EXPECT_EQ(QPointF(title->x, title->y), QPointF((210 - 18 * 14 / 9.0) / 2, 6));
    for (const char* line : {"200 W  Switching Mode Programmable Power Supply", "Model No.: PSU-40",
                             "Serial No.: SN100", "Max Output Voltage : 40.0V", "Max Output Current : 5.0A",
                             "Test Equipment : HP 34401A", "Test By : QA-017", "Ambient Temp : 23 Deg C", "PASS"})
        EXPECT_TRUE(c.find(QString::fromLatin1(line))) << line;

    // Table, voltage chart and current chart below one another, the legend and tester under them.
    EXPECT_EQ(c.rects(1),
              QList<QRectF>({QRectF(QPointF(10, 43), QPointF(200, 142)), QRectF(QPointF(18, 152), QPointF(184, 192)),
                             QRectF(QPointF(18, 207), QPointF(184, 247))}));
    EXPECT_TRUE(std::any_of(c.lines.begin(), c.lines.end(),
                            [](const auto& l) { return l.line == QLineF(18, 259, 33, 259) && l.stroke.dashed; }));
    EXPECT_EQ(c.texts.last().text, QStringLiteral("Test By : QA-017"));
    EXPECT_EQ(c.texts.last().y, 261);

    // The halves meet in a heavy double rule, and the last column edge is the right margin.
    QList<double> heavy, edges;
    for (const auto& l : c.lines) {
        if (!l.rect && l.line.dx() == 0 && l.line.y2() == 142)
            (l.stroke.weight == 3 ? heavy : edges) << l.line.x1();
    }
    EXPECT_EQ(heavy, QList<double>({104, 106}));
    EXPECT_EQ(edges.last(), 200);
    // Spot 20's setting in the last row, right-aligned 2 mm inside its column.
    const auto* setting = c.find(QStringLiteral("20.0"));
    ASSERT_TRUE(setting);
    EXPECT_EQ(QPointF(setting->x + 4, setting->y), QPointF(53 - 2, 43 + 21 * 4.5 + 0.5));
}

TEST(ReportPainter, VerdictRatingAndFailedCellsInBold)
{
    Report r(5);
    r.data.AllPass = false;
    r.data.MaxV = 60;
    r.data.MaxI = 3.3;
    r.data.rating = FindRating(60);
    r.voltage.spot(3)->displayCheck = Verdict::Fail;
    r.current.spot(4)->outputCheck = Verdict::Fail;
    RecordingCanvas c = Paint(r.data);

    const auto* verdict = c.find(QStringLiteral("FAIL"));
    ASSERT_TRUE(verdict);
    EXPECT_EQ(QPointF(verdict->x + 4 * 11 / 9.0, verdict->y), QPointF(200, 27));
    EXPECT_TRUE(verdict->style.bold && verdict->style.points == 11);
    EXPECT_TRUE(c.find(QStringLiteral("Tested :")));
    EXPECT_TRUE(c.find(QStringLiteral("Max Output Voltage : 60.0V")));
    EXPECT_TRUE(c.find(QStringLiteral("Max Output Current : 3.3A")));
    QStringList bold;
    for (const auto& t : c.texts)
        if (t.style.bold && t.style.points == 9 && t.y > 43 && t.y < 43 + 7 * 4.5)
            bold << t.text;
    EXPECT_EQ(bold, QStringList({"2.02", "0.032"}));

    r.data.MaxI = 10;
    r.data.rating = FindRating(20);
    EXPECT_TRUE(Paint(r.data).find(QStringLiteral("Max Output Current : 10.0A")));
}

TEST(ReportPainter, ChartsAndLongTablesGoOnToASecondPage)
{
    const auto forty = ReportPainter::Plan(40, 297);
    ASSERT_EQ(forty.size(), 2);
    EXPECT_TRUE(forty[0].spots == 40 && forty[0].chartTop < 0);
    EXPECT_TRUE(!forty[1].table && forty[1].chartTop > 0);

    Report r(80);
    const RecordingCanvas c = Paint(r.data);
    EXPECT_EQ(c.page, 2);
    EXPECT_LE(c.rects(1).first().bottom(), 297 - 10);
    ASSERT_EQ(c.rects(2).size(), 3);
    EXPECT_EQ(c.rects(2).first().top(), ReportPainter::NextTableTop);
    EXPECT_LE(c.find(QStringLiteral("Test By : QA-017"), 2)->y + 3.6, 297 - 10);
    EXPECT_TRUE(c.find(QStringLiteral("Page 2 of 2"), 2));
    // Every spot is printed once, in order, whatever page it lands on.
    QStringList steps, want;
    for (const auto& t : c.texts)
        if (t.x < 25 && t.text.toInt() > 0)
            steps << t.text;
    for (int k = 1; k <= 80; ++k)
        want << QString::number(k);
    EXPECT_EQ(steps, want);
}

TEST(ReportPainter, SpotsBeyondTheGridPrintEmpty)
{
    Report r(3);
    r.data.SpotCount = 20;
    const RecordingCanvas c = Paint(r.data);
    EXPECT_EQ(c.rects(1).first(), QRectF(QPointF(10, 43), QPointF(200, 142)));
    for (const auto& t : c.texts)
        EXPECT_FALSE(t.y > 43 + 5 * 4.5 && t.y < 142 && !t.text.isEmpty()) << t.text.toStdString();
}

} // namespace
} // namespace psucal::test
