#pragma once

#include "core/Clock.h"

#include <QElapsedTimer>
#include <QObject>

namespace psucal {

class RealClock : public QObject, public Clock {
    Q_OBJECT
public:
    RealClock();

    double now() const override;
    bool waitUntil(double deadline, const std::function<bool()>& done) override;
    void wake() override;

signals:
    void woken();

private:
    QElapsedTimer timer_;
};

} // namespace psucal
