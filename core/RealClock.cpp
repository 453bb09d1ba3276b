#include "core/RealClock.h"

#include <QEventLoop>
#include <QTimer>

#include <cmath>

namespace psucal {

RealClock::RealClock() { timer_.start(); }

double RealClock::now() const { return static_cast<double>(timer_.nsecsElapsed()) / 1e9; }

bool RealClock::waitUntil(double deadline, const std::function<bool()>& done)
{
    while (true) {
        if (done())
            return true;
        const double left = deadline - now();
        if (left <= 0)
            return done();

        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(this, &RealClock::woken, &loop, [&] {
            if (done())
                loop.quit();
        });
        timer.start(static_cast<int>(std::ceil(left * 1000.0)));
        loop.exec();
    }
}

void RealClock::wake() { emit woken(); }

} // namespace psucal
