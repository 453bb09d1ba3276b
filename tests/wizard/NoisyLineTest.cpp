#include "sim/FaultPlan.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/VirtualSession.h"

#include <gtest/gtest.h>

#include <map>

using namespace psucal;
using namespace psucal::test;

namespace {

sim::SupplyConfig Unit(int ratingV, quint32 seed, bool ideal = false)
{
    sim::SupplyConfig c;
    c.ratingV = ratingV;
    c.seed = seed;
    c.serial = QStringLiteral("NL%1-%2").arg(ratingV).arg(seed);
    c.terminals = sim::Terminals::Auto;
    c.ideal = ideal;
    return c;
}

void AddNoise(VirtualSession& b, const QString& plan)
{
    const std::optional<QStringList> rules = sim::FaultPlan::NoiseRules(plan);
    ASSERT_TRUE(rules) << plan.toStdString();
    for (const QString& rule : *rules) {
        ASSERT_TRUE(rule.startsWith("READ?") ? b.bench.meter.addFault(rule) : b.model.faults().add(rule));
    }
}

// Run mode 3 as the terminal runs it: START, then NEXT with the terminals shorted.
bool Recalibrate(VirtualSession& b)
{
    b.load();
    b.wizard.Command1_Click();
    if (b.wizard.state() == Wizard::State::Next)
        b.wizard.Command1_Click();
    return b.wizard.voltageStepOk() && b.wizard.currentStepOk();
}

// Cells a row write changed besides the one its point adjusts, as "row/cell".
QStringList ForeignCells(const VirtualSession& b, const QString (&found)[160])
{
    QStringList out;
    std::map<int, QString> rows;
    int cell = 0;
    for (const QString& f : b.model.frames()) {
        if (!f.startsWith(QLatin1String("SEEP00")))
            continue;
        const int row = f.mid(6, 3).toInt();
        const QString before = rows.count(row) ? rows[row] : found[row];
        int changed = 0;
        for (int c = 1; c <= 4; ++c)
            if (f.mid(9 + 2 * c - 2, 2) != before.mid(2 * c - 2, 2))
                changed += 1, cell = c;
        if (changed > 1)
            out << QStringLiteral("%1/%2").arg(row).arg(cell);
        rows[row] = f.mid(9);
    }
    return out;
}

class NoisyLine : public ::testing::TestWithParam<std::tuple<int, quint32>> {};

TEST_P(NoisyLine, RecalibratesTheUnitAsACleanLineDoes)
{
    const auto [volts, seed] = GetParam();
    VirtualSession clean(Unit(volts, seed));
    ASSERT_TRUE(Recalibrate(clean));
    EXPECT_EQ(clean.st.Repeats, 0);

    for (const char* plan : {"supply-noise:p=0.02", "supply-noise:p=0.05"}) {
        SCOPED_TRACE(plan);
        VirtualSession b(Unit(volts, seed));
        QString found[160];
        for (int r = 0; r < 160; ++r)
            found[r] = b.model.row(r);
        AddNoise(b, plan);
        EXPECT_TRUE(Recalibrate(b)) << b.ui.pcText().toStdString();
        EXPECT_EQ(b.model.eeprom().text(), clean.model.eeprom().text());
        EXPECT_GT(b.st.Repeats, 5);
        EXPECT_EQ(b.recorder.repeats.size(), b.st.Repeats);
        EXPECT_EQ(ForeignCells(b, found), QStringList());
        EXPECT_TRUE(b.recorder.messages.isEmpty()) << b.recorder.messages.join('\n').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(RatingsAndSeeds, NoisyLine,
                         ::testing::Combine(::testing::Values(20, 40, 60), ::testing::Values(1u, 2u, 3u)));

// Retries 0 is the single try: the first garbled display reply fails the step.
TEST(NoisyLineOnce, RetriesZeroFailsOnTheFirstFault)
{
    VirtualSession b(Unit(40, 1));
    b.load();
    b.st.Retries = 0;
    ASSERT_TRUE(b.model.faults().add("GETD:garbage:nth=10")); // a point's display read
    const qsizetype before = b.model.frames().size();
    b.wizard.Command1_Click();
    EXPECT_FALSE(b.wizard.voltageStepOk());
    EXPECT_EQ(b.st.FailText, "Cal.V failed !");
    EXPECT_EQ(b.st.Repeats, 0);
    // Nothing is asked again: the garbled read is the step's last frame.
    const QStringList sent = b.framesSince(static_cast<int>(before));
    qsizetype at = -1;
    for (int n = 0; n < 10; ++n)
        at = sent.indexOf("GETD00", at + 1);
    EXPECT_EQ(sent.mid(at), QStringList{"GETD00"});
}

// An ideal unit verified on a line whose meter readings are garbled gives the clean run's grids.
TEST(NoisyLineOnce, VerificationUnderMeterNoiseGivesTheCleanGridsAndVerdicts)
{
    const auto verify = [](bool noisy) {
        VirtualSession b(Unit(40, 2, true));
        b.loadFull(1);
        if (noisy)
            AddNoise(b, "meter-noise:p=0.05");
        b.full.Command1_Click(1);
        b.full.Command1_Click(1);
        QStringList cells;
        for (const SpotGrid* g : {&b.FGridV, &b.FGridC})
            for (int r = SpotGrid::FirstSpotRow; r < g->rowCount(); ++r)
                cells << QStringLiteral("%1|%2|%3|%4").arg(g->text(r, 1), g->text(r, 2), g->text(r, 3),
                                                          g->color(r, 3).name());
        return std::make_tuple(cells, b.st.VoltPass, b.st.CurrPass, b.st.Repeats);
    };
    const auto [cleanCells, cleanV, cleanC, cleanRepeats] = verify(false);
    const auto [cells, v, c, repeats] = verify(true);
    EXPECT_EQ(cells, cleanCells);
    EXPECT_TRUE(cleanV && cleanC);
    EXPECT_EQ(std::make_pair(v, c), std::make_pair(cleanV, cleanC));
    EXPECT_EQ(cleanRepeats, 0);
    EXPECT_GT(repeats, 3);
}

} // namespace
