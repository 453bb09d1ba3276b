#include "sim/PtyHost.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

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
constexpr double Retry = 0.005; // the client is not draining the line; try again shortly
} // namespace

PtyHost::PtyHost(Responder responder, double charTime, QObject* parent)
    : QObject(parent), responder_(std::move(responder)), charTime_(charTime)
{
    connect(&timer_, &DeadlineTimer::timeout, this, &PtyHost::pump);
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
    rxFree_ = txFree_ = origin_ = now();
    return true;
}

void PtyHost::onReadable()
{
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0)
        return;
    const double start = pace_ == Pace::Fast ? now() : std::max(now(), rxFree_);
    const double due = pace_ == Pace::Fast ? start : start + static_cast<double>(n) * charTime_;
    rxFree_ = due;
    if (observer_)
        observer_(start, due, true, QByteArray(buffer, static_cast<int>(n)));
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
            const double end = pace_ == Pace::Fast ? start : start + static_cast<double>(a.bytes.size()) * charTime_;
            queueReply(start, a.bytes);
            txFree_ = end;
            if (observer_ && !a.bytes.isEmpty())
                observer_(start, end, false, a.bytes);
        }
    }
    // Pieces are queued in order of their due times; each due one goes in a write of its own.
    blocked_ = false;
    while (!out_.empty() && out_.front().due <= t) {
        QByteArray& piece = out_.front().bytes;
        const ssize_t written = ::write(master_, piece.constData(), static_cast<size_t>(piece.size()));
        if (written < piece.size()) {
            piece.remove(0, std::max<qsizetype>(written, 0));
            blocked_ = true;
            break;
        }
        out_.pop_front();
    }
    reschedule();
}

void PtyHost::queueReply(double start, const QByteArray& bytes)
{
    if (pace_ == Pace::Fast) {
        if (!bytes.isEmpty())
            out_.push_back({start, bytes});
        return;
    }
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        double due = start + static_cast<double>(i + 1) * charTime_;
        if (pace_ == Pace::Usb)
            due = origin_ + std::ceil((due - origin_) / packetEvery_) * packetEvery_;
        // Characters released at the same moment travel in one piece, as in one packet.
        if (!out_.empty() && out_.back().due == due)
            out_.back().bytes += bytes[i];
        else
            out_.push_back({due, bytes.mid(i, 1)});
    }
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
    timer_.start(blocked_ ? now() + Retry : next);
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
