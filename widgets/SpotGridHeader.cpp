#include "widgets/SpotGridHeader.h"

#include <QPainter>

namespace psucal {

SpotGridHeader::SpotGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(false);
    setHighlightSections(false);
}

QSize SpotGridHeader::sizeHint() const
{
    QSize s = QHeaderView::sizeHint();
    s.setHeight(2 * fontMetrics().height() + 8);
    return s;
}

QString SpotGridHeader::text(int section, int role) const
{
    return model() ? model()->headerData(section, Qt::Horizontal, role).toString() : QString();
}

QRect SpotGridHeader::titleSpan(int section, const QRect& rect) const
{
    const QString title = text(section, Qt::UserRole);
    int first = section, last = section;
    while (first > 0 && text(first - 1, Qt::UserRole) == title)
        --first;
    while (last + 1 < count() && text(last + 1, Qt::UserRole) == title)
        ++last;
    const int left = sectionViewportPosition(first);
    const int right = sectionViewportPosition(last) + sectionSize(last);
    return QRect(left, rect.top(), right - left, rect.height() / 2);
}

void SpotGridHeader::paintCell(QPainter* painter, const QRect& cell, const QRect& clip, const QString& text) const
{
    QStyleOptionHeader opt;
    initStyleOption(&opt);
    opt.rect = cell;
    opt.textAlignment = Qt::AlignCenter;
    opt.position = QStyleOptionHeader::Middle;
    painter->save();
    painter->setClipRect(clip);
    style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
    painter->drawText(cell, Qt::AlignCenter, text);
    painter->restore();
}

void SpotGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    const QString title = text(logicalIndex, Qt::UserRole);
    const QString name = text(logicalIndex, Qt::DisplayRole);
    if (title == name) {
        paintCell(painter, rect, rect, name);
        return;
    }
    const QRect upper = titleSpan(logicalIndex, rect);
    paintCell(painter, upper, rect.intersected(upper), title);
    const QRect lower(rect.left(), upper.bottom() + 1, rect.width(), rect.height() - upper.height());
    paintCell(painter, lower, lower, name);
}

} // namespace psucal
