#pragma once

#include <QHeaderView>

namespace psucal {

// The two header rows of a spot grid above its scrolling rows: the unit title over the value
// columns and the column names under it; equal neighbouring cells merge, as "Step" does over
// both rows.
class SpotGridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit SpotGridHeader(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    QString text(int section, int role) const;
    // The band of neighbouring sections whose title equals this one's, in viewport x.
    QRect titleSpan(int section, const QRect& rect) const;
    void paintCell(QPainter* painter, const QRect& cell, const QRect& clip, const QString& text) const;
};

} // namespace psucal
