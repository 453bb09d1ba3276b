#include "widgets/FullView.h"

#include "widgets/ChartPanelWidget.h"
#include "wizard/FullWindowActions.h"
#include "widgets/HeaderFrame.h"
#include "spots/PcFont.h"
#include "widgets/PlaceTwips.h"
#include "widgets/PortBox.h"
#include "wizard/PortList.h"
#include "widgets/SpotGridView.h"
#include "widgets/StepFrame.h"
#include "widgets/UnitFrame.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "link/SupplyLink.h"
#include "spots/SpotGrid.h"
#include "spots/WindowLayout.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>

namespace psucal {

namespace {
// Design positions, twips: the port row, then the three frames, then the grids under them.
constexpr int Left = 150;
constexpr int FrameWidth = 5800;
constexpr int StepTop = 450;
constexpr int StepHeight = 1800;
constexpr int FrameGap = 60;
constexpr int GridGap = 120;
} // namespace

FullView::FullView(BenchState& st, BenchUi& ui, SpotGrid& gridV, SpotGrid& gridC, QWidget* parent)
    : QWidget(parent), st_(st), ui_(ui)
{
    gridV_ = new SpotGridView(gridV, this);
    gridC_ = new SpotGridView(gridC, this);
    chartV_ = new ChartPanelWidget(gridV, this);
    chartC_ = new ChartPanelWidget(gridC, this);
    build();
}

void FullView::build()
{
    auto* supplyLabel = new QLabel(QStringLiteral("Supply"), this);
    supplyLabel->setObjectName(QStringLiteral("LabelPort_0"));
    PlaceTwips(supplyLabel, Left, 110, 750, 255);
    commPort_ = new QComboBox(this);
    commPort_->setObjectName(QStringLiteral("CmbCommPort"));
    PlaceTwips(commPort_, 900, 60, 1900, 330);
    auto* meterLabel = new QLabel(QStringLiteral("Meter"), this);
    meterLabel->setObjectName(QStringLiteral("LabelPort_1"));
    PlaceTwips(meterLabel, 3000, 110, 700, 255);
    eqPort_ = new QComboBox(this);
    eqPort_->setObjectName(QStringLiteral("CmbEqPort"));
    PlaceTwips(eqPort_, 3750, 60, 1900, 330);
    line_ = new QFrame(this);
    line_->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    PlaceTwips(line_, 0, 405, 6765, 30);

    steps_ = new StepFrame(ui_, st_, this);
    PlaceTwips(steps_, Left, StepTop, FrameWidth, StepHeight);
    // The unit and report frames take the height their font needs; the grids start below them.
    const int dpi = logicalDpiX();
    unit_ = new UnitFrame(ui_, this);
    header_ = new HeaderFrame(ui_, this);
    int top = TwipsToPx(StepTop + StepHeight + FrameGap, dpi);
    for (QWidget* frame : {static_cast<QWidget*>(unit_), static_cast<QWidget*>(header_)}) {
        frame->setGeometry(TwipsToPx(Left, dpi), top, TwipsToPx(FrameWidth, dpi), frame->sizeHint().height());
        top += frame->height() + TwipsToPx(FrameGap, dpi);
    }
    const int gridTop = PxToTwips(top, dpi) + FrameGap;
    connect(steps_, &StepFrame::acted, this, &FullView::acted);
    connect(unit_, &UnitFrame::acted, this, &FullView::acted);
    connect(header_, &HeaderFrame::acted, this, &FullView::acted);

    // Both grids share the room left of the chart column.
    const int gridWidth = (WindowLayout::ColumnLeft - Left - GridGap - GridGap) / 2;
    gridV_->fitWidth(TwipsToPx(gridWidth, dpi));
    gridC_->fitWidth(TwipsToPx(gridWidth, dpi));
    gridVRect_ = QRect(Left, gridTop, gridWidth, 2000);
    gridCRect_ = QRect(Left + gridWidth + GridGap, gridTop, gridWidth, 2000);
    for (bool current : {false, true}) {
        SpotGridView* view = grid(current);
        view->hide();
        connect(view, &SpotGridView::outputEdited, chart(current), &ChartPanelWidget::redraw);
        connect(view, &SpotGridView::sendSetPoint, this, &FullView::sendSetPoint);
        chart(current)->hide();
        connect(chart(current), &ChartPanelWidget::surfaceDoubleClicked, this,
                [this, current] { switchPanels(current); });
    }

    picture1_ = new QWidget(this);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setFocusPolicy(Qt::StrongFocus);
    PlaceTwips(picture1_, 7140, 90, 15, 15);

    connect(commPort_, &QComboBox::activated, this, [this](int index) {
        if (actions_ && index >= 0)
            ui_.guard([this, index] { actions_->CmbCommPort_Click(commPort_->itemText(index)); });
        emit acted();
    });
    connect(eqPort_, &QComboBox::activated, this, [this](int index) {
        if (actions_ && index >= 0)
            ui_.guard([this, index] { actions_->CmbEqPort_Click(eqPort_->itemText(index)); });
        emit acted();
    });
}

void FullView::setActions(FullWindowActions* actions)
{
    actions_ = actions;
    steps_->setActions(actions);
    unit_->setActions(actions);
    header_->setActions(actions);
}

void FullView::setPorts(const QStringList& ports, const QString& supplyPort, const QString& meterPort)
{
    SelectPort(commPort_, ports, supplyPort);
    SelectPort(eqPort_, ports, meterPort);
}

void FullView::setEditorPanel(QWidget* panel)
{
    editor_ = panel;
    if (!editor_)
        return;
    editor_->setParent(this);
    editorRect_ = QRect(WindowLayout::ColumnLeft, 560, 6000, 4000);
    editor_->setGeometry(TwipsToPx(editorRect_, logicalDpiX()));
    follow();
}

void FullView::follow()
{
    const FullWindowUi& full = ui_.full();
    steps_->follow();
    unit_->follow();
    header_->follow();
    const bool idle = !full.pageRunning && !sending_;
    commPort_->setEnabled(idle && ui_.portSelectable());
    eqPort_->setEnabled(idle);
    for (bool current : {false, true}) {
        grid(current)->setLocked(!idle);
        chart(current)->setSpotCount(st_.SpotCount);
        chart(current)->setAxisLabels(current ? full.currAxis : full.voltAxis);
    }
    if (editor_) {
        editor_->setVisible(full.eepChecked);
        // A page or the editor itself is talking to the supply: the editor waits too.
        editor_->setEnabled(!full.pageRunning);
        editor_->raise();
    }
}

void FullView::arrange(const QSize& outer, int statusBar)
{
    const int dpi = logicalDpiY();
    WindowLayout w;
    w.width = PxToTwips(outer.width(), dpi);
    w.height = PxToTwips(outer.height(), dpi);
    w.statusBarHeight = PxToTwips(statusBar, dpi);
    w.panelMode = st_.PanelMode;
    w.meterSeen = st_.MeterSeen;
    w.runMode = st_.RunMode;
    w.gridV = gridVRect_;
    w.gridC = gridCRect_;
    w.volt = chartV_->geometryTwips();
    w.curr = chartC_->geometryTwips();
    w.framesVisible = framesVisible_;
    w.editor = editorRect_;
    w = WindowLayout::Arrange(w);

    gridVRect_ = w.gridV;
    gridCRect_ = w.gridC;
    editorRect_ = w.editor;
    framesVisible_ = w.framesVisible;
    gridV_->setGeometry(TwipsToPx(w.gridV, dpi));
    gridC_->setGeometry(TwipsToPx(w.gridC, dpi));
    gridV_->setVisible(w.gridsVisible);
    gridC_->setVisible(w.gridsVisible);
    for (QWidget* frame : {static_cast<QWidget*>(steps_), static_cast<QWidget*>(unit_), static_cast<QWidget*>(header_)})
        frame->setVisible(w.framesVisible);
    for (bool current : {false, true}) {
        const ChartGeometry& g = current ? w.curr : w.volt;
        chart(current)->setGeometryTwips(g);
        chart(current)->surface()->setVisible(g.surfaceVisible);
        chart(current)->setVisible(g.panelVisible);
        chart(current)->raise();
    }
    line_->resize(TwipsToPx(w.lineEnd, dpi), line_->height());
    if (editor_) {
        editor_->setGeometry(TwipsToPx(w.editor, dpi));
        editor_->raise();
    }
}

void FullView::gridChanged(bool current, int row)
{
    grid(current)->gridChanged(row);
}

void FullView::scrollGrid(bool current, int row)
{
    grid(current)->scrollToGridRow(row);
}

void FullView::redrawChart(bool current)
{
    chart(current)->setSpotCount(st_.SpotCount);
    chart(current)->redraw();
}

void FullView::switchPanels(bool current)
{
    const int alone = current ? 1 : 0;
    st_.PanelMode = st_.PanelMode == alone ? 2 : alone;
    picture1_->setFocus();
    emit layoutWanted();
}

void FullView::sendSetPoint(bool current, double value)
{
    if (!supply_ || sending_ || ui_.full().pageRunning)
        return;
    // The send waits for its reply with the window live; nothing else may start meanwhile.
    sending_ = true;
    qApp->installEventFilter(this);
    ui_.guard([&] { current ? supply_->setCurrent(value, 0.3) : supply_->setVoltage(value, 0.3); });
    qApp->removeEventFilter(this);
    sending_ = false;
}

bool FullView::eventFilter(QObject* watched, QEvent* event)
{
    if (!sending_ || !watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != window())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return true;
    default:
        return false;
    }
}

} // namespace psucal
