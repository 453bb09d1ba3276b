#include "tests/cal/CalFixture.h"

namespace psucal::test {
namespace {

using D = ScriptedSupply;

class AdjustPointTest : public CalFixture {};

TEST_F(AdjustPointTest, PointInsideTheInclusiveWindowIsLeftAlone)
{
    for (double shown : {10.02, 10.05, 10.08}) {
        supply.frames.clear();
        supply.displays = {D::Display(shown, 0)};
        cal.AdjustPoint(QStringLiteral("V10.0"));
        EXPECT_EQ(supply.sent(), (QStringList{"VOLT00100", "GETD00"})) << shown;
    }
    EXPECT_TRUE(st.Unconverged.isEmpty());
    EXPECT_FALSE(st.AbortFlag);
}

TEST_F(AdjustPointTest, VoltageCorrectionIsWrittenAndTheSetPointRetriggered)
{
    zeroCell(80);
    st.RowRead = {"", "11", "22", "33", "44"}; // stale buffers of some other row
    supply.displays = {D::Display(9.95, 0), D::Display(10.05, 0)};
    cal.AdjustPoint(QStringLiteral("V10.0"));

    EXPECT_EQ(supply.sent(), (QStringList{"VOLT00100", "GETD00", "GEEP00080", "SEEP0008007808080", "VOLT00099",
                                          "VOLT00100", "GETD00"}));
    // 0.2 s settle, row read + 0.1 s, write + 0.1 s, 0.1 s below the point, 0.2 s at it, 0.1 s after.
    EXPECT_DOUBLE_EQ(supply.timeOf(1) - supply.timeOf(0), 0.2);
    EXPECT_DOUBLE_EQ(supply.timeOf(3) - supply.timeOf(2), 0.1);
    EXPECT_DOUBLE_EQ(supply.timeOf(4) - supply.timeOf(3), 0.1);
    EXPECT_DOUBLE_EQ(supply.timeOf(5) - supply.timeOf(4), 0.1);
    EXPECT_DOUBLE_EQ(supply.timeOf(6) - supply.timeOf(5), 0.2);
    EXPECT_NEAR(clock.now() - supply.timeOf(6), 0.1, 1e-9);
    EXPECT_TRUE(st.Unconverged.isEmpty());
}

TEST_F(AdjustPointTest, GainBiasAndRoundingFollowTheModel)
{
    struct Case {
        int model;
        QString point;
        QString shown;
        QString cell;
    } cases[] = {
        {2, "V10.0", D::Display(9.90, 0), "03"},     // 0.005 + 0.025
        {1, "C1.00", D::Display(5.00, 0.990), "07"}, // 0.005 rounded, then + 0.002
        {0, "C1.00", D::Display(5.00, 0.990), "03"}, // 0.002 + 0.0008
        {2, "C1.00", D::Display(5.00, 1.010), "83"}, // -0.005 + 0.002
    };
    for (const Case& c : cases) {
        supply.frames.clear();
        zeroCell(80);
        ui.setModel(c.model);
        supply.displays = {c.shown, D::Display(10.05, 1.005)};
        cal.AdjustPoint(c.point);
        EXPECT_EQ(supply.row(80).left(2), c.cell) << c.model << " " << c.point.toStdString();
    }
}

TEST_F(AdjustPointTest, CurrentPointUsesHundredthsOfAnAmpereAndPausesAfterItsFirstRead)
{
    ui.setModel(1);
    supply.displays = {D::Display(5.0, 1.150), D::Display(5.0, 1.165)};
    cal.AdjustPoint(QStringLiteral("C1.16"));
    EXPECT_EQ(supply.sent(QStringLiteral("CURR")), (QStringList{"116", "115", "116"}));
    ASSERT_TRUE(supply.sent()[2].startsWith(QLatin1String("GEEP")));
    EXPECT_NEAR(supply.timeOf(2) - supply.timeOf(1), 0.1, 1e-9);

    supply.frames.clear();
    ui.setModel(0);
    supply.displays = {D::Display(1.30, 0), D::Display(1.45, 0)};
    cal.AdjustPoint(QStringLiteral("V1.4"));
    EXPECT_EQ(supply.sent(QStringLiteral("VOLT")), (QStringList{"014", "013", "014"}));
}

TEST_F(AdjustPointTest, CorrectionsAreClampedToWhatTheModelAllows)
{
    struct Case {
        int model;
        QString point;
        QString before;
        QString shown;
        QString after;
    } cases[] = {
        {0, "V10.0", "00", D::Display(9.12, 0), "43"},    // +0.90 V -> +0.67 V
        {0, "V10.0", "00", D::Display(10.92, 0), "<3"},   // -0.90 V -> -0.67 V
        {0, "V10.0", "7?", D::Display(9.12, 0), "43"},    // a cell at the limit does not wrap
        {0, "C1.00", "00", D::Display(5.0, 0.500), "32"}, // +0.1008 A -> +0.050 A
        {1, "C1.00", "00", D::Display(5.0, 0.500), "43"}, // +0.252 A -> +0.067 A
        {1, "C1.00", "00", D::Display(5.0, 1.500), "<3"}, // -0.248 A -> -0.067 A
        {2, "C1.00", "7?", D::Display(5.0, 0.500), "43"},
    };
    for (const Case& c : cases) {
        supply.rows[80] = c.before + QStringLiteral("808080");
        asFound();
        ui.setModel(c.model);
        supply.displays = {c.shown, D::Display(10.05, 1.005)};
        cal.AdjustPoint(c.point);
        EXPECT_EQ(supply.row(80).left(2), c.after) << c.model << " " << c.shown.toStdString();
    }
}

TEST_F(AdjustPointTest, SmallCalStepsOneUnitAndSaturatesInsteadOfWrapping)
{
    st.SmallCal = true;
    struct Case {
        QString point;
        QString before;
        QString shown;
        QString after;
    } cases[] = {
        {"V10.0", "05", D::Display(10.20, 0), "04"}, // above the window: one unit down
        {"V10.0", "05", D::Display(9.90, 0), "06"},  // below: one unit up
        {"V10.0", "0>", D::Display(9.90, 0), "10"},  // below, second character ">": two units up
        {"V10.0", "7?", D::Display(9.90, 0), "7?"},  // +1.28 V saturates at +1.27 V
        {"V10.0", "7>", D::Display(9.90, 0), "7?"},
        {"V10.0", "??", D::Display(10.20, 0), "??"},   // -1.28 V stays -1.27 V
        {"V10.0", "80", D::Display(10.20, 0), "81"},   // zero, one unit down
        {"C1.00", "05", D::Display(5.0, 1.020), "04"}, // same rule in 0.001 A units, no clamp
        {"C1.00", "0>", D::Display(5.0, 0.900), "10"},
        {"C1.00", "7?", D::Display(5.0, 0.900), "7?"},
    };
    for (const Case& c : cases) {
        supply.rows[80] = c.before + QStringLiteral("808080");
        asFound();
        supply.displays = {c.shown, D::Display(10.05, 1.005)};
        cal.AdjustPoint(c.point);
        EXPECT_EQ(supply.row(80).left(2), c.after) << c.point.toStdString() << " " << c.before.toStdString();
    }
}

TEST_F(AdjustPointTest, PointStillOutsideAfterFiveAttemptsIsRecorded)
{
    zeroCell(80);
    supply.displays = {D::Display(9.95, 0)};
    cal.AdjustPoint(QStringLiteral("V10.0"));
    const QStringList writes = supply.sent(QStringLiteral("SEEP"));
    EXPECT_EQ(writes, (QStringList{"08007808080", "0800>808080", "08015808080", "0801<808080", "08023808080"}));
    EXPECT_EQ(st.Unconverged, QStringList{"V10.0"});
    EXPECT_FALSE(st.AbortFlag);
}

TEST_F(AdjustPointTest, SilentSetCommandFailsTheStepAndSendsNothingMore)
{
    supply.answer = [](const QString& c, const QString&) -> std::optional<QString> {
        if (c == QLatin1String("VOLT") || c == QLatin1String("CURR"))
            return QString();
        return std::nullopt;
    };
    cal.AdjustPoint(QStringLiteral("V10.0"));
    EXPECT_EQ(supply.sent(), QStringList(3, "VOLT00100")); // the first try and its two repeats
    EXPECT_TRUE(st.AbortFlag);
    EXPECT_EQ(st.FailText, QStringLiteral("Cal.V failed !"));

    supply.frames.clear();
    st.AbortFlag = false;
    cal.AdjustPoint(QStringLiteral("C1.00"));
    EXPECT_EQ(supply.sent(), QStringList{"CURR00100"});
    EXPECT_EQ(st.FailText, QStringLiteral("Cal.C failed !"));
}

TEST_F(AdjustPointTest, OpenTerminalsStopTheCurrentStepWithAWarning)
{
    ui.setBusy(true);
    ui.setProgressMax(128);
    ui.setProgressValue(40);
    ui.setCaption(QStringLiteral("WAIT..."));
    ui.setButtonEnabled(false);
    supply.displays = {D::Display(12.00, 0)};
    cal.AdjustPoint(QStringLiteral("C1.00"));

    EXPECT_EQ(supply.sent(), (QStringList{"CURR00100", "GETD00"}));
    ASSERT_EQ(ui.pcRuns().size(), 3);
    EXPECT_EQ(ui.pcRuns()[0], (TextRun{2323, 100, "Warning !", FontStyle::Bold})); // (5545 - 900) / 2
    EXPECT_EQ(ui.pcText(), QStringLiteral("Warning !\nOutput terminals must be short circuited to recalibrate\n"
                                          "current."));
    EXPECT_EQ(ui.caption(), QStringLiteral("NEXT  >"));
    EXPECT_TRUE(ui.buttonEnabled());
    EXPECT_TRUE(st.AbortFlag);
    EXPECT_FALSE(ui.busy());
    EXPECT_EQ(ui.progressValue(), 0);
}

TEST_F(AdjustPointTest, OpenTerminalGuardNeedsHighVoltageAndNoCurrent)
{
    for (const QString& shown : {D::Display(4.50, 0), D::Display(12.00, 0.001)}) {
        ui.pcClear();
        st.AbortFlag = false;
        supply.displays = {shown, D::Display(5.0, 1.005)};
        cal.AdjustPoint(QStringLiteral("C1.00"));
        EXPECT_FALSE(st.AbortFlag) << shown.toStdString();
        EXPECT_TRUE(ui.pcRuns().isEmpty());
    }
}

TEST_F(AdjustPointTest, TextsThatNameNoPointSendNothing)
{
    for (const QString& text : {QString(), QStringLiteral("V"), QStringLiteral("X1.0"), QStringLiteral("v1.0")})
        cal.AdjustPoint(text);
    ui.setModel(-1);
    cal.AdjustPoint(QStringLiteral("V10.0"));
    ui.setModel(0);
    st.AbortFlag = true;
    cal.AdjustPoint(QStringLiteral("V10.0"));
    EXPECT_TRUE(supply.frames.empty());

    st.AbortFlag = false;
    supply.displays = {D::Display(10.05, 0)};
    cal.AdjustPoint(QStringLiteral("V10,0"));
    EXPECT_EQ(supply.sent(QStringLiteral("VOLT")), QStringList{"100"});
}

} // namespace
} // namespace psucal::test
