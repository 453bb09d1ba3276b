#include "widgets/SpotGridView.h"

#include "spots/PcFont.h"
#include "widgets/SpotGridHeader.h"
#include "widgets/SpotGridModel.h"
#include "spots/SpotGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

namespace psucal {

SpotGridView::SpotGridView(SpotGrid& grid, QWidget* parent)
    : QTableView(parent), model_(new SpotGridModel(grid, this)), editor_(grid)
{
    setObjectName(grid.isCurrent() ? QStringLiteral("FGridC") : QStringLiteral("FGridV"));
    setHorizontalHeader(new SpotGridHeader(this));
    setModel(model_);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const int dpi = logicalDpiX();
    for (int c = 0; c < SpotGrid::Columns; ++c)
        setColumnWidth(c, TwipsToPx(grid.columnWidth(c), dpi));
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

void SpotGridView::fitWidth(int width)
{
    // The step column keeps its width; the three value columns share the rest.
    const int values = width - 2 * frameWidth() - verticalScrollBar()->sizeHint().width() - columnWidth(0);
    for (int c = 1; c < SpotGrid::Columns; ++c)
        setColumnWidth(c, values / 3);
}

void SpotGridView::gridChanged(int row)
{
    model_->gridChanged(row);
}

void SpotGridView::scrollToGridRow(int row)
{
    const QModelIndex index = model_->indexOfGridRow(row, 0);
    if (index.isValid())
        scrollTo(index);
}

void SpotGridView::edited(int row)
{
    model_->gridChanged(row);
    emit outputEdited();
}

void SpotGridView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex cur = currentIndex();
    const int row = SpotGridModel::gridRow(cur);
    if (event->key() == Qt::Key_Delete) {
        if (!locked_ && editor_.clearCell(row, cur.column()))
            edited(row);
        return;
    }
    const QString text = event->text();
    // Typed characters belong to the Output cells (elsewhere they do nothing); Enter, Tab and
    // the keys without a character (arrows, Page Down...) move the cursor.
    const bool typed = text.size() == 1 && (text.at(0) == u'\b' || text.at(0).isPrint());
    if (!typed) {
        QTableView::keyPressEvent(event);
        return;
    }
    if (!locked_ && editor_.keyPress(row, cur.column(), text.at(0)))
        edited(row);
}

void SpotGridView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || locked_)
        return;
    setCurrentIndex(index);
    if (const auto sp = editor_.setPoint(SpotGridModel::gridRow(index), index.column()))
        emit sendSetPoint(sp->current, sp->value);
}

void SpotGridView::leave(const QModelIndex& index)
{
    const int row = SpotGridModel::gridRow(index);
    if (!locked_ && editor_.leaveCell(row, index.column()))
        edited(row);
}

void SpotGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    leave(previous);
    QTableView::currentChanged(current, previous);
}

void SpotGridView::focusOutEvent(QFocusEvent* event)
{
    // An Output typed and then left for a button is judged too, not carried on half-typed.
    leave(currentIndex());
    QTableView::focusOutEvent(event);
}

} // namespace psucal
