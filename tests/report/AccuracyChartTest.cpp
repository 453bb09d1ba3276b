#include "tests/report/ReportFixture.h"

#include "report/AccuracyChart.h"

#include <gtest/gtest.h>

#include <cmath>

namespace psucal::test {
namespace {

TEST(ClipChartLine, KeepsWhatIsInsideAndCutsAtTheEdgesItCrosses)
{
    const QRectF frame(QPointF(18, 100), QPointF(184, 140));
    const auto clip = [&](QLineF l) {
        const auto out = AccuracyChart::ClipChartLine(l, frame);
        return out ? QList<double>{out->x1(), out->y1(), out->x2(), out->y2()} : QList<double>{};
    };
    using L = QList<double>;
    EXPECT_EQ(clip(QLineF(20, 110, 60, 130)), L({20, 110, 60, 130}));
    EXPECT_EQ(clip(QLineF(18, 100, 184, 140)), L({18, 100, 184, 140}));  // edges count as inside
    EXPECT_EQ(clip(QLineF(40, 120, 60, 80)), L({40, 120, 50, 100}));     // leaves through the top
    EXPECT_EQ(clip(QLineF(60, 80, 40, 120)), L({50, 100, 40, 120}));     // in either direction
    EXPECT_EQ(clip(QLineF(8, 110, 194, 110)), L({18, 110, 184, 110}));   // through both sides
    EXPECT_EQ(clip(QLineF(30, 150, 45, 90)), L({32.5, 140, 42.5, 100})); // through top and bottom
    EXPECT_EQ(clip(QLineF(20, 90, 60, 95)), L());                        // wholly above
    EXPECT_EQ(clip(QLineF(0, 90, 30, 80)), L());                         // beside a corner
    EXPECT_EQ(clip(QLineF(190, 90, 200, 150)), L());                     // right of it, top to bottom
}

TEST(AccuracyChartScale, WholeGridStepsFromTheRatingNeverZero)
{
    const AccuracyChart v40(false, 0.4, 20, 152, 210);
    EXPECT_EQ(v40.levels(), 4);
    EXPECT_EQ(QList<double>({v40.ChartY(0.4), v40.ChartY(0), v40.ChartY(-0.4)}), QList<double>({152, 172, 192}));
    EXPECT_EQ(QList<double>({v40.ChartX(1), v40.ChartX(20)}), QList<double>({18, 184}));
    EXPECT_EQ(AccuracyChart(false, 0.6, 20, 0, 210).levels(), 6);
    EXPECT_EQ(AccuracyChart(false, 0.35, 20, 0, 210).levels(), 4); // part of a step rounds up

    for (const double half : {0.0, -0.05}) {
        const AccuracyChart none(false, half, 0, 152, 210);
        EXPECT_EQ(none.levels(), 1);
        EXPECT_TRUE(std::isfinite(none.ChartY(0.05)));
        EXPECT_EQ(QList<double>({none.ChartX(1), none.ChartX(2)}), QList<double>({18, 184}));
    }
}

TEST(AccuracyChartDrawing, LevelLabelsAndLinesBrokenAtAnUnmeasuredSpot)
{
    Report r(5);
    r.voltage.spot(4)->mean.reset(); // spot 3
    r.voltage.spot(6)->mean = 9.99;  // spot 5 far above its display
    RecordingCanvas c;
    const AccuracyChart chart(false, 0.2, 5, 152, 210);
    chart.draw(c, r.voltage);

    QStringList labels;
    for (const auto& t : c.texts)
        if (t.x < 18 && t.text.endsWith(u'V'))
            labels << t.text;
    EXPECT_EQ(labels, QStringList({"0.2V", "0.1V", "0.0V", "-0.1V", "-0.2V"}));

    // Data lines of spots 1-2 and 4-5 only, each between its two limit lines; the last one
    // is cut at the top edge.
    QList<QLineF> measured;
    int limits = 0;
    const QRectF inside = chart.frame().adjusted(-1e-9, -1e-9, 1e-9, 1e-9);
    for (const auto& l : c.lines) {
        if (l.rect || l.stroke.weight != 2 || l.line.dx() == 0 || !inside.contains(l.line.p1()) ||
            !inside.contains(l.line.p2()))
            continue;
        l.stroke.dashed ? ++limits : (measured << l.line, 0);
    }
    EXPECT_EQ(limits, 4);
    ASSERT_EQ(measured.size(), 2);
    EXPECT_EQ(measured[0].p2().x(), chart.ChartX(2));
    EXPECT_EQ(measured[1].p1().x(), chart.ChartX(4));
    EXPECT_DOUBLE_EQ(measured[1].p2().y(), 152);
    EXPECT_LT(measured[1].p2().x(), chart.ChartX(5));
}

} // namespace
} // namespace psucal::test
