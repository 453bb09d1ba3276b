#include "report/AccuracyChart.h"

#include "core/Numbers.h"
#include "spots/Band.h"

#include <QtMath>

#include <algorithm>

namespace psucal {

namespace {

constexpr double VoltStep = 0.1;
constexpr double AmpStep = 0.01;
const QColor GridGrey(128, 128, 128);
const QColor ZeroGrey(64, 64, 64);
const TextStyle TitleFont{9.0, true};
const TextStyle LabelFont{8.0, false};
const TextStyle LegendFont{9.0, false};

bool Between(double v, double lo, double hi)
{
    return v >= lo && v <= hi;
}

QPointF Swapped(QPointF p)
{
    return QPointF(p.y(), p.x());
}

// For each of the edges x = low and x = high that the segment a0-b0 crosses, moves the endpoint
// beyond it onto the crossing, when the crossing lies between spanLow and spanHigh in y.
void CutAtEdges(double low, double high, double spanLow, double spanHigh, QPointF a0, QPointF b0, QPointF& a,
                QPointF& b)
{
    for (const double x : {low, high}) {
        if ((a0.x() < x) == (b0.x() < x) || a0.x() == x || b0.x() == x)
            continue;
        const double y = a0.y() + (x - a0.x()) * (b0.y() - a0.y()) / (b0.x() - a0.x());
        if (!Between(y, spanLow, spanHigh))
            continue;
        const bool aBeyond = x == low ? a0.x() < x : a0.x() > x;
        (aBeyond ? a : b) = QPointF(x, y);
    }
}

// Labels closer than they are big are thinned to every n-th one.
int Stride(double needed, double spacing)
{
    return spacing > 0 && needed > spacing ? static_cast<int>(std::ceil(needed / spacing)) : 1;
}

} // namespace

AccuracyChart::AccuracyChart(bool current, double halfRange, int spotCount, double top, double pageWidth)
    : current_(current), spots_(std::max(spotCount, 2)), step_(current ? AmpStep : VoltStep), pageWidth_(pageWidth),
      frame_(QPointF(Left, top), QPointF(pageWidth - RightInset, top + Height))
{
    // Always whole grid steps, so a missing rating still gets a drawable scale.
    levels_ = std::max(1, static_cast<int>(std::ceil(halfRange / step_ - 1e-6)));
}

double AccuracyChart::ChartX(double spot) const
{
    return frame_.left() + (spot - 1) * frame_.width() / (spots_ - 1);
}

double AccuracyChart::ChartY(double level) const
{
    const double m = halfRange();
    return frame_.bottom() - (level + m) * Height / (2 * m);
}

std::optional<QLineF> AccuracyChart::ClipChartLine(const QLineF& segment, const QRectF& frame)
{
    const QPointF a0 = segment.p1(), b0 = segment.p2();
    QPointF a = a0, b = b0;
    CutAtEdges(frame.left(), frame.right(), frame.top(), frame.bottom(), a0, b0, a, b);
    // The top and bottom edges are the same cut with x and y exchanged.
    QPointF ta = Swapped(a), tb = Swapped(b);
    CutAtEdges(frame.top(), frame.bottom(), frame.left(), frame.right(), Swapped(a0), Swapped(b0), ta, tb);
    a = Swapped(ta);
    b = Swapped(tb);
    const auto inside = [&](QPointF p) {
        return Between(p.x(), frame.left(), frame.right()) && Between(p.y(), frame.top(), frame.bottom());
    };
    if (!inside(a) || !inside(b))
        return std::nullopt;
    return QLineF(a, b);
}

void AccuracyChart::draw(ReportCanvas& canvas, const SpotGrid& grid) const
{
    const QString title =
        current_ ? QStringLiteral("Output current accuracy") : QStringLiteral("Output voltage accuracy");
    canvas.text((pageWidth_ - canvas.textWidth(title, TitleFont)) / 2, frame_.top() - 5, title, TitleFont);
    drawGrid(canvas);
    drawValues(canvas, grid);
    drawAxes(canvas);
    drawLabels(canvas, grid);
}

void AccuracyChart::drawGrid(ReportCanvas& canvas) const
{
    for (int k = 1; k <= spots_; ++k)
        canvas.line(QLineF(ChartX(k), frame_.bottom(), ChartX(k), frame_.top()), Stroke{1, false, GridGrey});
    for (int j = -levels_; j <= levels_; ++j) {
        const double y = ChartY(j * step_);
        canvas.line(QLineF(frame_.left(), y, frame_.right(), y), Stroke{1, false, j == 0 ? ZeroGrey : GridGrey});
    }
}

void AccuracyChart::drawValues(ReportCanvas& canvas, const SpotGrid& grid) const
{
    const Stroke limit{2, true, Qt::black};
    const Stroke measured{2, false, Qt::black};
    for (const SpotGrid::Segment& s : grid.measuredSegments()) {
        const double d1 = s.display1, d2 = s.display2;
        const double x1 = ChartX(s.spot), x2 = ChartX(s.spot + 1);
        for (const int sign : {1, -1}) {
            clippedLine(
                canvas,
                QLineF(x1, ChartY(sign * spots::Band(current_, d1)), x2, ChartY(sign * spots::Band(current_, d2))),
                limit);
        }
        clippedLine(canvas, QLineF(x1, ChartY(s.output1 - d1), x2, ChartY(s.output2 - d2)), measured);
    }
}

void AccuracyChart::clippedLine(ReportCanvas& canvas, QLineF segment, const Stroke& stroke) const
{
    if (const auto visible = ClipChartLine(segment, frame_))
        canvas.line(*visible, stroke);
}

void AccuracyChart::drawAxes(ReportCanvas& canvas) const
{
    const Stroke axis{2, false, Qt::black};
    const double l = frame_.left(), t = frame_.top(), r = frame_.right(), b = frame_.bottom();
    canvas.rect(frame_, axis);
    canvas.line(QLineF(l, t - 5, l, t), axis);
    canvas.line(QLineF(l - 0.5, t - 2, l, t - 5), axis);
    canvas.line(QLineF(l + 0.5, t - 2, l, t - 5), axis);
    canvas.line(QLineF(r, b, r + 6, b), axis);
    canvas.line(QLineF(r + 4, b - 0.3, r + 8, b), axis);
    canvas.line(QLineF(r + 4, b + 0.3, r + 8, b), axis);
}

void AccuracyChart::drawLabels(ReportCanvas& canvas, const SpotGrid& grid) const
{
    const double l = frame_.left(), t = frame_.top(), b = frame_.bottom();
    const QString unit = current_ ? QStringLiteral("A") : QStringLiteral("V");
    canvas.text(l + 1.5, t - 3.5, QStringLiteral("\u25B3 %1 Output Value Variance ").arg(unit), LabelFont);
    canvas.text(frame_.right() + 1.5, b - 4, QStringLiteral("Display Value"), LabelFont);

    const double h = canvas.textHeight(LabelFont);
    // Digits fill about three quarters of a line, so labels may come that close.
    const int levelStride = Stride(0.75 * h, Height / (2 * levels_));
    for (int j = levels_; j >= -levels_; --j) {
        if (j % levelStride != 0)
            continue;
        const QString text = num::Fixed(j * step_, current_ ? 2 : 1) + unit;
        canvas.text(l - 3 - canvas.textWidth(text, LabelFont), ChartY(j * step_) - h / 2, text, LabelFont);
    }

    const int last = std::min(grid.spotCount(), spots_);
    double widest = 0;
    for (int k = 1; k <= last; ++k)
        widest = std::max(widest, canvas.textWidth(grid.text(k + 1, SpotGrid::DisplayColumn), LabelFont));
    const int spotStride = Stride(widest + 0.5, frame_.width() / (spots_ - 1));
    for (int k = 1; k <= last; k += spotStride) {
        const QString text = grid.text(k + 1, SpotGrid::DisplayColumn);
        canvas.text(ChartX(k) - canvas.textWidth(text, LabelFont) / 2, b + 2, text, LabelFont);
    }
}

void AccuracyChart::drawLegend(ReportCanvas& canvas, const QString& testedBy) const
{
    const double l = frame_.left(), b = frame_.bottom();
    const QString limits = QStringLiteral("Limiting Values");
    canvas.line(QLineF(l, b + 12, l + 15, b + 12), Stroke{2, true, Qt::black});
    canvas.text(l + 16, b + 10, limits, LegendFont);
    // The second sample keeps clear of the first one's text.
    const double x = std::max(l + 40, l + 16 + canvas.textWidth(limits, LegendFont) + 4);
    canvas.line(QLineF(x, b + 12, x + 15, b + 12), Stroke{2, false, Qt::black});
    canvas.text(x + 16, b + 10, QStringLiteral("Measured Values"), LegendFont);
    const QString tester = QStringLiteral("Test By : ") + testedBy;
    canvas.text(frame_.right() - canvas.textWidth(tester, LegendFont) + 6, b + 14, tester, LegendFont);
}

} // namespace psucal
