#include "sim/TcpHost.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace psucal::sim {

namespace {
constexpr double Turnaround = 0.001;
} // namespace

TcpHost::TcpHost(PtyHost::Responder responder, QObject* parent) : QObject(parent), responder_(std::move(responder))
{
    connect(&timer_, &DeadlineTimer::timeout, this, &TcpHost::pump);
}

TcpHost::~TcpHost()
{
    vanish(0);
}

bool TcpHost::start(int port, QString* error)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof at;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(listener_, 1) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &len) != 0) {
        if (error)
            *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(std::strerror(errno));
        vanish(0);
        return false;
    }
    port_ = ntohs(at.sin_port);
    accepting_ = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
    connect(accepting_, &QSocketNotifier::activated, this, &TcpHost::onAccept);
    return true;
}

// A new client replaces the one before, as an instrument's single SCPI socket does.
void TcpHost::onAccept()
{
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    dropClient();
    client_ = fd;
    reading_ = new QSocketNotifier(client_, QSocketNotifier::Read, this);
    connect(reading_, &QSocketNotifier::activated, this, &TcpHost::onReadable);
}

void TcpHost::onReadable()
{
    char buffer[4096];
    const ssize_t n = ::read(client_, buffer, sizeof buffer);
    if (n <= 0) {
        if (n == 0 || errno != EAGAIN)
            dropClient();
        return;
    }
    const double now = DeadlineTimer::now();
    for (const Answer& a : responder_(QByteArray(buffer, static_cast<int>(n)))) {
        if (a.vanish) {
            vanish(a.restoreAfter);
            return;
        }
        const double due = std::max(now + Turnaround + a.extraDelay, txFree_);
        txFree_ = due;
        if (!a.bytes.isEmpty())
            out_.push_back({due, a.bytes});
    }
    pump();
}

void TcpHost::pump()
{
    const double now = DeadlineTimer::now();
    while (!out_.empty() && out_.front().due <= now) {
        if (client_ >= 0)
            ::send(client_, out_.front().bytes.constData(), static_cast<size_t>(out_.front().bytes.size()), MSG_NOSIGNAL);
        out_.pop_front();
    }
    if (!out_.empty())
        timer_.start(out_.front().due);
}

void TcpHost::dropClient()
{
    out_.clear();
    delete reading_;
    reading_ = nullptr;
    if (client_ >= 0)
        ::close(client_);
    client_ = -1;
}

void TcpHost::vanish(double restoreAfter)
{
    dropClient();
    delete accepting_;
    accepting_ = nullptr;
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = -1;
    if (restoreAfter > 0)
        QTimer::singleShot(static_cast<int>(restoreAfter * 1000), this, [this] { start(port_, nullptr); });
}

} // namespace psucal::sim
