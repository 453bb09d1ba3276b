#pragma once

#include "core/Clock.h"
#include "core/DeadlineTimer.h"

namespace psucal {

// Waits run the event loop one round at a time (the window stays live, no polling): a round
// ends once something was handled, which is when done() may have changed, or at the deadline,
// set on a timer descriptor.
class RealClock : public Clock {
public:
    RealClock();

    double now() const override;
    bool waitUntil(double deadline, const std::function<bool()>& done) override;
    // Every round of a wait looks at done() again, so there is nothing to do.
    void wake() override {}
    // False when waits fall back to millisecond timers.
    bool isPrecise() const { return timer_.isPrecise(); }

private:
    double origin_;
    DeadlineTimer timer_;
};

} // namespace psucal
