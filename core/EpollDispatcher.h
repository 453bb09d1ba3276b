#pragma once

#include <QAbstractEventDispatcher>
#include <QAtomicInt>
#include <QHash>

#include <vector>

struct epoll_event;

namespace psucal {

// The event loop of the windowless face. Every watched descriptor sits in one epoll set, so a
// round costs one call to block and nothing to rebuild, and a waiter's deadline goes straight
// into that call to the nanosecond, with no timer descriptor to set. The window keeps the
// platform's loop, which also carries the window system's events; this one has none to carry.
class EpollDispatcher : public QAbstractEventDispatcher {
    Q_OBJECT
public:
    explicit EpollDispatcher(QObject* parent = nullptr);
    ~EpollDispatcher() override;

    // The calling thread's dispatcher when it is one of these.
    static EpollDispatcher* current();

    // The next round that may block returns by this instant (seconds of CLOCK_MONOTONIC) at the
    // latest, whatever else it waits for. Only that round is bounded by it.
    void wakeBy(double at) { wakeBy_ = at; }

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;
    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;
    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType, QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;
    void wakeUp() override;
    void interrupt() override;

private:
    struct Watched {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
        QSocketNotifier* exception = nullptr;
        // Not pollable by epoll (a regular file, say): ready every round, as poll() would say.
        bool alwaysReady = false;
    };
    struct Timer {
        int id;
        qint64 interval; // milliseconds
        Qt::TimerType type;
        QObject* object;
        double due;
        bool running = false;
    };

    void update(int fd);
    void block(double until, epoll_event* events, int* count);
    int activateNotifiers(const epoll_event* events, int count);
    int activate(int fd, QSocketNotifier* Watched::*which);
    int activateTimers();
    double nextTimerDue() const;
    Timer* timer(int id);

    int epoll_ = -1;
    int wakeFd_ = -1;
    QAtomicInt wakePending_;
    QAtomicInt interrupted_;
    QHash<int, Watched> watched_;
    int alwaysReady_ = 0;
    std::vector<Timer> timers_;
    double wakeBy_ = -1;
    // How much later than asked the kernel lets a wait end: a share of its length, and at least
    // the thread's timer slack.
    double lateShare_ = 1e-3;
    double lateLeast_ = 1e-6;
};

} // namespace psucal
