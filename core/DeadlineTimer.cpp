#include "core/DeadlineTimer.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace psucal {

DeadlineTimer::DeadlineTimer(QObject* parent) : QObject(parent)
{
    fallback_.setSingleShot(true);
    fallback_.setTimerType(Qt::PreciseTimer);
    connect(&fallback_, &QTimer::timeout, this, &DeadlineTimer::timeout);
    fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
}

DeadlineTimer::~DeadlineTimer()
{
    delete notifier_;
    if (fd_ >= 0)
        ::close(fd_);
}

double DeadlineTimer::now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void DeadlineTimer::start(double at)
{
    if (fd_ >= 0) {
        // The notifier is made here, not with the timer: one made before the application
        // object has no event loop to watch it and would never go off.
        if (!notifier_) {
            notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
            connect(notifier_, &QSocketNotifier::activated, this, &DeadlineTimer::onReadable);
        }
        if (armed_ && at == armedAt_)
            return;
        // An all-zero it_value would disarm the timer: an instant already past goes off after 1 ns.
        itimerspec when{};
        const double whole = std::floor(at);
        when.it_value.tv_sec = static_cast<time_t>(whole);
        when.it_value.tv_nsec = std::clamp(static_cast<long>((at - whole) * 1e9), 0L, 999999999L);
        if (when.it_value.tv_sec <= 0 && when.it_value.tv_nsec <= 0) {
            when.it_value.tv_sec = 0;
            when.it_value.tv_nsec = 1;
        }
        if (::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &when, nullptr) == 0) {
            armed_ = true;
            armedAt_ = at;
            return;
        }
    }
    const double ms = std::ceil((at - now()) * 1000.0);
    fallback_.start(ms > 0 ? static_cast<int>(std::min(ms, 2e9)) : 0);
}

void DeadlineTimer::stop()
{
    fallback_.stop();
    armed_ = false;
    if (fd_ >= 0) {
        const itimerspec off{};
        ::timerfd_settime(fd_, 0, &off, nullptr);
    }
}

// A wait that ends on its deadline starts the next one at once, and setting the timer clears its
// expiry: the expiry is read only when it goes off a second time without that, so an idle loop
// does not spin on it.
void DeadlineTimer::onReadable()
{
    if (armed_) {
        armed_ = false;
        emit timeout();
        return;
    }
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
}

} // namespace psucal
