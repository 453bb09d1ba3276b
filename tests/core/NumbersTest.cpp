#include "core/Numbers.h"
#include "core/VirtualClock.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>

using namespace psucal;

TEST(Numbers, LeadingNumberIsLenientAndNeverThrows)
{
    EXPECT_DOUBLE_EQ(num::Leading(u"  12.5V"), 12.5);
    EXPECT_DOUBLE_EQ(num::Leading(u"-3"), -3.0);
    EXPECT_DOUBLE_EQ(num::Leading(u"+.5"), 0.5);
    EXPECT_DOUBLE_EQ(num::Leading(u"0999"), 999.0);
    EXPECT_DOUBLE_EQ(num::Leading(u"1,25"), 1.0); // a comma ends the number
    EXPECT_DOUBLE_EQ(num::Leading(u"abc"), 0.0);
    EXPECT_DOUBLE_EQ(num::Leading(u""), 0.0);
    EXPECT_DOUBLE_EQ(num::Leading(u"-"), 0.0);
    EXPECT_DOUBLE_EQ(num::Leading(u"1.2.3"), 1.2);
}

TEST(Numbers, RoundingGoesHalfAwayFromZeroDespiteBinaryNoise)
{
    EXPECT_DOUBLE_EQ(num::RoundTo(0.125, 2), 0.13);
    EXPECT_DOUBLE_EQ(num::RoundTo(-0.125, 2), -0.13);
    EXPECT_DOUBLE_EQ(num::RoundTo((1.4 - 0.1) * 10, 0), 13.0);
    EXPECT_DOUBLE_EQ(num::RoundTo(1.16 * 100, 0), 116.0);
    EXPECT_DOUBLE_EQ(num::RoundTo(0.005 + 0.025, 2), 0.03);
    EXPECT_DOUBLE_EQ(num::RoundTo(0.0005, 3), 0.001);
}

TEST(Numbers, FormatsAreFixedWidthAndLocaleFree)
{
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(num::Fixed(1.0, 1), "1.0");
    EXPECT_EQ(num::Fixed(0.04, 2), "0.04");
    EXPECT_EQ(num::Fixed(-0.0001, 2), "0.00"); // no "-0.00"
    EXPECT_EQ(num::Digits(5.0 * 10, 3), "050");
    EXPECT_EQ(num::Digits(60.0 * 10, 3), "600");
    EXPECT_EQ(num::Digits(1.3 * 10, 3), "013");
    EXPECT_EQ(num::Digits(1234, 3), "1234");
    EXPECT_EQ(num::Shortest(20), "20");
    EXPECT_EQ(num::Shortest(3.3), "3.3");
    EXPECT_EQ(num::Shortest(330 / 100.0), "3.3");
    EXPECT_DOUBLE_EQ(num::Leading(u"2.5"), 2.5);
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, "C");
}

TEST(VirtualClock, RunsScheduledActionsInOrderAndStopsAtTheDeadline)
{
    VirtualClock clock;
    QStringList log;
    clock.schedule(0.5, [&] { log << "b"; });
    clock.schedule(0.2, [&] { log << "a"; });
    clock.schedule(0.5, [&] { log << "c"; });
    clock.schedule(2.0, [&] { log << "late"; });

    int seen = 0;
    EXPECT_FALSE(clock.waitUntil(1.0, [&] { return seen > 5; }));
    EXPECT_DOUBLE_EQ(clock.now(), 1.0);
    EXPECT_EQ(log, (QStringList{"a", "b", "c"}));

    // A waiter whose condition an action fulfils returns at that action's instant.
    bool flag = false;
    clock.schedule(1.25, [&] { flag = true; });
    EXPECT_TRUE(clock.waitUntil(5.0, [&] { return flag; }));
    EXPECT_DOUBLE_EQ(clock.now(), 1.25);
    EXPECT_EQ(log.size(), 3); // "late" is not due yet
}
