#pragma once

#include <QRect>
#include <QString>

#include <optional>

class QPainter;

namespace psucal {

class SpotGrid;

// One deviation chart, PVV (volts) or PCV (amperes): Output - Display of every measured spot
// between the dotted display band, on a fixed grid, scaled by the two bound boxes.
class ChartPanel {
public:
    explicit ChartPanel(bool current) : current_(current), high_(current ? 0.05 : 0.5), low_(-high_) {}

    bool isCurrent() const { return current_; }
    // Reads the bound boxes (decimal point already a point): rounded to the chart's resolution,
    // kept within a sane range, equal bounds opened downwards. A bound that is not a finite
    // number keeps its last value.
    void readBounds(const QString& upper, const QString& lower);
    double high() const { return high_; }
    double low() const { return low_; }
    // The bounds as the boxes show them afterwards: "0.5V", "-0.05A".
    QString highText() const { return boundText(high_); }
    QString lowText() const { return boundText(low_); }

    // Top of the zero-line label so that it sits centred on the zero level; nothing when that
    // level lies outside the middle three quarters of the chart.
    std::optional<int> zeroLabelTop(int chartTop, int chartHeight, int labelHeight) const;
    // Left edges of the axis labels centred under the first and the last spot.
    static std::pair<int, int> AxisLabelLefts(int chartLeft, int chartWidth, int spotCount, int firstWidth,
                                              int lastWidth);

    // Paints the whole chart into `surface` from the grid's rows.
    void paint(QPainter& p, const QRect& surface, const SpotGrid& grid, int spotCount) const;

private:
    QString boundText(double v) const;
    int decimals() const { return current_ ? 2 : 1; }

    bool current_;
    double high_;
    double low_;
};

} // namespace psucal
