#include "core/EpollDispatcher.h"

#include "core/DeadlineTimer.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace psucal {

namespace {
constexpr int MaxEvents = 32;
constexpr double Never = std::numeric_limits<double>::infinity();

std::uint32_t Mask(QSocketNotifier* read, QSocketNotifier* write, QSocketNotifier* exception)
{
    return (read ? EPOLLIN : 0U) | (write ? EPOLLOUT : 0U) | (exception ? EPOLLPRI : 0U);
}

// Kernels before 5.11 lack the nanosecond wait; they get whole milliseconds, rounded up so that
// a round never ends before its instant.
bool nanosecondWait = true;
} // namespace

EpollDispatcher::EpollDispatcher(QObject* parent) : QAbstractEventDispatcher(parent)
{
    // The kernel may end a wait up to its timer slack late (50 us unless set): a waiter's
    // deadline is the point of this loop, and its thread wakes a few times a second at most.
    if (::prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL) != 0)
        lateLeast_ = 50e-6;
    // On top of that, a sleep may run over by a share of its length: none for a real-time
    // thread, five times as much for a niced one.
    const int policy = ::sched_getscheduler(0);
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (policy == SCHED_FIFO || policy == SCHED_RR)
        lateShare_ = lateLeast_ = 0;
    else if (errno == 0 && nice > 0)
        lateShare_ = 5e-3;
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epoll_ >= 0 && wakeFd_ >= 0) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = wakeFd_;
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wakeFd_, &ev);
    }
}

EpollDispatcher::~EpollDispatcher()
{
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    if (epoll_ >= 0)
        ::close(epoll_);
}

EpollDispatcher* EpollDispatcher::current()
{
    return qobject_cast<EpollDispatcher*>(QAbstractEventDispatcher::instance());
}

bool EpollDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags)
{
    // Taken first: a handler below may run a wait of its own, which sets and spends its own.
    const double wakeBy = std::exchange(wakeBy_, -1.0);
    interrupted_.storeRelaxed(0);
    emit awake();
    QCoreApplication::sendPostedEvents();

    const bool withTimers = !(flags & QEventLoop::X11ExcludeTimers);
    const bool mayBlock = (flags & QEventLoop::WaitForMoreEvents) && alwaysReady_ == 0;
    if (mayBlock && !interrupted_.loadRelaxed())
        emit aboutToBlock();
    if (interrupted_.loadRelaxed())
        return false;

    double until = 0;
    if (mayBlock) {
        until = withTimers ? nextTimerDue() : Never;
        if (wakeBy >= 0)
            until = std::min(until, wakeBy);
    }
    epoll_event events[MaxEvents];
    int count = 0;
    block(until, events, &count);

    int handled = 0;
    for (int i = 0; i < count; ++i) {
        if (events[i].data.fd != wakeFd_)
            continue;
        // Cleared before the read: a wake-up from now on writes again and is not lost.
        wakePending_.storeRelease(0);
        std::uint64_t n = 0;
        [[maybe_unused]] const ssize_t r = ::read(wakeFd_, &n, sizeof n);
        ++handled;
    }
    if (!(flags & QEventLoop::ExcludeSocketNotifiers))
        handled += activateNotifiers(events, count);
    if (withTimers)
        handled += activateTimers();
    return handled > 0;
}

// `until` is an instant of the monotonic clock: 0 polls, infinity waits for an event.
void EpollDispatcher::block(double until, epoll_event* events, int* count)
{
    *count = 0;
    if (epoll_ < 0)
        return;
    double left = until == Never ? Never : std::max(0.0, until - DeadlineTimer::now());
    // An idle processor ends a sleep at the far end of the kernel's allowance, a tenth of a
    // percent of the sleep (100 us in 0.1 s): asking for that much less ends it on time.
    // Another interrupt can end it up to that much early instead; the waiter then waits out the
    // rest. The last microsecond or so is slept, not polled for.
    if (left != Never && left > lateLeast_)
        left = left * lateShare_ > lateLeast_ ? left / (1 + lateShare_) : left - lateLeast_;
    int n = -1;
    if (nanosecondWait) {
        timespec ts{};
        if (left != Never) {
            const double whole = std::floor(left);
            ts.tv_sec = static_cast<time_t>(std::min(whole, 1e9));
            ts.tv_nsec = static_cast<long>(std::ceil((left - whole) * 1e9));
            if (ts.tv_nsec >= 1000000000L) {
                ++ts.tv_sec;
                ts.tv_nsec -= 1000000000L;
            }
        }
        n = ::epoll_pwait2(epoll_, events, MaxEvents, left == Never ? nullptr : &ts, nullptr);
        if (n < 0 && errno == ENOSYS)
            nanosecondWait = false;
    }
    if (!nanosecondWait) {
        const int ms = left == Never ? -1 : static_cast<int>(std::min(std::ceil(left * 1000), 2e9));
        n = ::epoll_wait(epoll_, events, MaxEvents, ms);
    }
    *count = std::max(n, 0);
}

int EpollDispatcher::activateNotifiers(const epoll_event* events, int count)
{
    int handled = 0;
    for (int i = 0; i < count; ++i) {
        const int fd = events[i].data.fd;
        if (fd == wakeFd_)
            continue;
        const std::uint32_t e = events[i].events;
        if (e & (EPOLLIN | EPOLLHUP | EPOLLERR))
            handled += activate(fd, &Watched::read);
        if (e & (EPOLLOUT | EPOLLERR))
            handled += activate(fd, &Watched::write);
        if (e & EPOLLPRI)
            handled += activate(fd, &Watched::exception);
    }
    if (alwaysReady_ > 0) {
        QList<int> ready;
        for (auto it = watched_.cbegin(); it != watched_.cend(); ++it)
            if (it->alwaysReady)
                ready << it.key();
        for (int fd : ready)
            handled += activate(fd, &Watched::read) + activate(fd, &Watched::write);
    }
    return handled;
}

// Looked up afresh each time: an earlier handler of the round may have switched this one off.
int EpollDispatcher::activate(int fd, QSocketNotifier* Watched::*which)
{
    const auto it = watched_.constFind(fd);
    if (it == watched_.cend() || !((*it).*which))
        return 0;
    QEvent event(QEvent::SockAct);
    QCoreApplication::sendEvent((*it).*which, &event);
    return 1;
}

void EpollDispatcher::registerSocketNotifier(QSocketNotifier* notifier)
{
    const int fd = static_cast<int>(notifier->socket());
    Watched& w = watched_[fd];
    switch (notifier->type()) {
    case QSocketNotifier::Read:
        w.read = notifier;
        break;
    case QSocketNotifier::Write:
        w.write = notifier;
        break;
    case QSocketNotifier::Exception:
        w.exception = notifier;
        break;
    }
    update(fd);
}

void EpollDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier)
{
    const int fd = static_cast<int>(notifier->socket());
    const auto it = watched_.find(fd);
    if (it == watched_.end())
        return;
    for (QSocketNotifier** slot : {&it->read, &it->write, &it->exception})
        if (*slot == notifier)
            *slot = nullptr;
    update(fd);
}

// Brings the epoll entry of `fd` in line with its notifiers; an entry without any is dropped.
void EpollDispatcher::update(int fd)
{
    Watched& w = watched_[fd];
    const std::uint32_t mask = Mask(w.read, w.write, w.exception);
    if (w.alwaysReady) {
        if (mask == 0) {
            --alwaysReady_;
            watched_.remove(fd);
        }
        return;
    }
    epoll_event ev{};
    ev.events = mask;
    ev.data.fd = fd;
    if (mask == 0) {
        // A descriptor closed before its notifier went has left the set already.
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, &ev);
        watched_.remove(fd);
        return;
    }
    if (::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev) == 0)
        return;
    // New, or its number reused after a close that took the old entry with it.
    if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) == 0)
        return;
    if (errno == EPERM) {
        w.alwaysReady = true;
        ++alwaysReady_;
    }
}

void EpollDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType, QObject* object)
{
    timers_.push_back(
        Timer{timerId, interval, timerType, object, DeadlineTimer::now() + static_cast<double>(interval) / 1000});
}

bool EpollDispatcher::unregisterTimer(int timerId)
{
    const auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.id == timerId; });
    if (it == timers_.end())
        return false;
    timers_.erase(it);
    return true;
}

bool EpollDispatcher::unregisterTimers(QObject* object)
{
    const auto before = timers_.size();
    std::erase_if(timers_, [&](const Timer& t) { return t.object == object; });
    return timers_.size() != before;
}

QList<QAbstractEventDispatcher::TimerInfo> EpollDispatcher::registeredTimers(QObject* object) const
{
    QList<TimerInfo> out;
    for (const Timer& t : timers_)
        if (t.object == object)
            out.append(TimerInfo(t.id, static_cast<int>(t.interval), t.type));
    return out;
}

int EpollDispatcher::remainingTime(int timerId)
{
    const Timer* t = timer(timerId);
    if (!t)
        return -1;
    return static_cast<int>(std::max(0.0, std::ceil((t->due - DeadlineTimer::now()) * 1000)));
}

EpollDispatcher::Timer* EpollDispatcher::timer(int id)
{
    const auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.id == id; });
    return it == timers_.end() ? nullptr : &*it;
}

double EpollDispatcher::nextTimerDue() const
{
    double next = Never;
    for (const Timer& t : timers_)
        if (!t.running)
            next = std::min(next, t.due);
    return next;
}

// Each timer that is due goes off once, earliest first. One whose handler is still running (it
// waits inside) is left until it returns; one stopped by an earlier handler does not go off.
int EpollDispatcher::activateTimers()
{
    if (timers_.empty())
        return 0;
    const double now = DeadlineTimer::now();
    std::vector<std::pair<double, int>> due;
    for (const Timer& t : timers_)
        if (!t.running && t.due <= now)
            due.emplace_back(t.due, t.id);
    std::sort(due.begin(), due.end());
    int handled = 0;
    for (const auto& [when, id] : due) {
        Timer* t = timer(id);
        if (!t || t->running)
            continue;
        const double interval = static_cast<double>(t->interval) / 1000;
        // A handler that overran skips the go-offs it missed rather than catching up in a burst.
        t->due += interval;
        if (t->due <= now)
            t->due = now + interval;
        t->running = true;
        // Cleared however the handler leaves; the list may have moved meanwhile.
        const auto done = qScopeGuard([this, id = id] {
            if (Timer* still = timer(id))
                still->running = false;
        });
        QTimerEvent event(id);
        QCoreApplication::sendEvent(t->object, &event);
        ++handled;
    }
    return handled;
}

void EpollDispatcher::wakeUp()
{
    if (wakePending_.testAndSetAcquire(0, 1)) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
}

void EpollDispatcher::interrupt()
{
    interrupted_.storeRelaxed(1);
    wakeUp();
}

} // namespace psucal
