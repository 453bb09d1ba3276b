#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace psucal {

// A single-shot timer set to an instant of the monotonic clock. It goes off within the
// kernel's timer resolution of that instant; QTimer rounds to whole milliseconds, which makes
// every reply wait end up to a millisecond late. Where no timer descriptor can be had it falls
// back to a QTimer.
class DeadlineTimer : public QObject {
    Q_OBJECT
public:
    explicit DeadlineTimer(QObject* parent = nullptr);
    ~DeadlineTimer() override;

    // Seconds of CLOCK_MONOTONIC, the clock start() takes its instants on.
    static double now();

    // Goes off at `at` (at once if that has passed); replaces any earlier setting. Setting the
    // instant it is already set to costs nothing.
    void start(double at);
    void stop();
    bool isPrecise() const { return fd_ >= 0; }

signals:
    void timeout();

private:
    void onReadable();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    bool armed_ = false;
    double armedAt_ = 0;
    QTimer fallback_;
};

} // namespace psucal
