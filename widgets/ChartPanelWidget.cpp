#include "widgets/ChartPanelWidget.h"

#include "spots/PcFont.h"
#include "core/FutComma.h"
#include "spots/SpotGrid.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

namespace psucal {

namespace {
// Design positions inside the panel, twips: the bound boxes in a column left of the surface.
constexpr int Margin = 60;
constexpr int BoxWidth = 760;
constexpr int BoxHeight = 285;
constexpr int LabelHeight = 225;
constexpr int AxisGap = 60;
constexpr int TitleGap = 30;
} // namespace

ChartPanelWidget::ChartPanelWidget(const SpotGrid& grid, QWidget* parent)
    : QFrame(parent), grid_(grid), chart_(grid.isCurrent())
{
    const bool current = grid.isCurrent();
    setObjectName(current ? QStringLiteral("PB_1") : QStringLiteral("PB_0"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    surface_ = new QWidget(this);
    surface_->setObjectName(current ? QStringLiteral("PCV") : QStringLiteral("PVV"));
    surface_->setAttribute(Qt::WA_OpaquePaintEvent);
    surface_->setToolTip(current ? QStringLiteral("Output - Display per test spot, amperes.\n"
                                                  "Double-click: this chart alone, or both charts.")
                                 : QStringLiteral("Output - Display per test spot, volts.\n"
                                                  "Double-click: this chart alone, or both charts."));
    surface_->installEventFilter(this);

    const QString name = current ? QStringLiteral("LC_%1") : QStringLiteral("LV_%1");
    for (int i = 0; i < 2; ++i) {
        bounds_[i] = new QLineEdit(i == 0 ? chart_.highText() : chart_.lowText(), this);
        bounds_[i]->setObjectName(name.arg(i));
        bounds_[i]->setAlignment(Qt::AlignRight);
        bounds_[i]->installEventFilter(this);
        connect(bounds_[i], &QLineEdit::returnPressed, this, [this, i] {
            redraw();
            bounds_[i]->selectAll();
        });
    }
    zero_ = new QLabel(current ? QStringLiteral("0.00A") : QStringLiteral("0.0V"), this);
    zero_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (int i = 0; i < 2; ++i)
        axis_[i] = new QLabel(i == 0 ? QStringLiteral("1") : QStringLiteral("20"), this);
    stepTitle_ = new QLabel(QStringLiteral("Step"), this);
    caption_ = new QLabel(QStringLiteral("Display"), this);

    geo_.surface = QRect(Margin + BoxWidth + Margin, Margin, 3000, 1500);
    geo_.upperBox = QRect(Margin, Margin - Margin / 2, BoxWidth, BoxHeight);
    geo_.lowerBox = QRect(Margin, 0, BoxWidth, BoxHeight);
    geo_.panel = QRect(6025, 560, 4000, 2100);
    setGeometryTwips(geo_);
}

int ChartPanelWidget::px(int twips) const
{
    return TwipsToPx(twips, logicalDpiY());
}

QRect ChartPanelWidget::pxRect(const QRect& t) const
{
    return TwipsToPx(t, logicalDpiY());
}

void ChartPanelWidget::setGeometryTwips(const ChartGeometry& g)
{
    geo_ = g;
    setGeometry(pxRect(g.panel));
    surface_->setGeometry(pxRect(g.surface));
    bounds_[0]->setGeometry(pxRect(g.upperBox));
    bounds_[1]->setGeometry(pxRect(g.lowerBox));
    zero_->setGeometry(px(Margin), px(g.zeroLabelTop), px(BoxWidth), px(LabelHeight));
    const int axisTop = px(g.surface.top() + g.surface.height() + AxisGap);
    caption_->setGeometry(px(Margin), axisTop, px(BoxWidth), px(LabelHeight));
    redraw();
}

void ChartPanelWidget::setAxisLabels(const std::array<QString, 2>& labels)
{
    for (int i = 0; i < 2; ++i) {
        if (axis_[i]->text() != labels[i]) {
            axis_[i]->setText(labels[i]);
            axis_[i]->adjustSize();
        }
    }
}

void ChartPanelWidget::redraw()
{
    chart_.readBounds(FutComma(bounds_[0]->text()), FutComma(bounds_[1]->text()));
    bounds_[0]->setText(chart_.highText());
    bounds_[1]->setText(chart_.lowText());

    const QRect s = surface_->geometry();
    const auto zeroTop = chart_.zeroLabelTop(s.top(), s.height(), zero_->height());
    zero_->setVisible(zeroTop.has_value());
    if (zeroTop)
        zero_->move(zero_->x(), *zeroTop);

    for (QLabel* l : {axis_[0], axis_[1], stepTitle_})
        l->adjustSize();
    const auto [first, last] =
        ChartPanel::AxisLabelLefts(s.left(), s.width(), spotCount_, axis_[0]->width(), axis_[1]->width());
    const int top = s.bottom() + 1 + px(AxisGap);
    axis_[0]->move(first, top);
    axis_[1]->move(last, top);
    stepTitle_->move(axis_[0]->geometry().right() + 1 + px(TitleGap), top);
    surface_->update();
}

bool ChartPanelWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == surface_) {
        if (event->type() == QEvent::Paint) {
            QPainter p(surface_);
            chart_.paint(p, surface_->rect(), grid_, spotCount_);
            return true;
        }
        if (event->type() == QEvent::MouseButtonDblClick) {
            emit surfaceDoubleClicked();
            return true;
        }
        return false;
    }
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, box, [box] { box->selectAll(); });
    else if (box && event->type() == QEvent::FocusOut)
        redraw();
    return false;
}

} // namespace psucal
