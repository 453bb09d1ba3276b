#include "core/RealClock.h"

#include <QTimer>

#include <gtest/gtest.h>

#include "tests/support/CoreApp.h"

// Real time, a few tens of milliseconds per case. A wait that never ended would be rescued
// by `rescue` and reported rather than hang the suite.
using psucal::RealClock;

namespace {

class RealClockTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureCoreApp(); }
    void SetUp() override
    {
        QTimer::singleShot(2000, &guard, [this] {
            rescued = true;
            clock.wake();
        });
    }

    RealClock clock;
    QObject guard;
    bool rescued = false;
};

} // namespace

TEST_F(RealClockTest, AWaitEndsAtItsDeadlineOrOnceWokenWithItsConditionMet)
{
    const double deadline = clock.now() + 0.02;
    EXPECT_FALSE(clock.waitUntil(deadline, [&] { return rescued; }));
    EXPECT_GE(clock.now(), deadline);

    // Woken after 5 ms, it must not sit out the second it was given.
    bool ready = false;
    QTimer::singleShot(5, &guard, [&] {
        ready = true;
        clock.wake();
    });
    const double start = clock.now();
    EXPECT_TRUE(clock.waitUntil(start + 1.0, [&] { return ready || rescued; }));
    EXPECT_FALSE(rescued);
    EXPECT_LT(clock.now() - start, 0.5);
}

// A handler may wait while another wait is in progress; each wait keeps its own deadline.
TEST_F(RealClockTest, AWaitInsideAWaitLeavesTheOuterDeadlineIntact)
{
    const double t0 = clock.now();
    double innerEnded = 0;

    // The inner wait outlasts the outer deadline: the outer wait ends as soon as it returns.
    QTimer::singleShot(0, &guard, [&] {
        clock.waitUntil(t0 + 0.06, [&] { return rescued; });
        innerEnded = clock.now();
    });
    EXPECT_FALSE(clock.waitUntil(t0 + 0.02, [&] { return rescued; }));
    EXPECT_GE(innerEnded, t0 + 0.06);
    EXPECT_FALSE(rescued);

    // The inner wait ends first: the outer one still runs to its own deadline.
    const double t1 = clock.now();
    QTimer::singleShot(0, &guard, [&] { clock.waitUntil(t1 + 0.01, [&] { return rescued; }); });
    EXPECT_FALSE(clock.waitUntil(t1 + 0.04, [&] { return rescued; }));
    EXPECT_GE(clock.now(), t1 + 0.04);
    EXPECT_FALSE(rescued);
}
