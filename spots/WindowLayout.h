#pragma once

#include <QRect>

namespace psucal {

// One chart panel PB(i) as the layout sees it. `panel` is in window twips; the rest lies inside
// the panel, in twips from its top left corner.
struct ChartGeometry {
    QRect panel;
    QRect surface;        // PVV / PCV
    QRect upperBox;       // LV(0) / LC(0)
    QRect lowerBox;       // LV(1) / LC(1)
    int zeroLabelTop = 0; // LVA / LCA
    int axisLabelTop = 0; // LVT(0) / LCT(0)
    int stepTitleTop = 0; // LVStep / LCStep
    bool panelVisible = false;
    bool surfaceVisible = false;
};

// Everything the window's resize handling reads and moves, in twips. The caller fills in the
// window's outer size, the state and the controls where they stand now; WindowLayout::Arrange
// gives back where they go and what shows. Controls the rules cannot place keep their geometry,
// so a small or minimised window never gets negative sizes.
struct WindowLayout {
    // Left edge of the right-hand column of chart panels (and of the EEPROM editor).
    static constexpr int ColumnLeft = 6025;

    int width = 0;
    int height = 0;
    int statusBarHeight = 0;
    int panelMode = 2;
    bool meterSeen = false;
    int runMode = 3;

    QRect gridV; // FGridV
    QRect gridC; // FGridC
    bool gridsVisible = false;
    ChartGeometry volt;        // PB(0)
    ChartGeometry curr;        // PB(1)
    bool framesVisible = true; // Frame2, Frame3 and Frame4
    QRect editor;              // PEEP
    int lineEnd = 0;           // right end of the separator lines Line1(0..1)

    // Sizes the grids, arranges the chart panels by PanelMode and decides what shows.
    static WindowLayout Arrange(WindowLayout w);
};

} // namespace psucal
