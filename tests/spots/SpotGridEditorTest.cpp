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
}

TEST(SpotGridEditor, LeavingAnOutputFormatsClampsAndJudgesIt)
{
    Grids g;
    g.v.setText(13, SpotGrid::DisplayColumn, "12.00");
    g.type("12.14", 13);
    ASSERT_TRUE(g.ev.leaveCell(13, Out));
    EXPECT_EQ(g.v.text(13, Out), "12.14");
    EXPECT_EQ(g.v.color(13, Out), SpotGrid::PassColor);
    g.v.setText(13, Out, "12.15");
    g.ev.leaveCell(13, Out);
    EXPECT_EQ(g.v.color(13, Out), SpotGrid::FailColor);

    // Nothing to judge: an empty Output, another column.
    EXPECT_FALSE(g.ev.leaveCell(14, Out));
    EXPECT_FALSE(g.ev.leaveCell(13, SpotGrid::DisplayColumn));

    // A row without a display is judged against the finite band at 0.
    g.c.setText(3, Out, "0.004");
    ASSERT_TRUE(g.ec.leaveCell(3, Out));
    EXPECT_EQ(g.c.color(3, Out), SpotGrid::PassColor);

    g.c.setText(4, Out, "9999999");
    g.ec.leaveCell(4, Out);
    EXPECT_EQ(g.c.text(4, Out), "999.999");
    g.v.setText(4, Out, QString(400, u'9'));
    ASSERT_TRUE(g.ev.leaveCell(4, Out));
    EXPECT_EQ(g.v.text(4, Out), "");
    EXPECT_FALSE(g.v.color(4, Out).isValid());
}

TEST(SpotGridEditor, ADoubleClickedSettingGoesOutRounded)
{
    Grids g;
    auto sent = [](const SpotGridEditor& e, int row, int col = SpotGrid::SettingColumn) {
        const auto sp = e.setPoint(row, col);
        return sp ? sp->command + sp->data : QStringLiteral("nothing");
    };
    EXPECT_EQ(sent(g.ev, 4), "VOLT072"); // 7.2 V, never 071
    EXPECT_EQ(sent(g.ev, 21), "VOLT600");
    g.c.setText(2, SpotGrid::SettingColumn, "0.29");
    EXPECT_EQ(sent(g.ec, 2), "CURR029");
    g.c.setText(2, SpotGrid::SettingColumn, "9.99");
    EXPECT_EQ(sent(g.ec, 2), "CURR999");
    g.c.setText(2, SpotGrid::SettingColumn, "10.00");
    EXPECT_EQ(sent(g.ec, 2), "nothing");
    for (int col : {0, 2, 3})
        EXPECT_EQ(sent(g.ev, 4, col), "nothing");
    EXPECT_EQ(sent(g.ev, 1), "nothing");
}
