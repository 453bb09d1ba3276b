#include "cal/DecisionRule.h"
#include "cal/MeterAccuracy.h"
#include "cal/Uncertainty.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace psucal;
using namespace psucal::cal;

namespace {
UncertaintyInput OnMeter(double readingV, double configuredV, double resolutionV)
{
    const auto range = FindMeterAccuracy(IdnModel(QStringLiteral("HEWLETT-PACKARD,34401A,0,11-5-2")))->rangeFor(configuredV);
    UncertaintyInput in;
    in.readingV = readingV;
    in.rangeV = range->rangeV;
    in.pctReading = range->pctReading;
    in.pctRange = range->pctRange;
    in.resolutionV = resolutionV;
    return in;
}
} // namespace

TEST(Uncertainty, VoltageSpotOnTheHundredVoltRange)
{
    UncertaintyInput in = OnMeter(12.00, 40, 0.01);
    EXPECT_DOUBLE_EQ(in.rangeV, 100);
    const UncertaintyBudget b = Budget(in);
    EXPECT_NEAR(b.meter, 0.658e-3, 0.001e-3);
    EXPECT_NEAR(b.resolution, 2.887e-3, 0.001e-3);
    EXPECT_NEAR(b.expanded(), 5.92e-3, 0.005e-3);
    // 12.00 V shown: the output band is 0.14 V either side.
    EXPECT_NEAR(*Tur(11.86, 12.14, b.expanded()), 23.64, 0.01);

}

// The display check reads no meter and no shunt: the display's step is all there is.
TEST(Uncertainty, DisplayCheckIsTheDisplayStepAlone)
{
    for (const auto& [step, U] : {std::pair{0.01, 0.0057735}, std::pair{0.001, 0.00057735}}) {
        const UncertaintyBudget b = DisplayBudget(step);
        EXPECT_NEAR(b.expanded(), U, 1e-7);
        EXPECT_EQ(b.meter + b.resolution + b.shunt + b.repeatability, 0.0);
    }
}

TEST(Uncertainty, CurrentSpotThroughTheShunt)
{
    // 4.00 A through 1 mOhm: 4 mV on the 1 V range, 1 uV resolution, 0.1 % shunt.
    UncertaintyInput in = OnMeter(0.004, 1, 0.000001);
    EXPECT_DOUBLE_EQ(in.rangeV, 1);
    in.scale = 1000;
    in.shuntTolPct = 0.1;
    const UncertaintyBudget b = Budget(in);
    EXPECT_NEAR(b.meter, 7.16e-3 / std::sqrt(3.0), 1e-6);     // (0.004 % x 4 mV + 0.0007 % x 1 V) x 1000 A/V
    EXPECT_NEAR(b.resolution, 0.2887e-3, 1e-7);               // 1 uV x 1000 A/V over root 12
    EXPECT_NEAR(b.shunt, 4e-3 / std::sqrt(3.0), 1e-7);        // 0.1 % of 4 A
    EXPECT_NEAR(b.expanded(), 9.488e-3, 0.002e-3);

    // Five readings that scatter: the standard deviation of their mean joins the budget.
    in.readings = {3.998, 4.000, 4.002, 4.000, 4.000};
    const double sdMean = std::sqrt(8e-6 / 4) / std::sqrt(5.0);
    EXPECT_NEAR(Budget(in).repeatability, sdMean, 1e-9);
    EXPECT_NEAR(Budget(in).expanded(), 2 * std::sqrt(std::pow(9.488e-3 / 2, 2) + sdMean * sdMean), 0.002e-3);
}

TEST(Uncertainty, MeterTableAndRanges)
{
    const auto meter = FindMeterAccuracy(QStringLiteral("34401a"));
    ASSERT_TRUE(meter);
    EXPECT_DOUBLE_EQ(meter->rangeFor(0.05)->rangeV, 0.1);
    EXPECT_DOUBLE_EQ(meter->rangeFor(10)->rangeV, 10);
    EXPECT_DOUBLE_EQ(meter->rangeFor(10.5)->rangeV, 100);
    EXPECT_FALSE(meter->rangeFor(1200));
    EXPECT_FALSE(FindMeterAccuracy(IdnModel(QStringLiteral("KEITHLEY INSTRUMENTS,MODEL 2000,1,A"))));
    EXPECT_FALSE(FindMeterAccuracy(QString()));
    EXPECT_FALSE(Tur(1, 2, 0));
}

TEST(DecisionRule, GuardBandOnBothSidesOfEachLimit)
{
    // Limits 11.86..12.14 V, U = 6 mV.
    struct Case {
        double value;
        Verdict guard;
        Verdict simple;
    };
    const Case cases[] = {
        {12.00, Verdict::Pass, Verdict::Pass},
        {11.866, Verdict::Pass, Verdict::Pass}, // on the guard band's edge
        {11.863, Verdict::ConditionalPass, Verdict::Pass},
        {11.86, Verdict::ConditionalPass, Verdict::Pass},
        {11.857, Verdict::ConditionalFail, Verdict::Fail},
        {11.85, Verdict::Fail, Verdict::Fail},
        {12.134, Verdict::Pass, Verdict::Pass},
        {12.137, Verdict::ConditionalPass, Verdict::Pass},
        {12.14, Verdict::ConditionalPass, Verdict::Pass},
        {12.143, Verdict::ConditionalFail, Verdict::Fail},
        {12.15, Verdict::Fail, Verdict::Fail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Judge(DecisionRule::Guard, c.value, 11.86, 12.14, 0.006), c.guard);
        EXPECT_EQ(Judge(DecisionRule::Simple, c.value, 11.86, 12.14, 0.006), c.simple);
    }
    // An uncertainty wider than the limits leaves nothing that passes outright.
    EXPECT_EQ(Judge(DecisionRule::Guard, 12.00, 11.99, 12.01, 0.02), Verdict::ConditionalPass);
    EXPECT_EQ(ParseDecisionRule(QStringLiteral(" Guard ")), DecisionRule::Guard);
    EXPECT_FALSE(ParseDecisionRule(QStringLiteral("guarded")));
}
