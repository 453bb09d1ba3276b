#include "core/RealClock.h"

#include "core/EpollDispatcher.h"

#include <QCoreApplication>

namespace psucal {

RealClock::RealClock() : origin_(DeadlineTimer::now()) {}

double RealClock::now() const
{
    return DeadlineTimer::now() - origin_;
}

// A handler may wait inside a wait: the inner one sets the timer to its own deadline, and the
// outer one sets it back to its own when it looks again. No loop is quit and no wake-up is
// posted, which would cost the calls this is meant to save.
bool RealClock::waitUntil(double deadline, const std::function<bool()>& done)
{
    while (true) {
        if (done())
            return true;
        if (now() >= deadline)
            return done();
        // The windowless loop takes the deadline into its own wait, which saves setting a timer.
        if (!leanKnown_) {
            lean_ = EpollDispatcher::current();
            leanKnown_ = true;
        }
        if (lean_)
            lean_->wakeBy(origin_ + deadline);
        else
            timer_.start(origin_ + deadline);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace psucal
