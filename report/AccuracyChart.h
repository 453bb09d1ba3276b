#pragma once

#include "report/ReportCanvas.h"
#include "spots/SpotGrid.h"

#include <QLineF>
#include <QRectF>

#include <optional>

namespace psucal {

// One accuracy chart of the report: per spot, how far the measured output lies from the
// supply's display (solid), between the permitted limits (dashed).
class AccuracyChart {
public:
    static constexpr double Left = 18.0;       // frame's left edge
    static constexpr double RightInset = 26.0; // frame's right edge from the page's right edge
    static constexpr double Height = 40.0;

    // `top` is the frame's top edge; `halfRange` (volts or amperes) the rating's span above and
    // below zero, rounded up to whole grid steps.
    AccuracyChart(bool current, double halfRange, int spotCount, double top, double pageWidth);

    QRectF frame() const { return frame_; }
    // Whole grid steps above (and below) the zero line; at least one.
    int levels() const { return levels_; }
    double gridStep() const { return step_; }
    double halfRange() const { return levels_ * step_; }

    // Spot 1 on the left edge, the last spot on the right edge.
    double ChartX(double spot) const;
    // -halfRange on the bottom edge, 0 in the middle, +halfRange on the top edge.
    double ChartY(double level) const;

    void draw(ReportCanvas& canvas, const SpotGrid& grid) const;
    // The line samples under the chart and the tester line.
    void drawLegend(ReportCanvas& canvas, const QString& testedBy) const;

    // The part of `segment` inside `frame` (edges included), or nothing when none of it is.
    static std::optional<QLineF> ClipChartLine(const QLineF& segment, const QRectF& frame);

private:
    void drawGrid(ReportCanvas& canvas) const;
    void drawValues(ReportCanvas& canvas, const SpotGrid& grid) const;
    void drawAxes(ReportCanvas& canvas) const;
    void drawLabels(ReportCanvas& canvas, const SpotGrid& grid) const;
    void clippedLine(ReportCanvas& canvas, QLineF segment, const Stroke& stroke) const;

    bool current_;
    int spots_;
    int levels_;
    double step_;
    double pageWidth_;
    QRectF frame_;
};

} // namespace psucal
