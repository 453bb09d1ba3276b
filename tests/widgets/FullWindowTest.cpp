#include "widgets/ChartPanelWidget.h"
#include "widgets/FrmMain.h"
#include "widgets/FullView.h"
#include "wizard/FullWindowActions.h"
#include "widgets/HeaderFrame.h"
#include "widgets/SpotGridView.h"
#include "widgets/StepFrame.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SupplyBench.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace psucal;

namespace {

struct RecordingActions : FullWindowActions {
    void Command1_Click(int i) override { calls << QStringLiteral("Command1 %1").arg(i); }
    void CekPro_Click(int i, int v) override { calls << QStringLiteral("CekPro %1 %2").arg(i).arg(v); }
    void CekOnlyRead_Click(bool on) override { calls << QStringLiteral("OnlyRead %1").arg(on); }
    void CekSmallCal_Click(bool on) override { calls << QStringLiteral("SmallCal %1").arg(on); }
    void CmbModel_Click(int i) override { calls << QStringLiteral("Model %1").arg(i); }
    void TxtH_Change(int i, const QString& t) override { calls << QStringLiteral("TxtH %1 %2").arg(i).arg(t); }
    void CmbSpots_Click(int n) override { calls << QStringLiteral("Spots %1").arg(n); }
    void CmbCommPort_Click(const QString& p) override { calls << "CommPort " + p; }
    void CmbEqPort_Click(const QString& p) override { calls << "EqPort " + p; }
    void FormActivate() override {}
    [[noreturn]] void FormUnload() override { std::abort(); }
    void CekEEP_Click(bool on) override { calls << QStringLiteral("EEP %1").arg(on); }
    void CmdPrint_Click() override { calls << "Print"; }
    QStringList calls;
};

// The full window over hand-filled grids of a 60 V unit, its supply simulated in virtual time.
struct FullWindow {
    FullWindow()
    {
        supply.st.RunMode = 2;
        for (SpotGrid* g : {&gridV, &gridC})
            g->writeHeaders();
        gridV.BuildVoltageSpots(20, SpotGrid::VoltageSpotStep(60.0f, 20), 60.0f);
        gridC.BuildCurrentSpots(20, SpotGrid::CurrentSpotStep(3.3f, 20), 3.3f);
        window.attachFull(&supply.st, &ui, &actions, &supply.link, &gridV, &gridC, {"COM1", "COM2"}, "COM1", "COM2");
        window.show();
    }
    FullView& view() { return *window.fullView(); }
    StepFrame& steps() { return *view().stepFrame(); }
    SpotGridView& grid(bool current = false) { return *view().grid(current); }
    QPoint cellCentre(int spot, int col, bool current = false)
    {
        return grid(current).visualRect(grid(current).model()->index(spot - 1, col)).center();
    }
    void results()
    {
        supply.st.MeterSeen = true;
        window.showResultsView();
    }

    // What the window shows outlives it.
    test::SupplyBench supply{{.ratingV = 60}};
    SpotGrid gridV{false};
    SpotGrid gridC{true};
    RecordingActions actions;
    FrmMain window;
    BenchUi ui{window};
};

} // namespace

TEST(FullWindow, ControlsFollowTheWizardAndOnlyStopActsWhileAPageRuns)
{
    FullWindow w;
    w.ui.full().windowCaption = "Calibration 60V/3.3A (Equipment HP-34401A) V1.0";
    w.ui.full().step = {2, 1, 0};
    w.ui.full().stepVisible = {false, true, true};
    w.ui.full().backEnabled = true;
    w.window.uiChanged();
    EXPECT_EQ(w.window.windowTitle(), "Calibration 60V/3.3A (Equipment HP-34401A) V1.0");
    EXPECT_FALSE(w.window.isMaximized());
    EXPECT_FALSE(w.steps().stepBox(0)->isVisible());
    EXPECT_TRUE(w.steps().stepBox(1)->isChecked());
    EXPECT_EQ(w.view().headerFrame()->box(1)->text(), "HP-34401A 6.5DMM SN:US36049566");

    w.steps().wizardButton()->click();
    w.steps().backButton()->click();
    w.steps().stepBox(2)->click();
    w.steps().stepBox(1)->click();
    QTest::keyClicks(w.view().headerFrame()->box(3), "QA");
    w.steps().spotsBox()->setCurrentIndex(3);
    emit w.steps().spotsBox()->activated(3);
    EXPECT_EQ(w.actions.calls, (QStringList{"Command1 1", "Command1 0", "CekPro 2 1", "CekPro 1 0", "TxtH 3 QA-017Q",
                                            "TxtH 3 QA-017QA", "Spots 40"}));
    // The controls keep what the operator gave them, whatever the wizard makes of it.
    EXPECT_EQ(w.ui.full().step[2], 1);
    EXPECT_EQ(w.ui.full().header[3], "QA-017QA");
    EXPECT_EQ(w.supply.st.SpotCount, 40);
    w.steps().certificateBox()->click();
    EXPECT_TRUE(w.supply.st.Certificate);

    w.ui.full().pageRunning = true;
    w.ui.setCaption("Stop");
    w.window.uiChanged();
    EXPECT_TRUE(w.steps().wizardButton()->isEnabled());
    for (QWidget* locked :
         std::initializer_list<QWidget*>{w.steps().backButton(), w.steps().stepBox(1), w.steps().onlyReadBox(),
                                         w.steps().spotsBox(), w.steps().printButton(), w.steps().certificateBox(),
                                         w.view().headerFrame()->box(0), w.view().portBox(true)})
        EXPECT_FALSE(locked->isEnabled()) << locked->objectName().toStdString();
    // No typing and no set point while the page drives the supply.
    w.grid().setCurrentIndex(w.grid().model()->index(2, SpotGrid::OutputColumn));
    QTest::keyClicks(&w.grid(), "12");
    EXPECT_EQ(w.gridV.text(4, SpotGrid::OutputColumn), "");
    const qsizetype sent = w.supply.model.frames().size();
    QTest::mouseDClick(w.grid().viewport(), Qt::LeftButton, {}, w.cellCentre(3, SpotGrid::SettingColumn));
    EXPECT_EQ(w.supply.model.frames().size(), sent);

    // The verdict of the passes that ran over all their spots.
    w.ui.full().pageRunning = false;
    w.ui.full().passDone = {true, false};
    w.supply.st.VoltPass = true;
    w.window.uiChanged();
    EXPECT_EQ(w.steps().verdictLabel()->text(), "V PASS");
    w.ui.full().passDone = {true, true};
    w.window.uiChanged();
    EXPECT_EQ(w.steps().verdictLabel()->text(), "FAIL");
}

TEST(FullWindow, AnOutputIsTypedAndJudgedAndASettingIsSentOnADoubleClick)
{
    FullWindow w;
    w.results();
    ASSERT_TRUE(w.grid().isVisible());
    w.gridV.spot(13)->display = 12.0;
    w.grid().setFocus();
    w.grid().setCurrentIndex(w.grid().model()->index(11, SpotGrid::OutputColumn));
    QTest::keyClicks(&w.grid(), "12.1x");
    QTest::keyClick(&w.grid(), Qt::Key_Return);
    QTest::keyClick(&w.grid(), Qt::Key_Escape);
    EXPECT_EQ(w.gridV.text(13, SpotGrid::OutputColumn), "12.10");
    QTest::keyClick(&w.grid(), Qt::Key_Down);
    EXPECT_EQ(w.gridV.text(13, SpotGrid::OutputColumn), "12.10");
    EXPECT_EQ(w.gridV.spot(13)->outputCheck, Verdict::Pass);
    EXPECT_EQ(w.grid().model()->index(11, 3).data(Qt::ForegroundRole).value<QColor>(), spots::PassColor);

    QTest::mouseDClick(w.grid().viewport(), Qt::LeftButton, {}, w.cellCentre(3, SpotGrid::SettingColumn));
    QTest::mouseDClick(w.grid(true).viewport(), Qt::LeftButton, {}, w.cellCentre(3, SpotGrid::SettingColumn, true));
    QTest::mouseDClick(w.grid().viewport(), Qt::LeftButton, {}, w.cellCentre(3, SpotGrid::DisplayColumn));
    EXPECT_EQ(w.supply.framesSince(0), (QStringList{"VOLT00072", "CURR00050"}));
}

TEST(FullWindow, AChartDoubleClickShowsItAloneAndTheNextBringsBothBack)
{
    FullWindow w;
    w.results();
    ChartPanelWidget& volt = *w.view().chart(false);
    ChartPanelWidget& curr = *w.view().chart(true);
    ASSERT_TRUE(volt.isVisible() && curr.isVisible() && w.steps().isVisible());
    const int columnLeft = volt.x();

    QTest::mouseDClick(volt.surface(), Qt::LeftButton);
    EXPECT_EQ(w.supply.st.PanelMode, 0);
    EXPECT_LT(volt.x(), columnLeft);
    EXPECT_FALSE(curr.isVisible() || w.grid().isVisible() || w.steps().isVisible() ||
                 w.view().headerFrame()->isVisible());
    QTest::mouseDClick(volt.surface(), Qt::LeftButton);
    EXPECT_EQ(w.supply.st.PanelMode, 2);
    EXPECT_TRUE(curr.isVisible() && w.grid().isVisible() && w.view().headerFrame()->isVisible());
    QTest::mouseDClick(curr.surface(), Qt::LeftButton);
    EXPECT_EQ(w.supply.st.PanelMode, 1);
    EXPECT_FALSE(volt.isVisible());

    // Bounds typed with a decimal comma are read and written back normalised.
    volt.boundBox(0)->setText("1,5");
    QTest::keyClick(volt.boundBox(0), Qt::Key_Return);
    EXPECT_EQ(volt.boundBox(0)->text(), "1.5V");
}

// The humidity sits on the temperature's line and takes digits only; a refusal offers Cancel alone.
TEST(FullWindow, HumidityBesideTheTemperatureAndARefusalWithCancelOnly)
{
    FullWindow w;
    QLineEdit* humidity = w.view().headerFrame()->humidityBox();
    EXPECT_EQ(humidity->mapTo(&w.window, QPoint()).y(), w.view().headerFrame()->box(2)->mapTo(&w.window, QPoint()).y());
    QTest::keyClicks(humidity, "4x5");
    EXPECT_EQ(w.actions.calls, (QStringList{"TxtH 5 4", "TxtH 5 45"}));

    QStringList buttons;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) {
                for (QAbstractButton* b : box->buttons())
                    buttons << b->text();
                box->reject();
            }
    });
    w.window.refuse("Reference overdue");
    EXPECT_EQ(buttons, QStringList{"Cancel"});
}
