#pragma once

#include "core/Clock.h"
#include "core/DeadlineTimer.h"

#include <QObject>

#include <memory>
#include <vector>

class QEventLoop;

namespace psucal {

class RealClock : public QObject, public Clock {
    Q_OBJECT
public:
    RealClock();
    ~RealClock() override;

    double now() const override;
    bool waitUntil(double deadline, const std::function<bool()>& done) override;
    void wake() override;
    // False when waits fall back to millisecond timers.
    bool isPrecise() const { return timer_.isPrecise(); }

private:
    struct Wait {
        double deadline;
        const std::function<bool()>* done;
        QEventLoop* loop;
    };
    void onTimer();
    void arm();

    double origin_;
    DeadlineTimer timer_;
    // The waits in progress, the innermost last: a handler may wait inside a wait.
    std::vector<Wait> waits_;
    // One event loop per nesting depth, kept: a calibration waits thousands of times.
    std::vector<std::unique_ptr<QEventLoop>> loops_;
};

} // namespace psucal
