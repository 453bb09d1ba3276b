#pragma once

#include "core/Clock.h"
#include "core/DeadlineTimer.h"

#include <QObject>

#include <vector>

namespace psucal {

class RealClock : public QObject, public Clock {
    Q_OBJECT
public:
    RealClock();

    double now() const override;
    bool waitUntil(double deadline, const std::function<bool()>& done) override;
    void wake() override;
    // False when waits fall back to millisecond timers.
    bool isPrecise() const { return timer_.isPrecise(); }

signals:
    void woken();

private:
    void arm();

    double origin_;
    DeadlineTimer timer_;
    // Deadlines of the waits in progress, the innermost last: a handler may wait inside a wait.
    std::vector<double> deadlines_;
};

} // namespace psucal
