#include "tests/cal/SimBench.h"

namespace psucal::test {
namespace {

class SimSweep : public ::testing::TestWithParam<std::tuple<int, quint32>> {};

TEST_P(SimSweep, WellBehavedUnitEndsInsideTheWindowEverywhere)
{
    const auto [volts, seed] = GetParam();
    Bench b(Unit(volts, seed));
    const Rating& table = *b.ui.rating();

    b.cal.CalibrateVoltage();
    EXPECT_FALSE(b.st.AbortFlag);
    EXPECT_TRUE(b.st.Unconverged.isEmpty()) << b.st.Unconverged.join(u' ').toStdString();
    EXPECT_EQ(b.ui.progressValue(), table.voltage.progressMax);
    EXPECT_GT(b.model.frames().filter(QStringLiteral("SEEP")).size(), 0); // the unit did need correcting
    EXPECT_TRUE(b.touchedPassedOver(table.voltage).isEmpty());
    EXPECT_EQ(b.outside(cal::VoltageQuantity, table.voltage), QStringList());

    b.cal.CalibrateCurrent();
    EXPECT_FALSE(b.st.AbortFlag);
    EXPECT_TRUE(b.st.Unconverged.isEmpty()) << b.st.Unconverged.join(u' ').toStdString();
    EXPECT_EQ(b.ui.progressValue(), table.current.progressMax);
    EXPECT_TRUE(b.touchedPassedOver(table.current).isEmpty());
    EXPECT_EQ(b.outside(cal::CurrentQuantity, table.current), QStringList());

    // Rows outside both tables (base data, serial number) are never written.
    for (int r : {0, 7, 57, 109, 156, 159})
        EXPECT_EQ(b.model.row(r), b.found[r]) << r;
    EXPECT_TRUE(b.host.messages.isEmpty()) << b.host.messages.join(u'\n').toStdString();

    EXPECT_FALSE(b.cal.backup().writtenPath().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Units, SimSweep,
                         ::testing::Values(std::make_tuple(20, 7u), std::make_tuple(40, 3u), std::make_tuple(60, 5u)));

TEST(SimSweepOnce, DefectiveUnitReportsThePointsItCouldNotReach)
{
    sim::SupplyConfig config = Unit(40, 4);
    config.defect = true;
    Bench b(config);
    const Rating& table = *b.ui.rating();

    b.cal.CalibrateVoltage();
    EXPECT_FALSE(b.st.AbortFlag);
    EXPECT_EQ(b.model.frames().last(), QStringLiteral("CURR00010")); // the sweep ran to its end
    ASSERT_FALSE(b.st.Unconverged.isEmpty());
    QStringList reported;
    for (const QString& p : b.st.Unconverged) {
        EXPECT_TRUE(p.startsWith(u'V')) << p.toStdString();
        reported << p.mid(1);
    }
    EXPECT_EQ(reported, b.outside(cal::VoltageQuantity, table.voltage));
}

TEST(SimSweepOnce, ShortRowReadsLeaveTheEepromUntouched)
{
    Bench b(Unit(20, 9));
    b.model.faults().add(QStringLiteral("GEEP:shortrow:from=1"));
    b.cal.CalibrateCurrent();
    EXPECT_FALSE(b.st.AbortFlag);
    EXPECT_TRUE(b.model.frames().filter(QStringLiteral("SEEP")).isEmpty());
    for (int r = 110; r <= 141; ++r)
        EXPECT_EQ(b.model.row(r), b.found[r]) << r;
    EXPECT_FALSE(b.st.Unconverged.isEmpty());
    EXPECT_TRUE(b.st.Unconverged.first().startsWith(u'C'));
}

} // namespace
} // namespace psucal::test
