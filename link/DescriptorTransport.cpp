#include "link/DescriptorTransport.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <poll.h>
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

void DescriptorTransport::adopt(int fd, bool watch)
{
    fd_ = fd;
    gone_ = false;
    received_.clear();
    if (!watch)
        return;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, [this] { onReadable(); });
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
