#include "spots/ChartPanel.h"
#include "spots/SpotGrid.h"
#include "tests/support/QtPrinters.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace psucal;

TEST(ChartPanel, BoundsAreRoundedKeptSaneAndPlaceTheZeroLabel)
{
    ChartPanel v(false);
    EXPECT_EQ(v.highText() + v.lowText(), "0.5V-0.5V");
    EXPECT_EQ(v.zeroLabelTop(100, 800, 20), 490);
    v.readBounds("0.3", "0.3");
    EXPECT_EQ(v.highText() + v.lowText(), "0.3V0.2V");
    v.readBounds("1.54V", "-1.5");
    EXPECT_EQ(v.highText() + v.lowText(), "1.5V-1.5V");
    // Zero above the chart: the label hides.
    v.readBounds("2.0", "1.0");
    EXPECT_FALSE(v.zeroLabelTop(100, 800, 20).has_value());
    v.readBounds("123456", QString(400, u'9'));
    EXPECT_EQ(v.highText() + v.lowText(), "100.0V1.0V");

    ChartPanel c(true);
    c.readBounds("0.05", "0.05");
    EXPECT_EQ(c.highText() + c.lowText(), "0.05A-0.05A");
    c.readBounds("-0.1", "0.1"); // upside down is allowed
    EXPECT_EQ(c.highText() + c.lowText(), "-0.10A0.10A");

    const auto [first, last] = ChartPanel::AxisLabelLefts(0, 600, 5, 20, 40);
    EXPECT_EQ(first, 90);
    EXPECT_EQ(last, 480);
}

TEST(ChartPanel, DeviationIsDrawnOnlyBetweenMeasuredNeighbours)
{
    SpotGrid g(false);
    g.BuildVoltageSpots(5, SpotGrid::VoltageSpotStep(20.0f, 5), 20.0f);
    ChartPanel v(false);
    QImage img(600, 300, QImage::Format_RGB32);
    // Columns of the image that hold the colour.
    auto columns = [&](QColor colour) {
        img.fill(Qt::white);
        QPainter p(&img);
        v.paint(p, img.rect(), g, 5);
        p.end();
        QList<int> xs;
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (img.pixelColor(x, y) == colour) {
                    xs << x;
                    break;
                }
        return xs;
    };
    const QColor yellow(255, 255, 0);
    const auto measure = [&g](int row, double display, double output) {
        g.spot(row)->display = display;
        g.spot(row)->mean = output;
    };
    measure(2, 1.00, 1.02);
    measure(4, 10.50, 10.47);
    EXPECT_TRUE(columns(yellow).isEmpty());
    EXPECT_FALSE(columns(QColor(0, 64, 0)).isEmpty());

    // Spots 1 and 2 measured: one segment from x = 1 to x = 2 of the 0..6 scale.
    measure(3, 5.75, 5.70);
    QList<int> xs = columns(yellow);
    ASSERT_FALSE(xs.isEmpty());
    EXPECT_NEAR(xs.first(), 100, 2);
    EXPECT_NEAR(xs.last(), 300, 2);
    EXPECT_FALSE(columns(QColor(80, 80, 80)).isEmpty());

    // A wild reading runs off the chart without breaking it.
    measure(3, 5.75, 9999.99);
    xs = columns(yellow);
    ASSERT_FALSE(xs.isEmpty());
    EXPECT_LT(xs.last(), 300);
}
