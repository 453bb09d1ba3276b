#include "spots/SpotGridEditor.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace psucal;

namespace {
constexpr int Out = SpotGrid::OutputColumn;

struct Grids {
    Grids()
    {
        v.BuildVoltageSpots(20, SpotGrid::VoltageSpotStep(60.0f, 20), 60.0f);
        c.BuildCurrentSpots(20, SpotGrid::CurrentSpotStep(3.3f, 20), 3.3f);
    }
    QString type(const QString& keys, int row = 5, int col = Out)
    {
        for (QChar k : keys)
            ev.keyPress(row, col, k);
        return v.text(row, col);
    }
    SpotGrid v{false};
    SpotGrid c{true};
    SpotGridEditor ev{v};
    SpotGridEditor ec{c};
};
} // namespace

TEST(SpotGridEditor, TypingBuildsANumberAndControlKeysTypeNothing)
{
    Grids g;
    EXPECT_EQ(g.type("012"), "012");
    EXPECT_EQ(g.type("."), "12.");
    EXPECT_EQ(g.type(".5"), "12.5");
    EXPECT_EQ(g.type("\b\b"), "12");
    EXPECT_EQ(g.type("x"), "120");
    // Enter, Esc and Tab leave the entry as it is.
    EXPECT_EQ(g.type("\r\x1b\t"), "120");
    EXPECT_EQ(g.type("\b\b\b\b", 6), "");
    EXPECT_EQ(g.type(".", 6), "0.");
    // Seven characters at most: a run of digits cannot grow past what the cell can show.
    EXPECT_EQ(g.type("123456789", 7), "1234567");
    EXPECT_EQ(g.type(".", 7), "1234567");
    // Only Output cells take keys, and only spot rows.
    for (int col : {0, 1, 2})
        EXPECT_EQ(g.type("7", 5, col), g.v.text(5, col));
    EXPECT_FALSE(g.ev.keyPress(1, Out, u'7'));
    EXPECT_FALSE(g.ev.keyPress(99, Out, u'7'));

    EXPECT_TRUE(g.ev.clearCell(5, Out));
    EXPECT_EQ(g.v.text(5, Out), "");
    EXPECT_FALSE(g.ev.clearCell(5, 2));

    // Typing into a measured spot edits the output as shown; Delete takes the output away.
    SpotResult& s = *g.v.spot(8);
    s.mean = 12.1;
    s.outputCheck = Verdict::Fail;
    s.readings = {{"+1.21000000E+01\r\n", 12.1}};
    EXPECT_EQ(g.type("\b5", 8), "12.15");
    EXPECT_DOUBLE_EQ(*s.mean, 12.1); // not the output before the cell is left
    EXPECT_TRUE(g.ev.clearCell(8, Out));
    EXPECT_EQ(g.v.text(8, Out), "");
    EXPECT_FALSE(s.mean);
    EXPECT_TRUE(s.readings.isEmpty());
    EXPECT_FALSE(g.v.color(8, Out).isValid());
    EXPECT_FALSE(g.ev.leaveCell(8, Out));
}

TEST(SpotGridEditor, LeavingAnOutputFormatsClampsAndJudgesIt)
{
    Grids g;
    SpotResult& s = *g.v.spot(13);
    s.display = 12.0;
    s.readings = {{"+1.21000000E+01\r\n", 12.1}};
    g.type("12.14", 13);
    ASSERT_TRUE(g.ev.leaveCell(13, Out));
    EXPECT_EQ(g.v.text(13, Out), "12.14");
    EXPECT_DOUBLE_EQ(*s.mean, 12.14);
    EXPECT_EQ(s.outputCheck, Verdict::Pass);
    EXPECT_TRUE(s.readings.isEmpty()); // the typed value is no meter's
    g.type("5", 13);
    g.ev.leaveCell(13, Out);
    EXPECT_EQ(g.v.text(13, Out), "12.15"); // 12.145 at the column's resolution
    EXPECT_EQ(g.v.color(13, Out), spots::FailColor);
    // Left again without typing: judged again against the display as it is now.
    s.display = 12.1;
    ASSERT_TRUE(g.ev.leaveCell(13, Out));
    EXPECT_EQ(s.outputCheck, Verdict::Pass);

    // A guarded verdict stands when the cell is only passed through; a typed output has no U.
    s.mean = 12.143;
    s.outputLimits = {11.86, 12.14, 0.006};
    s.outputCheck = Verdict::ConditionalFail;
    g.ev.leaveCell(13, Out);
    EXPECT_EQ(s.outputCheck, Verdict::ConditionalFail);
    g.type("12.1", 13);
    g.ev.leaveCell(13, Out);
    EXPECT_EQ(s.outputCheck, Verdict::Pass);
    EXPECT_FALSE(s.outputLimits.U);

    // Nothing to judge: an empty Output, another column.
    EXPECT_FALSE(g.ev.leaveCell(14, Out));
    EXPECT_FALSE(g.ev.leaveCell(13, SpotGrid::DisplayColumn));

    // A row without a display is judged against the finite band at 0.
    g.c.setEntry(3, "0.004");
    ASSERT_TRUE(g.ec.leaveCell(3, Out));
    EXPECT_EQ(g.c.color(3, Out), spots::PassColor);

    g.c.setEntry(4, "9999999");
    g.ec.leaveCell(4, Out);
    EXPECT_EQ(g.c.text(4, Out), "999.999");
    g.v.setEntry(4, QString(400, u'9'));
    ASSERT_TRUE(g.ev.leaveCell(4, Out));
    EXPECT_EQ(g.v.text(4, Out), "");
    EXPECT_FALSE(g.v.spot(4)->mean);
    EXPECT_FALSE(g.v.color(4, Out).isValid());
}

TEST(SpotGridEditor, ADoubleClickedSettingGoesOutRounded)
{
    Grids g;
    auto sent = [](const SpotGridEditor& e, int row, int col = SpotGrid::SettingColumn) {
        const auto sp = e.setPoint(row, col);
        return sp ? (sp->current ? u'C' : u'V') + QString::number(sp->value) : QStringLiteral("nothing");
    };
    EXPECT_EQ(sent(g.ev, 4), "V7.2");
    EXPECT_EQ(sent(g.ev, 21), "V60");
    g.c.spot(2)->setting = 9.994; // rounds to 9.99 A on the wire
    EXPECT_EQ(sent(g.ec, 2), "C9.994");
    g.c.spot(2)->setting = 9.996;
    EXPECT_EQ(sent(g.ec, 2), "nothing");
    g.c.spot(2)->setting = 10.0;
    EXPECT_EQ(sent(g.ec, 2), "nothing");
    for (int col : {0, 2, 3})
        EXPECT_EQ(sent(g.ev, 4, col), "nothing");
    EXPECT_EQ(sent(g.ev, 1), "nothing");
}
