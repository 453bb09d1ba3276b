#include "spots/WindowLayout.h"

#include <gtest/gtest.h>

using namespace psucal;

namespace {
WindowLayout Window(int width, int height, int panelMode = 2, bool meterSeen = true, int runMode = 2)
{
    WindowLayout w;
    w.width = width;
    w.height = height;
    w.statusBarHeight = 345;
    w.panelMode = panelMode;
    w.meterSeen = meterSeen;
    w.runMode = runMode;
    w.gridV = QRect(150, 5000, 2800, 2000);
    w.gridC = QRect(3070, 5000, 2800, 2000);
    for (ChartGeometry* c : {&w.volt, &w.curr}) {
        c->panel = QRect(6025, 560, 4000, 2100);
        c->surface = QRect(880, 60, 3000, 1500);
        c->upperBox = QRect(60, 30, 760, 285);
        c->lowerBox = QRect(60, 0, 760, 285);
    }
    return w;
}

WindowLayout Again(WindowLayout w, int panelMode)
{
    w.panelMode = panelMode;
    return WindowLayout::Arrange(w);
}
} // namespace

TEST(WindowLayout, TwoPanelsStackInTheRightHandColumnBesideTheGrids)
{
    const WindowLayout w = WindowLayout::Arrange(Window(28800, 16200));
    EXPECT_EQ(w.gridV.height(), 16200 - 5000 - 345 - 430);
    EXPECT_EQ(w.gridC.height(), w.gridV.height());
    EXPECT_EQ(w.volt.panel, QRect(6025, 560, 22520, 7375));
    EXPECT_EQ(w.curr.panel, QRect(6025, 8035, 22520, 7375));
    EXPECT_EQ(w.volt.surface, QRect(880, 60, 22520 - 760 - 400, 7375 - 500));
    EXPECT_EQ(w.volt.lowerBox.top(), 60 + 6875 - 285 + 60);
    EXPECT_EQ(w.volt.zeroLabelTop, 30 + (6710 - 30) / 2);
    EXPECT_TRUE(w.gridsVisible && w.framesVisible);
    EXPECT_TRUE(w.volt.panelVisible && w.curr.panelVisible && w.volt.surfaceVisible && w.curr.surfaceVisible);
    EXPECT_EQ(w.editor, QRect(6025, 560, 22520, 16200 - 1330));
    EXPECT_EQ(w.lineEnd, 29300);

    // The compact width leaves a right-hand panel too narrow for its chart to be resized.
    const WindowLayout compact = WindowLayout::Arrange(Window(6765, 9000));
    EXPECT_EQ(compact.volt.panel.width(), 485);
    EXPECT_EQ(compact.volt.surface.size(), QSize(3000, 1500));
}

TEST(WindowLayout, OnePanelCoversTheGridsAndTheFramesComeBackWithTwo)
{
    const WindowLayout two = WindowLayout::Arrange(Window(28800, 16200));
    const WindowLayout volt = Again(two, 0);
    EXPECT_EQ(volt.volt.panel, QRect(150, 560, 28400, 14855));
    EXPECT_FALSE(volt.framesVisible || volt.gridsVisible || volt.curr.panelVisible);
    EXPECT_TRUE(volt.volt.panelVisible);

    const WindowLayout curr = Again(two, 1);
    EXPECT_EQ(curr.curr.panel, QRect(150, 560, 28400, 14855));
    EXPECT_FALSE(curr.framesVisible || curr.gridsVisible || curr.volt.panelVisible);

    const WindowLayout back = Again(volt, 2);
    EXPECT_EQ(back.volt.panel, two.volt.panel);
    EXPECT_TRUE(back.framesVisible && back.gridsVisible && back.curr.panelVisible);

    // Too narrow for a right-hand column: the panels stay where they were.
    WindowLayout narrow = volt;
    narrow.width = 6280;
    narrow = Again(narrow, 2);
    EXPECT_EQ(narrow.volt.panel.left(), 150);
    EXPECT_FALSE(narrow.gridsVisible);
}

TEST(WindowLayout, SmallWindowsAndAnUnreadMeterShowLittle)
{
    // 415 twips between the grids' top and the status bar: 15 short of the 430 taken off, so the
    // grids keep their height.
    const WindowLayout low = WindowLayout::Arrange(Window(28800, 5000 + 345 + 415));
    EXPECT_EQ(low.gridV.height(), 2000);
    EXPECT_EQ(low.gridC.height(), 2000);

    const WindowLayout before = WindowLayout::Arrange(Window(28800, 16200, 2, false));
    EXPECT_FALSE(before.gridsVisible || before.volt.panelVisible || before.curr.surfaceVisible);
    // Run modes 0 and 1 show the spots before the first reading.
    EXPECT_TRUE(WindowLayout::Arrange(Window(28800, 16200, 2, false, 1)).gridsVisible);
}
