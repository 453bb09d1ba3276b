#include "sim/PtyHost.h"

#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace psucal::sim {

namespace {
constexpr double Turnaround = 0.001;
constexpr int RetryMs = 5; // the client is not draining the line; try again shortly
} // namespace

PtyHost::PtyHost(Responder responder, double charTime, QObject* parent)
    : QObject(parent), responder_(std::move(responder)), charTime_(charTime)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PtyHost::pump);
    elapsed_.start();
}

PtyHost::~PtyHost()
{
    shut();
}

bool PtyHost::start(QString* error)
{
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    char name[PATH_MAX] = {};
    if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("openpty failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        master_ = slave_ = -1;
        return false;
    }
    // Holding the slave open keeps the master readable while the client closes and reopens.
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    slavePath_ = QString::fromLocal8Bit(name);
    if (!linkPath_.isEmpty()) {
        QFile::remove(linkPath_);
        QFile::link(slavePath_, linkPath_);
    }
    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &PtyHost::onReadable);
    rxFree_ = txFree_ = now();
    return true;
}

void PtyHost::onReadable()
{
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0)
        return;
    const double due = std::max(now(), rxFree_) + n * charTime_;
    rxFree_ = due;
    in_.push_back({due, QByteArray(buffer, static_cast<int>(n))});
    reschedule();
}

void PtyHost::pump()
{
    const double t = now();
    while (!in_.empty() && in_.front().due <= t) {
        const Inbound item = in_.front();
        in_.pop_front();
        for (const Answer& a : responder_(item.bytes)) {
            if (a.vanish) {
                vanish(a.restoreAfter);
                return;
            }
            const double start = std::max(item.due + Turnaround + a.extraDelay, txFree_);
            for (int i = 0; i < a.bytes.size(); ++i)
                out_.push_back({start + (i + 1) * charTime_, a.bytes[i]});
            txFree_ = start + a.bytes.size() * charTime_;
        }
    }
    // Replies are queued in order of their due times, so the due ones sit at the front.
    QByteArray chunk;
    for (auto it = out_.begin(); it != out_.end() && it->due <= t; ++it)
        chunk += it->c;
    blocked_ = false;
    if (!chunk.isEmpty()) {
        const ssize_t written = ::write(master_, chunk.constData(), chunk.size());
        if (written > 0)
            out_.erase(out_.begin(), out_.begin() + written);
        blocked_ = written < chunk.size();
    }
    reschedule();
}

void PtyHost::reschedule()
{
    if (master_ < 0)
        return;
    double next = -1;
    if (!in_.empty())
        next = in_.front().due;
    if (!out_.empty() && (next < 0 || out_.front().due < next))
        next = out_.front().due;
    if (next < 0) {
        timer_.stop();
        return;
    }
    const int ms = blocked_ ? RetryMs : static_cast<int>(std::ceil((next - now()) * 1000));
    timer_.start(std::max(ms, 0));
}

void PtyHost::vanish(double restoreAfter)
{
    shut();
    if (restoreAfter > 0) {
        QTimer::singleShot(static_cast<int>(restoreAfter * 1000), this, [this] {
            if (start(nullptr))
                emit portChanged(slavePath_);
        });
    }
}

void PtyHost::shut()
{
    timer_.stop();
    in_.clear();
    out_.clear();
    delete notifier_;
    notifier_ = nullptr;
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
}

} // namespace psucal::sim
