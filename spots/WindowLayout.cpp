#include "spots/WindowLayout.h"

namespace psucal {

namespace {
constexpr int PanelTop = 560;
constexpr int ColumnLeft = WindowLayout::ColumnLeft;
constexpr int ColumnTakeOff = 6280; // also the narrowest window with a right-hand column
constexpr int GridTakeOff = 430;

// A panel alone over the grid area, or in its place in the right-hand column.
bool CanPlace(const WindowLayout& w, const ChartGeometry& c)
{
    return w.width - c.panel.left() > 210 && w.gridV.height() / 2 > 70;
}

void MoveIfSound(QRect& r, int left, int top, int width, int height)
{
    if (width > 0 && height > 0)
        r.setRect(left, top, width, height);
}

void SizeSurface(ChartGeometry& c)
{
    if (c.panel.width() > 1000 && c.panel.height() > 500)
        c.surface.setSize({c.panel.width() - c.lowerBox.width() - 400, c.panel.height() - 500});
}

void PlaceBoxes(ChartGeometry& c)
{
    c.lowerBox.moveTop(c.surface.top() + c.surface.height() - c.lowerBox.height() + 60);
    c.zeroLabelTop = c.upperBox.top() + (c.lowerBox.top() - c.upperBox.top()) / 2;
    c.stepTitleTop = c.axisLabelTop;
}
WindowLayout ArrangeSpotPanels(WindowLayout w)
{
    const int singleWidth = w.width - 400;
    const int singleHeight = w.height - 1345;
    const int columnWidth = w.width - ColumnTakeOff;
    if (CanPlace(w, w.volt)) {
        w.volt.panel.moveTop(PanelTop);
        if (w.panelMode == 0) {
            w.framesVisible = false;
            MoveIfSound(w.volt.panel, w.gridV.left(), PanelTop, singleWidth, singleHeight);
        } else if (w.width > ColumnTakeOff) {
            MoveIfSound(w.volt.panel, ColumnLeft, PanelTop, columnWidth, (w.height - 1300) / 2 - 75);
        }
    }
    SizeSurface(w.volt);
    if (CanPlace(w, w.curr)) {
        if (w.panelMode == 1) {
            w.framesVisible = false;
            MoveIfSound(w.curr.panel, w.gridV.left(), w.volt.panel.top(), singleWidth, singleHeight);
        } else if (w.width > ColumnTakeOff) {
            MoveIfSound(w.curr.panel, ColumnLeft, w.volt.panel.bottom() + 1 + 100, columnWidth, w.volt.panel.height());
        }
    }
    // The frames come back with the two-panel view; the header boxes are never lost.
    if (w.panelMode == 2)
        w.framesVisible = true;
    SizeSurface(w.curr);
    PlaceBoxes(w.volt);
    PlaceBoxes(w.curr);

    const bool gridsUncovered = w.gridC.left() < w.volt.panel.left() && w.gridC.left() < w.curr.panel.left();
    // Run modes 0 and 1 show the spots before the first reading; run mode 2 waits for the meter.
    w.gridsVisible = (w.meterSeen || w.runMode < 2) && gridsUncovered;
    w.volt.surfaceVisible = w.curr.surfaceVisible = w.meterSeen;
    w.volt.panelVisible = w.meterSeen && w.gridV.left() < w.curr.panel.left();
    w.curr.panelVisible = w.meterSeen && w.gridV.left() < w.volt.panel.left();
    return w;
}
} // namespace

WindowLayout WindowLayout::Arrange(WindowLayout w)
{
    w.gridsVisible = false;
    w.volt.panelVisible = w.curr.panelVisible = false;
    w.volt.surfaceVisible = w.curr.surfaceVisible = false;
    // Tested against what is subtracted, so the grids never get a height below one twip.
    const int gridHeight = w.height - w.gridV.top() - w.statusBarHeight - GridTakeOff;
    if (gridHeight > 0) {
        w.gridV.setHeight(gridHeight);
        w.gridC.setHeight(gridHeight);
    }
    w = ArrangeSpotPanels(w);
    w.lineEnd = w.width + 500;
    if (w.width > ColumnTakeOff && w.height > 1330)
        w.editor.setRect(ColumnLeft, w.volt.panel.top(), w.width - ColumnTakeOff, w.height - 1330);
    return w;
}

} // namespace psucal
