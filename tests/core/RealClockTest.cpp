#include "core/RealClock.h"

#include <QTimer>

#include <gtest/gtest.h>

#include "tests/support/CoreApp.h"

// A handler may wait while another wait is in progress; each wait keeps its own deadline.
// Real time, a few tens of milliseconds; a wait that never ended is rescued after 2 s.
TEST(RealClock, AWaitInsideAWaitLeavesTheOuterDeadlineIntact)
{
    EnsureCoreApp();
    psucal::RealClock clock;
    QObject guard;
    bool rescued = false;
    QTimer::singleShot(2000, &guard, [&] {
        rescued = true;
        clock.wake();
    });
    const auto unlessRescued = [&] { return rescued; };

    // The inner wait outlasts the outer deadline: the outer wait ends as soon as it returns.
    const double t0 = clock.now();
    double innerEnded = 0;
    QTimer::singleShot(0, &guard, [&] {
        clock.waitUntil(t0 + 0.06, unlessRescued);
        innerEnded = clock.now();
    });
    EXPECT_FALSE(clock.waitUntil(t0 + 0.02, unlessRescued));
    EXPECT_GE(innerEnded, t0 + 0.06);

    // The inner wait ends first: the outer one still runs to its own deadline.
    const double t1 = clock.now();
    QTimer::singleShot(0, &guard, [&] { clock.waitUntil(t1 + 0.01, unlessRescued); });
    EXPECT_FALSE(clock.waitUntil(t1 + 0.04, unlessRescued));
    EXPECT_GE(clock.now(), t1 + 0.04);
    EXPECT_FALSE(rescued);
}
