#include "link/TcpTransport.h"

#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace psucal {

bool TcpTransport::Parse(const QString& name, QString* host, int* port)
{
    static const QRegularExpression form(QStringLiteral("^tcp://(\\[([^\\]]+)\\]|([^:/\\[\\]]+))(:(\\d{1,5}))?/?$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto m = form.match(name.trimmed());
    if (!m.hasMatch())
        return false;
    *host = m.captured(2).isEmpty() ? m.captured(3) : m.captured(2);
    *port = m.captured(5).isEmpty() ? DefaultPort : m.captured(5).toInt();
    return *port > 0 && *port < 65536;
}

bool TcpTransport::open()
{
    if (isOpen())
        return true;
    if (failed_)
        return false;
    error_.clear();
    QString host;
    int port = 0;
    if (!Parse(name_, &host, &port)) {
        error_ = QStringLiteral("%1 is not a network address of the form tcp://HOST[:PORT]").arg(name_);
        return false;
    }
    const int fd = connectTo(host, port);
    if (fd < 0) {
        failed_ = true;
        return false;
    }
    adopt(fd);
    return true;
}

void TcpTransport::lost(const QString&)
{
    failed_ = true;
    DescriptorTransport::lost(QStringLiteral("The connection to the meter at %1 dropped.").arg(where_));
}

// A peer that has gone must not end the program with SIGPIPE.
ssize_t TcpTransport::sendSome(const char* data, size_t size)
{
    return ::send(fd_, data, size, MSG_NOSIGNAL);
}

void TcpTransport::close()
{
    failed_ = false;
    DescriptorTransport::close();
}

// Blocks for at most ConnectTimeoutMs: the port is chosen or a pass begins, nothing else waits on it.
int TcpTransport::connectTo(const QString& host, int port)
{
    where_ = QStringLiteral("%1:%2").arg(host).arg(port);
    const QString& where = where_;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints, &found);
    if (lookup != 0) {
        error_ = QStringLiteral("The meter's host %1 is unknown (%2).").arg(host, QString::fromLocal8Bit(gai_strerror(lookup)));
        return -1;
    }
    int fd = -1;
    int why = ETIMEDOUT;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        int rc = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            rc = ::poll(&p, 1, ConnectTimeoutMs);
            socklen_t len = sizeof why;
            if (rc == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &why, &len) == 0 && why == 0)
                rc = 0;
            else if (rc == 0)
                why = ETIMEDOUT, rc = -1;
            else
                rc = -1;
        } else if (rc != 0) {
            why = errno;
        }
        if (rc != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd < 0) {
        error_ = why == ECONNREFUSED ? QStringLiteral("The meter at %1 refused the connection.").arg(where)
                 : why == ETIMEDOUT  ? QStringLiteral("The meter at %1 did not answer within %2 s.")
                                          .arg(where)
                                          .arg(ConnectTimeoutMs / 1000)
                                     : QStringLiteral("No connection to the meter at %1: %2.")
                                          .arg(where, QString::fromLocal8Bit(std::strerror(why)));
        return -1;
    }
    // Each command is one short line that should leave at once.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

} // namespace psucal
