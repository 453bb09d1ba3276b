#include "spots/SpotGrid.h"
#include "spots/Band.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace psucal;

namespace {
QStringList Settings(const SpotGrid& g)
{
    QStringList s;
    for (int r = SpotGrid::FirstSpotRow; r < g.rowCount(); ++r)
        s << g.text(r, SpotGrid::SettingColumn);
    return s;
}
} // namespace

TEST(SpotGrid, SettingsFollowTheRatingInSinglePrecision)
{
    SpotGrid v;
    v.BuildVoltageSpots(20, SpotGrid::VoltageSpotStep(60.0f, 20), 60.0f);
    const QStringList v60 = Settings(v);
    ASSERT_EQ(v60.size(), 20);
    EXPECT_EQ(v60.mid(0, 3), (QStringList{"1.0", "4.1", "7.2"}));
    EXPECT_EQ(v60.last(), "60.0");
    EXPECT_EQ(v.text(21, SpotGrid::StepColumn), "20");

    v.BuildVoltageSpots(20, SpotGrid::VoltageSpotStep(20.0f, 20), 20.0f);
    EXPECT_EQ(Settings(v).mid(0, 3), (QStringList{"1.0", "2.0", "3.0"}));
    EXPECT_EQ(Settings(v).last(), "20.0");

    SpotGrid c(true);
    c.BuildCurrentSpots(20, SpotGrid::CurrentSpotStep(3.3f, 20), 3.3f);
    EXPECT_EQ(Settings(c).mid(0, 4), (QStringList{"0.17", "0.33", "0.50", "0.66"}));
    EXPECT_EQ(Settings(c).last(), "3.30");

    c.BuildCurrentSpots(20, SpotGrid::CurrentSpotStep(10.0f, 20), 10.0f);
    EXPECT_EQ(Settings(c).mid(18), (QStringList{"9.50", "9.99"}));

    c.BuildCurrentSpots(5, SpotGrid::CurrentSpotStep(5.0f, 5), 5.0f);
    EXPECT_EQ(Settings(c), (QStringList{"1.00", "2.00", "3.00", "4.00", "5.00"}));
}

TEST(SpotGrid, RebuildingAndClearingLeaveNoResultsBehind)
{
    SpotGrid g;
    g.writeHeaders();
    g.BuildVoltageSpots(5, SpotGrid::VoltageSpotStep(40.0f, 5), 40.0f);
    SpotResult& s = *g.spot(2);
    s.display = 1.02;
    s.mean = 1.01;
    s.readings = {{"+1.01000000E+00\r\n", 1.01}};
    g.setEntry(3, QStringLiteral("5."));
    ASSERT_TRUE(g.judgeOutput(2));
    g.clearResults();
    EXPECT_EQ(g.text(2, SpotGrid::OutputColumn), "");
    EXPECT_FALSE(g.color(2, SpotGrid::OutputColumn).isValid());
    EXPECT_TRUE(g.spot(2)->readings.isEmpty());
    EXPECT_EQ(g.text(3, SpotGrid::OutputColumn), "");
    EXPECT_EQ(g.text(2, SpotGrid::SettingColumn), "1.0");
    g.spot(3)->display = 5.0;
    g.BuildVoltageSpots(5, SpotGrid::VoltageSpotStep(40.0f, 5), 40.0f);
    EXPECT_EQ(g.text(3, SpotGrid::DisplayColumn), "");
    EXPECT_EQ(g.text(1, SpotGrid::SettingColumn), "Setting");

    // Past the last row reads as nothing.
    EXPECT_EQ(g.text(99, SpotGrid::OutputColumn), "");
    EXPECT_EQ(g.text(-1, 0), "");
    EXPECT_EQ(g.spot(99), nullptr);
    EXPECT_EQ(g.spot(1), nullptr);
    EXPECT_FALSE(g.judgeOutput(99));
}

// The cells are views of the values: full-precision values show at the column's resolution,
// the verdicts as colours.
TEST(SpotGrid, CellsShowTheValuesInTheirFormats)
{
    SpotGrid c(true);
    c.BuildCurrentSpots(5, SpotGrid::CurrentSpotStep(5.0f, 5), 5.0f);
    SpotResult& s = *c.spot(3);
    s.display = 2.0045;
    s.mean = -0.0004; // never "-0.000"
    s.displayCheck = Verdict::Fail;
    s.outputCheck = Verdict::Pass;
    EXPECT_EQ(c.text(3, SpotGrid::StepColumn), "2");
    EXPECT_EQ(c.text(3, SpotGrid::SettingColumn), "2.00");
    EXPECT_EQ(c.text(3, SpotGrid::DisplayColumn), "2.005");
    EXPECT_EQ(c.text(3, SpotGrid::OutputColumn), "0.000");
    EXPECT_EQ(c.color(3, SpotGrid::DisplayColumn), spots::FailColor);
    EXPECT_EQ(c.color(3, SpotGrid::OutputColumn), spots::PassColor);
    EXPECT_FALSE(c.color(3, SpotGrid::SettingColumn).isValid());
    EXPECT_EQ(c.text(0, SpotGrid::OutputColumn), "Current (A)");
    // An entry being typed shows instead of the output, and is no output yet.
    c.setEntry(3, QStringLiteral("1."));
    EXPECT_EQ(c.text(3, SpotGrid::OutputColumn), "1.");
    EXPECT_DOUBLE_EQ(*c.spot(3)->mean, -0.0004);
}

TEST(SpotGrid, JudgingUsesWholeDisplayUnitsWithInclusiveLimits)
{
    SpotGrid v;
    v.BuildVoltageSpots(20, SpotGrid::VoltageSpotStep(20.0f, 20), 20.0f);
    const int row = 13; // setting 12.0
    SpotResult& s = *v.spot(row);
    s.display = 12.0;
    for (const auto& [output, passes] :
         {std::pair{11.86, true}, {12.14, true}, {12.15, false}, {11.85, false}, {12.144, true}}) {
        s.mean = output;
        ASSERT_TRUE(v.judgeOutput(row));
        EXPECT_EQ(s.outputCheck, passes ? Verdict::Pass : Verdict::Fail) << output;
    }
    // Without a display the output is judged against the band at 0.
    s.display.reset();
    s.mean = 0.05;
    v.judgeOutput(row);
    EXPECT_EQ(s.outputCheck, Verdict::Pass);
    s.mean.reset();
    EXPECT_FALSE(v.judgeOutput(row));

    // Display window 0.00 .. 0.10 above the setting, both ends included.
    for (const auto& [display, passes] : {std::pair{12.00, true}, {12.10, true}, {12.11, false}, {11.99, false}})
        EXPECT_EQ(spots::DisplayWithinWindow(false, 12.0, display, 0.0, 0.10), passes) << display;
    // The band narrows above 5 V (0.5 A) and stays finite at a display of 0.
    EXPECT_TRUE(spots::OutputWithinBand(false, 5.00, 5.10));
    EXPECT_FALSE(spots::OutputWithinBand(false, 5.01, 5.09));
    EXPECT_TRUE(spots::OutputWithinBand(true, 1.000, 0.988));
    EXPECT_FALSE(spots::OutputWithinBand(true, 1.000, 1.013));
    EXPECT_TRUE(spots::OutputWithinBand(true, 0.100, 0.105));
    EXPECT_FALSE(spots::OutputWithinBand(true, 0.100, 0.107));
    EXPECT_DOUBLE_EQ(spots::VoltageBand(0.0), 0.05);
    EXPECT_TRUE(spots::OutputWithinBand(false, 0.0, 0.05));
    EXPECT_FALSE(spots::OutputWithinBand(false, 1.0, std::numeric_limits<double>::infinity()));
}
