#pragma once

#include "core/Clock.h"
#include "core/DeadlineTimer.h"

namespace psucal {

class EpollDispatcher;

// Waits run the event loop one round at a time (the window stays live, no polling): a round
// ends once something was handled, which is when done() may have changed, or at the deadline.
// The terminal's epoll loop takes the deadline into its blocking call; under Qt's loop it is set
// on a timer descriptor.
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
    // The loop a wait runs on is that of the thread's application, looked up at the first wait.
    EpollDispatcher* lean_ = nullptr;
    bool leanKnown_ = false;
};

} // namespace psucal
