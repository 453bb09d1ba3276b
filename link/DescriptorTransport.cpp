#include "link/DescriptorTransport.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>
#include <utility>

namespace psucal {

namespace {
constexpr qsizetype ReadChunk = 4096;
constexpr int FullBufferWaitMs = 1000;
} // namespace

DescriptorTransport::~DescriptorTransport()
{
    drop(false);
}

void DescriptorTransport::adopt(int fd, Watch watch)
{
    fd_ = fd;
    gone_ = false;
    received_.clear();
    if (watch == Watch::None)
        return;
    watching_ = true;
    if (watch == Watch::Gated) {
        gate_ = ::epoll_create1(EPOLL_CLOEXEC);
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd_;
        if (gate_ >= 0 && ::epoll_ctl(gate_, EPOLL_CTL_ADD, fd_, &ev) != 0) {
            ::close(gate_);
            gate_ = -1;
        }
    }
    notifier_ = new QSocketNotifier(gate_ >= 0 ? gate_ : fd_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { onReadable(); });
}

void DescriptorTransport::setWatching(bool on)
{
    if (gate_ < 0 || on == watching_)
        return;
    // An entry without events is asleep: the kernel does not even queue its arrivals as ready.
    epoll_event ev{};
    ev.events = on ? static_cast<std::uint32_t>(EPOLLIN) : 0U;
    ev.data.fd = fd_;
    if (::epoll_ctl(gate_, EPOLL_CTL_MOD, fd_, &ev) == 0)
        watching_ = on;
}

void DescriptorTransport::drop(bool inNotifier)
{
    // A notifier is not deleted inside its own activation.
    if (notifier_ && inNotifier) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
    } else {
        delete notifier_;
    }
    notifier_ = nullptr;
    if (gate_ >= 0)
        ::close(gate_);
    gate_ = -1;
    watching_ = false;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool DescriptorTransport::write(const QByteArray& bytes)
{
    if (!isOpen())
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = sendSome(bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A full transmit buffer drains at the line's rate; one that stays full is a broken port.
        pollfd p{fd_, POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && ::poll(&p, 1, FullBufferWaitMs) == 1 && (p.revents & POLLOUT))
            continue;
        lost(QStringLiteral("%1: cannot send").arg(name_));
        return false;
    }
    return true;
}

ssize_t DescriptorTransport::sendSome(const char* data, size_t size)
{
    return ::write(fd_, data, size);
}

QByteArray DescriptorTransport::readAll()
{
    return std::exchange(received_, QByteArray());
}

bool DescriptorTransport::readInput()
{
    while (isOpen()) {
        const qsizetype start = received_.size();
        received_.resize(start + ReadChunk);
        const ssize_t n = ::read(fd_, received_.data() + start, ReadChunk);
        received_.resize(start + std::max<ssize_t>(n, 0));
        if (n == ReadChunk)
            continue;
        if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR)))
            return true;
        // An empty read on a readable descriptor, or an error, is the far end gone.
        lost(QStringLiteral("%1: the connection was lost").arg(name_));
        return false;
    }
    return false;
}

void DescriptorTransport::onReadable()
{
    readInput();
    notifyActivity();
}

void DescriptorTransport::lost(const QString& why)
{
    error_ = why;
    gone_ = true;
    drop(true);
}

} // namespace psucal
