#include "core/RealClock.h"

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
        timer_.start(origin_ + deadline);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace psucal
