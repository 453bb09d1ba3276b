#include "spots/ChartPanel.h"

#include "core/Numbers.h"
#include "spots/Band.h"
#include "spots/SpotGrid.h"

#include <QLineF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace psucal {

namespace {
const QColor GridColor(0, 64, 0);
const QColor BandColor(80, 80, 80);
const QColor VoltColor(255, 255, 0);
const QColor CurrColor(240, 0, 0);

// Far beyond any reading: a bound past it would only squash the chart into a line.
double Limit(bool current)
{
    return current ? 10.0 : 100.0;
}

// Keeps a line within a band around the surface, so that a wild value cannot hand the
// rasteriser coordinates it cannot hold; the visible part stays exact.
bool ClipToBand(QLineF& line, double top, double bottom)
{
    double y1 = line.y1(), y2 = line.y2();
    if (!std::isfinite(y1) || !std::isfinite(y2) || (y1 < top && y2 < top) || (y1 > bottom && y2 > bottom))
        return false;
    auto cut = [&](double y) { return line.pointAt((y - line.y1()) / (line.y2() - line.y1())); };
    const QPointF a = y1 < top ? cut(top) : y1 > bottom ? cut(bottom) : line.p1();
    const QPointF b = y2 < top ? cut(top) : y2 > bottom ? cut(bottom) : line.p2();
    line = QLineF(a, b);
    return true;
}
} // namespace

void ChartPanel::readBounds(const QString& upper, const QString& lower)
{
    auto read = [this](const QString& text, double previous) {
        const double v = num::Leading(text);
        if (!std::isfinite(v))
            return previous;
        const double limit = Limit(current_);
        return static_cast<double>(static_cast<float>(num::RoundTo(std::clamp(v, -limit, limit), decimals())));
    };
    high_ = read(upper, high_);
    low_ = read(lower, low_);
    if (low_ == high_)
        low_ = static_cast<double>(static_cast<float>(num::RoundTo(high_ - 0.1, decimals())));
}

QString ChartPanel::boundText(double v) const
{
    return num::Fixed(v, decimals()) + (current_ ? u'A' : u'V');
}

std::optional<int> ChartPanel::zeroLabelTop(int chartTop, int chartHeight, int labelHeight) const
{
    const double top = chartTop + chartHeight * high_ / (high_ - low_) - labelHeight / 2.0;
    if (!(top > chartTop + chartHeight / 8.0 && top < chartTop + 7.0 * chartHeight / 8.0))
        return std::nullopt;
    return static_cast<int>(std::lround(top));
}

std::pair<int, int> ChartPanel::AxisLabelLefts(int chartLeft, int chartWidth, int spotCount, int firstWidth,
                                               int lastWidth)
{
    const int n = std::max(spotCount, 2);
    const int step = chartWidth / (n + 1);
    return {chartLeft + step - firstWidth / 2, chartLeft + chartWidth - step - lastWidth / 2};
}

void ChartPanel::paint(QPainter& p, const QRect& surface, const SpotGrid& grid, int spotCount) const
{
    p.fillRect(surface, Qt::black);
    if (surface.width() < 2 || surface.height() < 2)
        return;
    const double n = std::max(spotCount, 2);
    const double a = high_;
    const double b = low_;
    const double sx = surface.width() / (n + 1.0);
    const double sy = surface.height() / (a - b);
    auto at = [&](double x, double y) { return QPointF(surface.left() + x * sx, surface.top() + (a - y) * sy); };
    const double top = surface.top() - surface.height();
    const double bottom = surface.bottom() + surface.height();
    auto line = [&](double x1, double y1, double x2, double y2) {
        QLineF l(at(x1, y1), at(x2, y2));
        if (ClipToBand(l, top, bottom))
            p.drawLine(l);
    };

    p.save();
    p.setClipRect(surface);
    for (int k = 0; k <= spotCount; ++k) {
        p.setPen(QPen(GridColor, k == 0 ? 2 : 1));
        line(k, a, k, b);
    }
    const double unit = current_ ? 0.01 : 0.1;
    for (int k = 0; k <= 10; ++k) {
        p.setPen(QPen(GridColor, k == 5 ? 2 : 1));
        const double y = (k - 5) * unit;
        line(0, y, n + 1, y);
    }

    const QPen band(BandColor, 1, Qt::DotLine);
    const QPen deviation(current_ ? CurrColor : VoltColor, 1);
    for (const SpotGrid::Segment& s : grid.measuredSegments()) {
        const double b1 = spots::Band(current_, s.display1);
        const double b2 = spots::Band(current_, s.display2);
        p.setPen(band);
        line(s.spot, b1, s.spot + 1, b2);
        line(s.spot, -b1, s.spot + 1, -b2);
        p.setPen(deviation);
        line(s.spot, s.output1 - s.display1, s.spot + 1, s.output2 - s.display2);
    }
    p.restore();
}

} // namespace psucal
