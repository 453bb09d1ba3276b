#pragma once

#include "spots/ChartPanel.h"
#include "spots/WindowLayout.h"

#include <QFrame>

#include <array>

class QLabel;
class QLineEdit;

namespace psucal {

class SpotGrid;

// A chart panel PB(0) or PB(1): the chart surface (PVV / PCV) with its bound boxes, the
// zero-line label, the axis labels and their title. A double-click on the surface asks for the
// other panel arrangement.
class ChartPanelWidget : public QFrame {
    Q_OBJECT
public:
    ChartPanelWidget(const SpotGrid& grid, QWidget* parent = nullptr);

    // Where the panel and its parts stand, in twips; the window's layout moves them.
    const ChartGeometry& geometryTwips() const { return geo_; }
    void setGeometryTwips(const ChartGeometry& g);

    void setSpotCount(int n) { spotCount_ = n; }
    void setAxisLabels(const std::array<QString, 2>& labels);
    // Reads and rewrites the bound boxes, places the labels and paints the chart again.
    void redraw();

    const ChartPanel& chart() const { return chart_; }
    QWidget* surface() const { return surface_; }
    QLineEdit* boundBox(int index) const { return bounds_.at(index); }
    QLabel* zeroLabel() const { return zero_; }

signals:
    void surfaceDoubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int px(int twips) const;
    QRect pxRect(const QRect& twips) const;

    const SpotGrid& grid_;
    ChartPanel chart_;
    ChartGeometry geo_;
    int spotCount_ = 20;
    QWidget* surface_;
    std::array<QLineEdit*, 2> bounds_{};
    QLabel* zero_;
    std::array<QLabel*, 2> axis_{};
    QLabel* stepTitle_;
    QLabel* caption_;
};

} // namespace psucal
