#include "tests/support/VirtualSession.h"

#include <gtest/gtest.h>

using namespace psucal;
using namespace psucal::test;

namespace {

sim::SupplyConfig Unit(int ratingV, quint32 seed = 7)
{
    sim::SupplyConfig c;
    c.ratingV = ratingV;
    c.seed = seed;
    c.serial = QStringLiteral("SN%1").arg(ratingV);
    c.terminals = sim::Terminals::Auto;
    return c;
}

QVector<TextRun> Runs(std::initializer_list<TextRun> runs)
{
    return QVector<TextRun>(runs);
}

} // namespace

TEST(Wizard, StartUpIdentifiesTheSupplyAndOffersStart)
{
    VirtualSession b(Unit(40));
    b.load();

    EXPECT_EQ(b.model.frames(), (QStringList{"SESS00", "GMAX00", "GEEP00"}));
    EXPECT_EQ(b.ui.caption(), "START  >");
    EXPECT_EQ(b.ui.status(1), "Connected power supply rating");
    EXPECT_EQ(b.ui.status(2), "40V/5A");
    EXPECT_EQ(b.ui.model(), 1);
    EXPECT_DOUBLE_EQ(b.st.MaxI, 5.0);
    EXPECT_EQ(b.st.RatingText, "40V/5A");
    EXPECT_EQ(b.st.SerialNo, "SN40");
    EXPECT_EQ(b.ui.serialBox(), "SN40");
    EXPECT_EQ(b.wizard.gridC().text(0, 1), "Current (A)");

    // 100 twips a character: the title is centred in the 5545-twip area, rounded to a twip.
    const int title = static_cast<int>(QString("Voltage Recalibration").size()) * 100;
    EXPECT_EQ(b.ui.pcRuns(),
              Runs({{(5545 - title + 1) / 2, 100, "Voltage Recalibration", FontStyle::BoldUnderline},
                    {200, 640, "Check Power Supply Ratings are same as shown at the", FontStyle::Regular},
                    {200, 940, "bottom bar.", FontStyle::Regular},
                    {200, 1240, "Click  ", FontStyle::Regular},
                    {900, 1240, "START.", FontStyle::Bold}}));
}

TEST(Wizard, SilentSupplyShowsTheConnectionPageUntilAPortAnswers)
{
    VirtualSession b(Unit(60));
    b.bench.supplyPort.setPresentPorts({"COM4"}); // nothing on COM1
    b.load();

    EXPECT_EQ(b.ui.caption(), "REFRESH");
    EXPECT_EQ(b.ui.status(2), "No Connection");
    EXPECT_DOUBLE_EQ(b.st.MaxI, 3.0);
    EXPECT_EQ(b.ui.serialBox(), ""); // the serial number is not read without a rating
    EXPECT_TRUE(b.model.frames().isEmpty());
    const int x1 = 200 + 34 * 100;
    EXPECT_EQ(b.ui.pcRuns(), Runs({{200, 500, "Check RS-232 Connection.", FontStyle::Regular},
                                   {200, 800, "Select the right COM. Port in the ", FontStyle::Regular},
                                   {x1, 800, "S", FontStyle::BoldUnderline},
                                   {x1 + 100, 800, "etup", FontStyle::Bold},
                                   {x1 + 100 + 500, 800, " drop menu.", FontStyle::Regular}}));

    b.wizard.Command1_Click(); // REFRESH on the same silent port
    EXPECT_EQ(b.ui.caption(), "REFRESH");

    // Choosing the port the supply is on identifies it at once.
    b.wizard.CmbCommPort_Click("COM4");
    EXPECT_EQ(b.model.frames(), (QStringList{"GMAX00", "GEEP00"}));
    EXPECT_EQ(b.ui.status(2), "60V/3.3A");
    EXPECT_EQ(b.ui.serialBox(), "SN60");
}

// Whatever was learnt from the unit on the old port must not reach the next unit's pages,
// serial number or backup.
TEST(Wizard, PortChangeAndRefreshForgetTheUnitAndIdentifyTheNextOne)
{
    VirtualSession b(Unit(40));
    b.bench.supplyPort.setPresentPorts({"COM1"});
    b.load();
    b.wizard.Command1_Click();
    ASSERT_TRUE(b.st.BackupWritten);
    ASSERT_EQ(b.ui.caption(), "NEXT  >");

    b.wizard.CmbCommPort_Click("COM3"); // nothing there
    EXPECT_EQ(b.ui.caption(), "REFRESH");
    EXPECT_TRUE(b.st.SerialNo.isEmpty() && b.st.SerialNoEdit.isEmpty() && b.ui.serialBox().isEmpty());
    EXPECT_TRUE(b.st.AsFoundImage.isEmpty());
    EXPECT_FALSE(b.st.BackupWritten || b.wizard.voltageStepOk());

    // Another unit turns up on COM3; REFRESH identifies it and keeps its image, not the old one.
    sim::SupplyConfig next = Unit(20, 9);
    next.serial = "NEXT20";
    const sim::SupplyModel other(next);
    for (int row = 0; row < sim::Eeprom::Rows; ++row)
        b.model.setRow(row, other.row(row));
    b.bench.supplyPort.setPresentPorts({});
    b.wizard.Command1_Click();
    EXPECT_EQ(b.ui.caption(), "START  >");
    EXPECT_EQ(b.ui.serialBox(), "NEXT20");
    EXPECT_EQ(b.st.AsFoundImage.toLatin1(), other.image());
}

TEST(Wizard, PortSelectorIsLockedWhileTheWizardTalksToTheSupply)
{
    VirtualSession b(Unit(40));
    bool lockedInLoad = false;
    b.clock.scheduleIn(0.05, [&] { lockedInLoad = !b.ui.portSelectable(); });
    b.load();
    EXPECT_TRUE(lockedInLoad);
    EXPECT_TRUE(b.ui.portSelectable());

    bool lockedInStep = false;
    b.clock.scheduleIn(2.0, [&] {
        lockedInStep = !b.ui.portSelectable();
        b.wizard.CmbCommPort_Click("COM3"); // refused: the port stays open under the exchange
    });
    b.wizard.Command1_Click();
    EXPECT_TRUE(lockedInStep);
    EXPECT_EQ(b.bench.supplyPort.portName(), "COM1");
    EXPECT_TRUE(b.wizard.voltageStepOk());
    EXPECT_TRUE(b.ui.portSelectable());
}

TEST(Wizard, UnknownRatingFailsBothStepsWithoutTouchingTheSupply)
{
    for (const char* fault : {"", "GMAX:nondigits"}) {
        VirtualSession b(Unit(*fault ? 40 : 30));
        if (*fault) {
            ASSERT_TRUE(b.model.faults().add(QString::fromLatin1(fault)));
        }
        b.load();
        EXPECT_EQ(b.ui.caption(), "START  >") << fault;
        EXPECT_EQ(b.ui.model(), -1);
        EXPECT_EQ(b.ui.status(2), "Calibration Voltage (Output voltage must is off)");
        const int n = b.model.frames().size();

        b.wizard.Command1_Click();
        EXPECT_FALSE(b.wizard.voltageStepOk());
        EXPECT_TRUE(b.ui.pcText().startsWith("Voltage Recalibration Failed\n"
                                             "Supply rating unknown: nothing was calibrated."));

        b.wizard.Command1_Click();
        EXPECT_EQ(b.ui.caption(), "CLOSE");
        EXPECT_FALSE(b.wizard.currentStepOk());
        EXPECT_EQ(b.ui.pcText(), "Current Recalibration Failed\nSupply rating unknown: nothing was calibrated.\n"
                                 "Click  CLOSE to quit");
        EXPECT_TRUE(b.framesSince(n).isEmpty()) << fault;
    }
}

TEST(Wizard, GoodUnitWalksEveryCaptionToClose)
{
    VirtualSession b(Unit(20));
    b.load();
    EXPECT_EQ(b.ui.caption(), "START  >");

    b.wizard.Command1_Click();
    EXPECT_EQ(b.ui.caption(), "NEXT  >");
    EXPECT_TRUE(b.ui.buttonEnabled() && b.wizard.voltageStepOk());
    EXPECT_EQ(b.ui.pcText(), "Voltage Recalibration Completed\nShort output terminals  FIRST.\n"
                             "Click  NEXT to start Current Recalibration.");
    EXPECT_EQ(b.ui.progressValue(), 0);
    EXPECT_FALSE(b.ui.busy());

    b.wizard.Command1_Click();
    EXPECT_EQ(b.ui.caption(), "CLOSE");
    EXPECT_TRUE(b.wizard.currentStepOk());
    EXPECT_EQ(b.ui.pcText(), "Recalibration completed.\nClick  CLOSE to quit");
    EXPECT_FALSE(b.ui.progressVisible());
    EXPECT_TRUE(b.ui.buttonFocused());

    const int n = b.model.frames().size();
    try {
        b.wizard.Command1_Click();
        FAIL() << "CLOSE must end the program";
    } catch (const Cancelled& e) {
        EXPECT_EQ(e.status(), 0);
    }
    EXPECT_EQ(b.framesSince(n), QStringList{"ENDS00"});
    EXPECT_FALSE(b.st.StopFlag);
}

TEST(Wizard, OpenTerminalsKeepTheWarningAndTheCurrentStepCanBeRepeated)
{
    sim::SupplyConfig cfg = Unit(40);
    cfg.terminals = sim::Terminals::Open;
    VirtualSession b(cfg);
    b.load();
    b.wizard.Command1_Click();
    b.wizard.Command1_Click();

    EXPECT_EQ(b.ui.caption(), "NEXT  >");
    EXPECT_TRUE(b.ui.buttonEnabled() && b.ui.progressVisible());
    EXPECT_TRUE(b.ui.pcText().contains("Warning !"));
    EXPECT_FALSE(b.wizard.currentStepOk());

    b.model.setTerminals(sim::Terminals::Short);
    b.wizard.Command1_Click();
    EXPECT_EQ(b.ui.caption(), "CLOSE");
    EXPECT_TRUE(b.wizard.currentStepOk());
}

TEST(Wizard, FailedStepsSaySoOnTheirPagesAndTheFlowGoesOn)
{
    VirtualSession b(Unit(40));
    b.load();
    ASSERT_TRUE(b.model.faults().add("GETD:silence:from=3"));
    b.wizard.Command1_Click();
    EXPECT_EQ(b.ui.caption(), "NEXT  >");
    EXPECT_FALSE(b.wizard.voltageStepOk());
    EXPECT_TRUE(b.ui.pcText().startsWith("Voltage Recalibration Failed\nCal.V failed !"));
    EXPECT_TRUE(b.ui.pcText().contains("\nShort output terminals  FIRST."));

    // The next click clears the old failure text; this step fails on its own account.
    b.wizard.Command1_Click();
    EXPECT_EQ(b.ui.caption(), "NEXT  >");
    EXPECT_TRUE(b.ui.pcText().startsWith("Current Recalibration Failed\nCal.C failed !"));
}

TEST(Wizard, UnconvergedPointsAreCountedAndNamed)
{
    sim::SupplyConfig cfg = Unit(40);
    cfg.defect = true;
    VirtualSession b(cfg);
    b.load();
    b.wizard.Command1_Click();
    ASSERT_FALSE(b.wizard.voltageUnconverged().isEmpty());
    EXPECT_FALSE(b.wizard.voltageStepOk());
    EXPECT_TRUE(
        b.ui.pcText().contains(QString("%1 point(s) outside the window: ").arg(b.wizard.voltageUnconverged().size())));
    for (const TextRun& r : b.ui.pcRuns()) {
        EXPECT_LE(r.x + b.ui.textWidth(r.text, r.style), 5545) << r.text.toStdString();
    }
}

TEST(Wizard, DesignCaptionAndUnknownCaptionsDoNothing)
{
    VirtualSession b(Unit(40));
    EXPECT_EQ(b.ui.caption(), "Next   >");
    EXPECT_EQ(b.wizard.state(), Wizard::State::Design);
    b.wizard.Command1_Click();
    b.ui.setCaption("Stop");
    EXPECT_EQ(b.wizard.state(), Wizard::State::Other);
    b.wizard.Command1_Click();
    EXPECT_TRUE(b.model.frames().isEmpty());
}
