#include "core/RealClock.h"

#include <QEventLoop>

namespace psucal {

RealClock::RealClock() : origin_(DeadlineTimer::now()) {}

double RealClock::now() const
{
    return DeadlineTimer::now() - origin_;
}

bool RealClock::waitUntil(double deadline, const std::function<bool()>& done)
{
    while (true) {
        if (done())
            return true;
        if (now() >= deadline)
            return done();

        QEventLoop loop;
        QObject::connect(&timer_, &DeadlineTimer::timeout, &loop, [&] {
            if (now() >= deadline)
                loop.quit();
        });
        QObject::connect(this, &RealClock::woken, &loop, [&] {
            if (done())
                loop.quit();
        });
        deadlines_.push_back(deadline);
        arm();
        loop.exec();
        deadlines_.pop_back();
        // The enclosing wait's deadline may have passed meanwhile: re-armed in the past, the
        // timer goes off at once and ends that wait too.
        arm();
    }
}

void RealClock::arm()
{
    if (deadlines_.empty())
        timer_.stop();
    else
        timer_.start(origin_ + deadlines_.back());
}

void RealClock::wake()
{
    emit woken();
}

} // namespace psucal
