#include "app/FrmMain.h"
#include "tests/app/VirtualSession.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

using namespace psucal;
using namespace psucal::test;

namespace {

struct WindowSession {
    explicit WindowSession(sim::SupplyConfig cfg) : session(window, cfg)
    {
        window.attach(&session.ui, &session.wizard, {"COM1", "COM2", "COM3", "COM4"}, "COM1");
        window.show();
        session.load();
    }
    void click() { QTest::mouseClick(window.wizardButton(), Qt::LeftButton); }
    QString caption() const { return window.wizardButton()->text(); }

    FrmMain window;
    VirtualSession session;
};

sim::SupplyConfig Unit(int ratingV, sim::Terminals t = sim::Terminals::Auto)
{
    sim::SupplyConfig c;
    c.ratingV = ratingV;
    c.seed = 11;
    c.terminals = t;
    return c;
}

} // namespace

TEST(FrmMain, CompactWindowHasItsTwipGeometry)
{
    WindowSession w(Unit(40));
    EXPECT_EQ(w.window.size(), QSize(451, 337)); // 6765 x 5055 twips at 15 twips a pixel
    EXPECT_EQ(w.window.wizardButton()->geometry(), QRect(277, 171, 80, 27));
    EXPECT_EQ(w.window.messageArea()->geometry(), QRect(37, 57, 370, 120));
    EXPECT_EQ(w.window.progressBar()->geometry().topLeft(), QPoint(30, 217));
    EXPECT_EQ(w.window.wizardButton()->font().pointSize(), 10);
    EXPECT_EQ(w.window.portSelector()->currentText(), "COM1");
    EXPECT_GT(w.window.focusSink()->x(), w.window.width()); // outside the visible width
}

TEST(FrmMain, GoodUnitThroughEveryCaption)
{
    WindowSession w(Unit(60));
    EXPECT_EQ(w.caption(), "START  >");
    EXPECT_EQ(w.window.statusPanel(1)->text(), "Connected power supply rating");
    EXPECT_EQ(w.window.statusPanel(2)->text(), "60V/3.3A");

    w.click();
    EXPECT_EQ(w.caption(), "NEXT  >");
    EXPECT_TRUE(w.window.wizardButton()->isEnabled());
    w.click();
    EXPECT_EQ(w.caption(), "CLOSE");
    EXPECT_FALSE(w.window.progressBar()->isVisible());
    EXPECT_EQ(w.window.focusWidget(), w.window.wizardButton());
}

TEST(FrmMain, FailingCurrentStepKeepsNextAndTheProgressBar)
{
    WindowSession w(Unit(20, sim::Terminals::Open));
    w.click();
    w.click();
    EXPECT_EQ(w.caption(), "NEXT  >");
    EXPECT_TRUE(w.window.progressBar()->isVisible());
    EXPECT_EQ(w.window.progressBar()->value(), 0);
    EXPECT_TRUE(w.session.ui.pcText().contains("Output terminals must be short circuited to recalibrate"));
}

TEST(FrmMain, PortChoiceReopensTheLinkWithoutIdentifying)
{
    WindowSession w(Unit(40));
    const int n = w.session.model.frames().size();
    w.window.portSelector()->setCurrentIndex(2);
    emit w.window.portSelector()->activated(2);
    EXPECT_EQ(w.session.supplyPort.portName(), "COM3");
    EXPECT_EQ(w.session.model.frames().size(), n);
    EXPECT_EQ(w.caption(), "START  >");
}

// Ending the program leaves the process, so these run in a child process that reports the
// frames the supply saw on its way out.
TEST(FrmMainDeathTest, CloseCaptionAndWindowCloseBothSendEnds)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            WindowSession w(Unit(40));
            w.window.setBeforeExit(
                [&] { std::fprintf(stderr, "frames:%s\n", qPrintable(w.session.model.frames().join(','))); });
            w.click();
            w.click();
            w.click();
        },
        ::testing::ExitedWithCode(0), "ENDS00\n");

    EXPECT_EXIT(
        {
            WindowSession w(Unit(40));
            w.window.setBeforeExit([&] {
                std::fprintf(stderr, "stop:%d frames:%s\n", w.session.st.StopFlag ? 1 : 0,
                             qPrintable(w.session.model.frames().mid(w.session.model.frames().size() - 1).join(',')));
            });
            w.session.clock.scheduleIn(3.0, [&] { w.window.close(); });
            w.click();
        },
        ::testing::ExitedWithCode(0), "stop:1 frames:ENDS00\n");
}
