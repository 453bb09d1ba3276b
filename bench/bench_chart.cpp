// Time to redraw one deviation chart panel holding 80 measured spots: the panel as the window
// repaints it, and the chart alone painted into an image of the same size.
#include "widgets/ChartPanelWidget.h"
#include "bench/Support.h"
#include "core/Numbers.h"
#include "spots/SpotGrid.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace psucal;
using namespace psucal::bench;

namespace {
constexpr int Spots = 80;
constexpr int Rounds = 300;

// A 60 V unit's grid with every spot measured, a few of them outside the band.
void Fill(SpotGrid& g)
{
    g.writeHeaders();
    g.BuildVoltageSpots(Spots, SpotGrid::VoltageSpotStep(60.0f, Spots), 60.0f);
    for (int r = SpotGrid::FirstSpotRow; r < g.rowCount(); ++r) {
        SpotResult& spot = *g.spot(r);
        spot.display = num::RoundTo(spot.setting + 0.01 * (r % 5 - 2), 2);
        spot.mean = num::RoundTo(*spot.display + 0.03 * (r % 7 - 3) + (r % 23 == 0 ? 0.4 : 0.0), 2);
    }
}

// Median milliseconds of `rounds` runs of f.
template <typename F> double MedianMs(F&& f)
{
    std::vector<double> ms;
    for (int i = 0; i < Rounds; ++i) {
        const double t0 = Now();
        f();
        ms.push_back((Now() - t0) * 1000.0);
    }
    return Percentile(ms, 0.5);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SpotGrid grid(false);
    Fill(grid);

    // The largest a panel gets: alone over a maximised 1920 x 1080 window.
    ChartPanelWidget panel(grid);
    ChartGeometry g = panel.geometryTwips();
    g.panel = QRect(150, 560, 28400, 14200);
    g.surface.setSize({28400 - g.lowerBox.width() - 400, 14200 - 500});
    panel.setSpotCount(Spots);
    panel.setGeometryTwips(g);
    panel.show();
    for (int i = 0; i < 10 && !panel.windowHandle()->isExposed(); ++i)
        app.processEvents(QEventLoop::AllEvents, 50);
    if (!panel.surface()->isVisible() || !panel.windowHandle()->isExposed()) {
        std::fprintf(stderr, "bench_chart: the panel was never shown\n");
        return 1;
    }
    const double redraw = MedianMs([&] {
        panel.redraw();
        panel.surface()->repaint();
    });

    const ChartPanel& chart = panel.chart();
    QImage image(panel.surface()->size(), QImage::Format_RGB32);
    const double paint = MedianMs([&] {
        QPainter p(&image);
        chart.paint(p, image.rect(), grid, Spots);
    });

    std::printf("chart surface: %d x %d px, %d spots, median of %d\n", image.width(), image.height(), Spots, Rounds);
    std::printf("chart_redraw_80: %.3f ms\n", redraw);
    std::printf("chart_paint_80: %.3f ms\n", paint);
    return 0;
}
