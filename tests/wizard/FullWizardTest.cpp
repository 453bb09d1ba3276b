#include "terminal/FullBatch.h"
#include "tests/support/VirtualSession.h"
#include "spots/Band.h"
#include "tests/support/QtPrinters.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace psucal;
using namespace psucal::test;

namespace {

using Steps = std::array<int, 3>;

struct FullHost : RecordingHost {
    void showResultsView() override { ++resultsViews; }
    int resultsViews = 0;
};

sim::SupplyConfig Unit(int ratingV, sim::Terminals terminals = sim::Terminals::Auto)
{
    sim::SupplyConfig c;
    c.ratingV = ratingV;
    c.seed = 5;
    c.serial = QStringLiteral("FW%1").arg(ratingV);
    c.terminals = terminals;
    return c;
}

// Rows of the grid whose output passed, and whose Display and Output are both written.
int Passed(const SpotGrid& g)
{
    int n = 0;
    for (int r = SpotGrid::FirstSpotRow; r < g.rowCount(); ++r)
        n += g.spot(r)->display && g.spot(r)->outputCheck == Verdict::Pass;
    return n;
}

bool Empty(const SpotGrid& g)
{
    for (int r = SpotGrid::FirstSpotRow; r < g.rowCount(); ++r)
        if (!g.text(r, 2).isEmpty() || !g.text(r, 3).isEmpty() || g.color(r, 3).isValid())
            return false;
    return g.spotCount() > 0;
}

} // namespace

TEST(FullWizard, RunModeOneVerifiesBothStepsSaysPassAndFulfillStartsClean)
{
    FullHost host;
    VirtualSession b(host, Unit(60));
    b.loadFull(1);
    const FullWindowUi& f = b.ui.full();
    EXPECT_EQ(f.windowCaption, "Calibration 60V/3.3A (Equipment HP-34401A) V1.0");
    EXPECT_EQ(b.ui.status(2), "Will original base data write into QRB");
    EXPECT_EQ(b.ui.caption(), "Next   >");
    EXPECT_EQ(f.step, (Steps{2, 0, 0}));
    EXPECT_FALSE(f.stepVisible[0] || f.onlyReadEnabled || f.smallCalEnabled);
    EXPECT_TRUE(b.st.OnlyRead);
    EXPECT_EQ(f.modelEntries.first(), "QRB-1100");
    EXPECT_EQ(f.voltAxis, (std::array<QString, 2>{"3.0V", "60.0V"}));
    EXPECT_EQ(f.currAxis, (std::array<QString, 2>{"0.17A", "3.30A"}));

    int n = b.model.frames().size();
    b.full.Command1_Click(1);
    QStringList sent = b.framesSince(n);
    EXPECT_TRUE(sent.filter("SEEP").isEmpty());                             // run mode 1 only reads
    EXPECT_TRUE(sent.contains("VOLT00072") && !sent.contains("VOLT00071")); // 7.2 V rounded, not cut
    EXPECT_EQ(sent.last(), "VOLT00050"); // 5 V before the operator shorts the terminals
    EXPECT_EQ(b.meterLines().mid(0, 4), (QStringList{":SYST:REM", "*IDN?", ":CONF:VOLT:DC 60,0.01", ":READ?"}));
    EXPECT_EQ(b.meterLines().count(":READ?"), 1 + 5 * 19); // five a spot once the meter was seen
    EXPECT_EQ(b.meterLines().last(), ":SYST:LOCal");
    EXPECT_EQ(Passed(b.FGridV), 20);
    EXPECT_TRUE(b.st.VoltPass && b.st.MeterSeen && !b.st.AllPass);
    EXPECT_FALSE(f.printEnabled); // not before both passes
    EXPECT_EQ(host.resultsViews, 1);
    EXPECT_EQ(f.step, (Steps{2, 2, 0}));
    EXPECT_EQ(b.ui.caption(), "Next   >");
    EXPECT_EQ(b.ui.status(2), "Verify Current (Output terminals must be short)");
    EXPECT_TRUE(host.messages.isEmpty()) << host.messages.join('|').toStdString();

    n = b.model.frames().size();
    b.full.Command1_Click(1);
    sent = b.framesSince(n);
    EXPECT_TRUE(sent.contains("CURR00017") && sent.contains("CURR00330"));
    EXPECT_EQ(Passed(b.FGridC), 20);
    EXPECT_EQ(b.FGridC.text(2, 3).size(), 5); // "0.165": amperes with three decimals
    EXPECT_TRUE(b.st.CurrPass && b.st.AllPass && f.printEnabled);
    EXPECT_EQ(b.ui.caption(), "Fulfill");
    EXPECT_EQ(f.step, (Steps{2, 2, 2}));

    // The next unit starts with nothing of this one: results, flags, backup state.
    b.st.BackupWritten = true;
    n = b.model.frames().size();
    b.full.Command1_Click(1);
    EXPECT_EQ(b.framesSince(n), (QStringList{"GMAX00", "GEEP00"}));
    EXPECT_TRUE(Empty(b.FGridV) && Empty(b.FGridC));
    EXPECT_FALSE(b.st.VoltPass || b.st.CurrPass || b.st.AllPass || b.st.BackupWritten || f.printEnabled);
    EXPECT_EQ(f.step, (Steps{2, 0, 0}));
    EXPECT_EQ(b.ui.caption(), "Next   >");
    EXPECT_FALSE(f.backEnabled);
}

TEST(FullWizard, SilentOrFailingMeterFailsThePass)
{
    for (const bool silent : {true, false}) {
        FullHost host;
        VirtualSession b(host, Unit(20));
        // Or the first reading is right and every later one 0 V, which is no reading either.
        ASSERT_TRUE(b.bench.meter.addFault(silent ? "READ?:silence" : "READ?:zero:from=2"));
        b.loadFull(1);
        b.full.Command1_Click(1);
        EXPECT_FALSE(b.st.VoltPass) << silent;
        EXPECT_EQ(b.ui.full().step[1], 2); // measured to the end, though not passed
        for (int r = SpotGrid::FirstSpotRow; r < b.FGridV.rowCount(); ++r) {
            EXPECT_FALSE(b.FGridV.text(r, 2).isEmpty());
            EXPECT_EQ(b.FGridV.text(r, 3).isEmpty(), silent || r > SpotGrid::FirstSpotRow);
        }
        EXPECT_EQ(Passed(b.FGridV), silent ? 0 : 1);
        EXPECT_EQ(b.st.MeterSeen, !silent);
        EXPECT_EQ(host.resultsViews, silent ? 0 : 1);
    }
}

// Only "Stop" acts while a page runs: other clicks made inside its waits change nothing.
TEST(FullWizard, StopEndsThePassAndNothingElseActsUntilThePageHasUnwound)
{
    VirtualSession b(Unit(40));
    b.loadFull(1);
    const double at = b.clock.now() + 8.0;
    bool running = false;
    b.clock.schedule(at, [&] {
        running = b.ui.full().pageRunning;
        b.full.CmbSpots_Click(10);
        b.full.CekPro_Click(2, 2);
        b.full.Command1_Click(1); // "Stop"
        b.full.Command1_Click(1); // "Next   >" again, while the page still unwinds
    });
    b.full.Command1_Click(1);
    EXPECT_TRUE(running);
    EXPECT_EQ(b.st.SpotCount, 20);
    EXPECT_EQ(b.FGridV.spotCount(), 20);
    EXPECT_EQ(b.meterLines().count(":SYST:REM"), 1);
    EXPECT_FALSE(b.st.VoltPass);
    EXPECT_FALSE(b.ui.full().pageRunning);
    EXPECT_EQ(b.ui.full().step, (Steps{2, 0, 0}));
    EXPECT_EQ(b.ui.caption(), "Next   >");
    EXPECT_LT(b.model.frames().filter("VOLT").size(), 20);
}

TEST(FullWizard, NoValidRatingAtThePassFailsIt)
{
    VirtualSession b(Unit(60));
    b.loadFull(1);
    ASSERT_TRUE(b.model.faults().add("GMAX:nondigits"));
    b.full.Command1_Click(1);
    EXPECT_EQ(b.recorder.messages.size(), 2);
    EXPECT_TRUE(b.recorder.messages.value(0).contains("60V/3.3A expected, no valid rating found"));
    EXPECT_EQ(b.recorder.messages.value(1), "Cal.V failed !");
    EXPECT_FALSE(b.meterLines().contains(":READ?"));
    EXPECT_FALSE(b.st.VoltPass);
    EXPECT_EQ(b.ui.full().step[1], 0);
}

// A "GETD" without "OK" gives that spot no display: it fails instead of borrowing another's.
TEST(FullWizard, CurrentSpotWithoutDisplayStaysEmptyAndFails)
{
    VirtualSession b(Unit(40));
    b.loadFull(1);
    b.full.CekPro_Click(1, 2); // straight to the current step
    // The first display read waits for the output to settle; the fourth is spot 3's.
    b.st.Retries = 0;
    ASSERT_TRUE(b.model.faults().add("GETD:garbage:nth=4"));
    b.full.Command1_Click(1);
    const SpotResult& spot = *b.FGridC.spot(4);
    EXPECT_FALSE(spot.display);
    EXPECT_EQ(spot.displayCheck, Verdict::NotMeasured);
    EXPECT_EQ(spot.outputCheck, Verdict::Fail);
    // The meter's answers stay as it sent them: shunt volts, five of them once it has been seen.
    ASSERT_TRUE(spot.mean);
    ASSERT_EQ(spot.readings.size(), 5);
    EXPECT_TRUE(spot.readings[0].sent.endsWith('\n'));
    EXPECT_NEAR(spot.readings[0].value * 1000, *spot.mean, 0.002);
    EXPECT_EQ(spot.function, "VOLT:DC");
    EXPECT_EQ(spot.rangeV, 1.0);
    EXPECT_EQ(Passed(b.FGridC), 19);
    EXPECT_FALSE(b.st.CurrPass);
    EXPECT_EQ(b.ui.caption(), "Fulfill");
}

TEST(FullWizard, OpenTerminalsInTheCurrentStepAreToldInAMessageBox)
{
    VirtualSession b(Unit(20, sim::Terminals::Open));
    b.loadFull(2);
    b.full.CekPro_Click(1, 2);
    b.full.Command1_Click(1);
    EXPECT_EQ(b.recorder.messages, QStringList{"Output terminals must be short circuited to recalibrate current."});
    EXPECT_EQ(b.ui.caption(), "Next   >");
    EXPECT_EQ(b.ui.full().step[2], 0);
    EXPECT_TRUE(b.model.frames().filter("SEEP").isEmpty());
    EXPECT_FALSE(b.meterLines().contains(":READ?"));
}

TEST(FullWizard, StepBoxesBackAndDefineInRunModeZero)
{
    VirtualSession b(Unit(40));
    b.loadFull(0);
    const FullWindowUi& f = b.ui.full();
    EXPECT_EQ(f.step, (Steps{0, 0, 0}));
    EXPECT_TRUE(f.stepVisible[0] && f.onlyReadEnabled);

    // Define: the serial number of the box, then the model's base data, after the as-found backup.
    b.full.TxtH_Change(4, "SN123456");
    const int n = b.model.frames().size();
    b.full.Command1_Click(1);
    const QStringList seep = b.framesSince(n).filter("SEEP");
    ASSERT_EQ(seep.size(), 4 + 7);
    EXPECT_EQ(seep.first(), "SEEP00156534>3132");
    EXPECT_EQ(seep.last(), "SEEP0000701920000");
    EXPECT_EQ(b.st.SerialNo, "SN123456");
    EXPECT_EQ(QDir(b.dir.filePath("backups")).entryList({"FW40_*.txt"}).size(), 1);
    EXPECT_EQ(f.step, (Steps{2, 0, 0}));
    EXPECT_TRUE(f.backEnabled);

    b.full.Command1_Click(0);
    EXPECT_EQ(f.step, (Steps{0, 0, 0}));
    EXPECT_EQ(b.ui.status(2), "Will original base data write into QRB");
    EXPECT_FALSE(f.backEnabled);

    b.full.CmbModel_Click(-1);
    b.full.Command1_Click(1);
    EXPECT_EQ(b.recorder.messages, QStringList{"Plese select ' Max Output V & I ' ."});
    EXPECT_EQ(b.ui.caption(), "Next   >");

    b.full.TxtH_Change(2, "25.7 C");
    EXPECT_EQ(b.st.AmbientTemp, "25");
    b.full.TxtH_Change(2, "-3.5");
    EXPECT_EQ(b.st.AmbientTemp, "-4");
}

TEST(FullWizard, RunModeTwoClearsTheHeaderBoxesAndLocksTheModel)
{
    VirtualSession b(Unit(40));
    b.loadFull(2);
    const FullWindowUi& f = b.ui.full();
    EXPECT_TRUE(f.header[0].isEmpty() && f.header[3].isEmpty());
    EXPECT_EQ(f.header[1], "HP-34401A 6.5DMM SN:US36049566");
    EXPECT_EQ(b.st.EquipmentText, f.header[1]);
    EXPECT_FALSE(f.modelEnabled || f.serialBoxEnabled);
    b.full.CmbModel_Click(0);
    EXPECT_EQ(b.ui.model(), 1);
    EXPECT_EQ(b.ui.status(2), "Calibration Voltage (Output voltage must is off)");
    // The humidity box keeps whole percent from 0 to 100; no number is no humidity.
    for (const auto& [typed, kept] : {std::pair{"45.5 %", "46"}, {"450", "100"}, {"rh", ""}}) {
        b.full.TxtH_Change(FullWindowActions::HumidityBox, typed);
        EXPECT_TRUE(b.st.Humidity == kept && f.humidity == kept) << typed;
    }
}

TEST(FullBatch, GridLinesMarkEveryJudgedCell)
{
    SpotGrid g;
    g.writeHeaders();
    g.BuildVoltageSpots(2, 1.0f, 2.0f);
    SpotResult& s = *g.spot(2);
    s.display = 1.01;
    s.displayCheck = Verdict::Pass;
    s.displayLimits = {1.0, 1.1, std::nullopt};
    s.mean = 1.2;
    s.outputCheck = Verdict::Fail;
    SpotResult& t = *g.spot(3);
    t.display = 1.91;
    t.displayCheck = Verdict::Fail;
    t.displayLimits = {2.0, 2.1, std::nullopt};
    t.mean = 1.92;
    t.outputCheck = Verdict::ConditionalPass;
    EXPECT_EQ(SpotGridText(g), "Voltage (V)\n"
                               "Step  Setting  Display         Output\n"
                               "   1      1.0     1.01 ok        1.20 FAIL\n"
                               "   2      2.0     1.91 low       1.92 pass*\n"
                               "Display: high/low/ok against its window, for information; Output: pass/FAIL decides.\n");
}

// Each pass asks the meter who it is once it is under remote control, and says what it heard. The
// guarded rule gives every judged check its limits and U; a plain run, or a meter whose accuracy is
// not known, leaves the figures as they were.
TEST(FullWizard, EachPassIdentifiesTheMeterAndTheGuardedRuleStatesUncertainties)
{
    const QString known = "Meter HEWLETT-PACKARD,34401A,0,11-5-2";
    for (const auto& [guard, fault, note] : std::initializer_list<std::tuple<bool, const char*, QString>>{
             {false, nullptr, known},
             {true, nullptr, known},
             {true, "*IDN?:nondigits",
              "Meter HEWLETT-PACKARD,deeabA,a,bb-f-c: the accuracy of model deeabA is not known, no uncertainties"}}) {
        SCOPED_TRACE(note.toStdString());
        FullHost host;
        VirtualSession b(host, Unit(40));
        ASSERT_TRUE(!fault || b.bench.meter.addFault(fault));
        b.loadFull(1);
        b.st.GuardRule = guard;
        b.full.Command1_Click(1);
        EXPECT_EQ(b.meterLines().mid(0, 3), (QStringList{":SYST:REM", "*IDN?", ":CONF:VOLT:DC 40,0.01"}));
        EXPECT_EQ(host.notes, QStringList{note});
        const SpotResult& s = *b.FGridV.spot(SpotGrid::FirstSpotRow + 9);
        ASSERT_TRUE(s.display && s.mean);
        EXPECT_NEAR(s.outputLimits.upper - s.outputLimits.lower, 2 * spots::VoltageBand(*s.display), 1e-9);
        EXPECT_NEAR(s.displayLimits.lower, s.setting + b.st.RigorDnV - b.st.RigorOffsetV, 1e-9);
        EXPECT_EQ(s.outputLimits.U.has_value(), guard && !fault);
        if (guard && !fault) {
            // 100 V range, 0.01 V resolution: about 6 mV, and the scatter of the readings on top.
            EXPECT_GT(*s.outputLimits.U, 0.0062);
            EXPECT_LT(*s.outputLimits.U, 0.0200);
            // The display check reads no meter: its 0.01 V step is its whole budget.
            EXPECT_NEAR(*s.displayLimits.U, 2 * 0.01 / std::sqrt(12.0), 1e-12);
        }
        EXPECT_EQ(Passed(b.FGridV), 20);
    }
}

// A reference past its due date: "Next" is refused with Cancel alone and the unit hears nothing.
// Allowed, the step runs and the unit's run counts as made with an overdue reference. A reference
// due today is still in date.
TEST(FullWizard, AnOverdueReferenceRefusesEveryPageUnlessAllowed)
{
    const QDate today = QDate::currentDate();
    FullHost host;
    VirtualSession b(host, Unit(40));
    b.loadFull(2);
    b.st.MeterCalDue = today;
    b.st.ShuntId = "SH-1";
    b.st.ShuntCalDue = today.addDays(-1);
    const QString shunt = "the shunt SH-1 (due " + today.addDays(-1).toString("yyyy-MM-dd") + ")";
    const int n = b.model.frames().size();
    b.full.Command1_Click(1);
    EXPECT_TRUE(b.framesSince(n).isEmpty() && b.meterLines().isEmpty());
    EXPECT_TRUE(host.refusals.value(0).startsWith("Reference overdue for calibration: " + shunt + ". Nothing"));
    EXPECT_TRUE(b.ui.caption() == "Next   >" && b.ui.full().step == (Steps{2, 0, 0}));

    b.st.AllowOverdue = true;
    b.full.Command1_Click(1);
    EXPECT_TRUE(b.ui.full().step == (Steps{2, 2, 0}) && b.st.ReferenceOverdue && host.refusals.size() == 1);
    EXPECT_EQ(host.notes.value(0), "Reference overdue, run as allowed: " + shunt);
}

// As found: a whole pass over the unit as it arrived, kept aside, then the adjustment and the pass
// that decides. Run mode 1 adjusts nothing and verifies once.
TEST(FullWizard, AsFoundVerifiesBeforeTheAdjustmentAndKeepsThoseResults)
{
    for (const int mode : {2, 1}) {
        SCOPED_TRACE(mode);
        VirtualSession b(Unit(40));
        b.loadFull(mode);
        b.st.AsFound = true;
        int shown = 0;
        b.full.setAsFoundShown([&](bool current) {
            EXPECT_FALSE(current);
            EXPECT_EQ(Passed(b.FGridV), 20); // still in the grid when shown
            ++shown;
        });
        const int n = b.model.frames().size();
        b.full.Command1_Click(1);
        const QStringList sent = b.framesSince(n);
        const int passes = mode == 2 ? 2 : 1;
        EXPECT_EQ(shown, passes - 1);
        EXPECT_EQ(b.meterLines().count(":CONF:VOLT:DC 40,0.01"), passes);
        EXPECT_EQ(b.meterLines().count(":READ?"), 1 + 5 * 19 + 5 * 20 * (passes - 1));
        EXPECT_EQ(sent.filter("SEEP").isEmpty(), mode == 1);
        EXPECT_EQ(b.full.asFound(false).size(), mode == 2 ? 20 : 0);
        if (mode == 2) {
            // The as-found pass ran before the first cell was written.
            ASSERT_GE(sent.indexOf("VOLT00400"), 0);
            EXPECT_LT(sent.indexOf("VOLT00400"), sent.indexOf(sent.filter("SEEP").first()));
            EXPECT_TRUE(b.full.asFound(false).last().mean.has_value());
        }
        EXPECT_TRUE(b.st.VoltPass);
        EXPECT_EQ(b.ui.full().step[1], 2);
    }
    // An adjustment that fails after a passing as-found pass leaves the unit not passed.
    VirtualSession b(Unit(40));
    b.loadFull(2);
    b.st.AsFound = true;
    ASSERT_TRUE(b.model.faults().add("GEEP:flipnibble"));
    b.full.Command1_Click(1);
    EXPECT_EQ(b.full.asFound(false).size(), 20);
    EXPECT_EQ(b.st.FailText, "Cal.V failed !");
    EXPECT_FALSE(b.st.VoltPass || b.st.AllPass);
}

// This unit's display reads a few steps off: at 1 A the meter finds it inside the guard band, and
// the adjustment changes what the meter finds against the display.
TEST(FullWizard, ADisplayErrorLandsASpotInTheGuardBand)
{
    sim::SupplyConfig c = Unit(40);
    c.seed = 12;
    VirtualSession b(c);
    b.loadFull(2);
    b.st.GuardRule = b.st.AsFound = true;
    b.full.CekPro_Click(1, 2);
    b.full.Command1_Click(1);
    const SpotResult& at1A = *b.FGridC.spot(SpotGrid::FirstSpotRow + 3);
    EXPECT_EQ(at1A.setting, 1.0);
    EXPECT_EQ(at1A.outputCheck, Verdict::ConditionalPass);
    const SpotResult& found = b.full.asFound(true).at(3);
    EXPECT_NE(found.mean.value_or(0) - found.display.value_or(0), at1A.mean.value_or(0) - at1A.display.value_or(0));
}
