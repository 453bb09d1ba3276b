#include "tests/cal/SimBench.h"

#include <QDir>
#include <QFile>

namespace psucal::test {
namespace {

class SimSweep : public ::testing::TestWithParam<std::tuple<int, quint32>> {};

TEST_P(SimSweep, WellBehavedUnitEndsInsideTheWindowEverywhere)
{
    const auto [volts, seed] = GetParam();
    Bench b(Unit(volts, seed));
    const cal::ModelTable& table = *cal::ModelAt(b.ui.model());

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

    // The backup holds the unit as it was found.
    const QStringList files = QDir(b.dir.filePath(QStringLiteral("backups"))).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QFile f(QDir(b.dir.filePath(QStringLiteral("backups"))).filePath(files[0]));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 161);
    const QString& r60 = b.found[60];
    EXPECT_EQ(lines[61],
              QStringLiteral("060 %1 %2 %3 %4").arg(r60.mid(0, 2), r60.mid(2, 2), r60.mid(4, 2), r60.mid(6, 2)));
}

INSTANTIATE_TEST_SUITE_P(Units, SimSweep,
                         ::testing::Values(std::make_tuple(20, 7u), std::make_tuple(40, 3u), std::make_tuple(60, 5u)));

TEST(SimSweepOnce, DefectiveUnitReportsThePointsItCouldNotReach)
{
    sim::SupplyConfig config = Unit(40, 4);
    config.defect = true;
    Bench b(config);
    const cal::ModelTable& table = *cal::ModelAt(b.ui.model());

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

TEST(SimSweepOnce, OpenTerminalsStopTheCurrentSweepAtItsFirstPoint)
{
    sim::SupplyConfig config = Unit(40, 1);
    config.terminals = sim::Terminals::Open;
    Bench b(config);
    b.ui.setCaption(QStringLiteral("WAIT..."));
    b.cal.CalibrateCurrent();
    EXPECT_TRUE(b.st.AbortFlag);
    EXPECT_EQ(b.ui.caption(), QStringLiteral("NEXT  >"));
    EXPECT_TRUE(b.ui.pcText().startsWith(QLatin1String("Warning !")));
    EXPECT_EQ(b.st.CurRow, 110);
    EXPECT_EQ(b.st.CurCell, 2);
    EXPECT_TRUE(b.model.frames().filter(QStringLiteral("SEEP")).isEmpty());
    EXPECT_NE(b.model.frames().last(), QStringLiteral("CURR00050")); // no closing step
}

} // namespace
} // namespace psucal::test
