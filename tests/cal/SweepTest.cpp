#include "tests/cal/CalFixture.h"

#include "core/Numbers.h"

namespace psucal::test {
namespace {

using D = ScriptedSupply;

// A unit that is already calibrated: it displays what it is set to plus the middle of the
// window, so the sweeps only program and read every point.
class SweepTest : public CalFixture {
protected:
    SweepTest()
    {
        st.MaxV = 60;
        supply.answer = [this](const QString& c, const QString& data) -> std::optional<QString> {
            if (c == QLatin1String("VOLT"))
                volts = data.toInt() / 10.0;
            else if (c == QLatin1String("CURR"))
                amps = data.toInt() / 100.0;
            else if (c == QLatin1String("SOUT"))
                shorted = data == QLatin1String("0");
            else if (c == QLatin1String("GETD"))
                return shorted ? D::Display(0.10, amps + 0.005) : D::Display(volts + 0.05, 0);
            return std::nullopt;
        };
    }

    // The set points, as frame data, from the first point to the last.
    static QStringList Points(int first, int step, int count)
    {
        QStringList out;
        for (int i = 0; i < count; ++i)
            out << num::Digits(first + i * step, 3);
        return out;
    }

    QStringList pointFrames(const QString& command, int skip) const
    {
        QStringList all = supply.sent(command);
        return all.mid(skip, all.size() - skip);
    }

    double volts = 0;
    double amps = 0;
    bool shorted = false;
};

TEST_F(SweepTest, EachSweepWalksEachModelsCells)
{
    const QStringList voltageOpening{"VOLT00010", "SOUT001", "VOLT00010", "GETD00"};
    const QStringList currentOpening{"VOLT00050", "SOUT000", "CURR00100", "GETD00"};
    struct Case {
        bool voltage;
        int model;
        QStringList points;
        int progressMax;
    } cases[] = {
        {true, 0, Points(10, 2, 97), 100},                           // 1.0 .. 20.2 V
        {true, 1, Points(10, 2, 198), 200},                          // 1.0 .. 40.4 V
        {true, 2, Points(10, 4, 148) << QStringLiteral("600"), 152}, // 1.0 .. 59.8 V, top cell at the rating
        {false, 0, Points(8, 8, 124), 128},                          // 0.08 .. 9.92 A
        {false, 1, Points(4, 4, 126), 128},                          // 0.04 .. 5.04 A
        {false, 2, Points(4, 4, 85), 88},                            // 0.04 .. 3.40 A
    };
    for (const Case& c : cases) {
        supply.frames.clear();
        ui.setModel(c.model);
        c.voltage ? cal.CalibrateVoltage() : cal.CalibrateCurrent();

        const QStringList sent = supply.sent();
        ASSERT_GE(sent.size(), 6);
        EXPECT_EQ(sent.mid(0, 4), c.voltage ? voltageOpening : currentOpening);
        const QStringList closing = c.voltage ? QStringList{"VOLT00050", "CURR00010"} : QStringList{"CURR00050"};
        EXPECT_EQ(sent.mid(sent.size() - closing.size()), closing);
        // Voltage: opening 010 twice, closing 050 once. Current: opening 100 once, closing 050.
        QStringList points = pointFrames(QString::fromLatin1(c.voltage ? "VOLT" : "CURR"), c.voltage ? 2 : 1);
        points.removeLast();
        EXPECT_EQ(points, c.points) << c.voltage << c.model;
        EXPECT_EQ(supply.sent(QStringLiteral("GETD")).size(), c.points.size() + 1);
        EXPECT_TRUE(supply.sent(QStringLiteral("SEEP")).isEmpty());
        EXPECT_EQ(ui.progressMax(), c.progressMax);
        EXPECT_EQ(ui.progressValue(), c.progressMax);
        EXPECT_FALSE(ui.busy());
    }
    EXPECT_TRUE(host.messages.isEmpty());
}

TEST_F(SweepTest, WithoutAModelNoCellIsAdjustedButTheSweepCloses)
{
    ui.setModel(-1);
    st.Unconverged = QStringList{"V3.0"}; // left from an earlier sweep
    cal.CalibrateVoltage();
    EXPECT_TRUE(st.Unconverged.isEmpty());
    EXPECT_EQ(supply.sent(), (QStringList{"VOLT00010", "SOUT001", "VOLT00010", "GETD00", "VOLT00050", "CURR00010"}));
    supply.frames.clear();
    cal.CalibrateCurrent();
    EXPECT_EQ(supply.sent(), (QStringList{"VOLT00050", "SOUT000", "CURR00100", "GETD00", "CURR00050"}));
    EXPECT_EQ(ui.progressValue(), 0);
}

TEST_F(SweepTest, FailureStopsTheSweepWhereItIs)
{
    // Silent at 2.0 V: row 59 cells 1..4 and row 60 cells 1, 2 were walked, 2.0 V is cell 3.
    auto calibrated = supply.answer;
    supply.answer = [calibrated](const QString& c, const QString& data) -> std::optional<QString> {
        if (c == QLatin1String("VOLT") && data == QLatin1String("020"))
            return QString();
        return calibrated(c, data);
    };
    cal.CalibrateVoltage();
    EXPECT_EQ(supply.sent().last(), QStringLiteral("VOLT00020"));
    EXPECT_EQ(ui.progressValue(), 6);
    EXPECT_EQ(st.CurRow, 60);
    EXPECT_EQ(st.CurCell, 3);
    EXPECT_EQ(st.FailText, QStringLiteral("Cal.V failed !"));
    EXPECT_TRUE(host.messages.isEmpty()); // the closing steps, message included, are skipped
}

TEST_F(SweepTest, OnlyTheVoltageSweepShowsAnEarlierFailure)
{
    ui.setModel(-1);
    st.FailText = QStringLiteral("Cal.V failed !");
    cal.CalibrateCurrent();
    EXPECT_TRUE(host.messages.isEmpty());
    cal.CalibrateVoltage();
    EXPECT_EQ(host.messages, QStringList{"Cal.V failed !"});
}

} // namespace
} // namespace psucal::test
