#include "core/RealClock.h"

#include <QEventLoop>

namespace psucal {

RealClock::RealClock() : origin_(DeadlineTimer::now())
{
    connect(&timer_, &DeadlineTimer::timeout, this, &RealClock::onTimer);
}

RealClock::~RealClock() = default;

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

        const size_t depth = waits_.size();
        if (loops_.size() <= depth)
            loops_.push_back(std::make_unique<QEventLoop>());
        QEventLoop* loop = loops_[depth].get();
        waits_.push_back(Wait{deadline, &done, loop});
        arm();
        loop->exec();
        waits_.pop_back();
        // The enclosing wait's deadline may have passed meanwhile: re-armed in the past, the
        // timer goes off at once and ends that wait too.
        arm();
    }
}

void RealClock::wake()
{
    // An enclosing wait told to end returns as soon as the inner ones have.
    for (size_t i = 0; i < waits_.size(); ++i) {
        if ((*waits_[i].done)())
            waits_[i].loop->quit();
    }
}

void RealClock::onTimer()
{
    const double t = now();
    for (const Wait& w : waits_) {
        if (t >= w.deadline)
            w.loop->quit();
    }
}

void RealClock::arm()
{
    if (waits_.empty())
        timer_.stop();
    else
        timer_.start(origin_ + waits_.back().deadline);
}

} // namespace psucal
