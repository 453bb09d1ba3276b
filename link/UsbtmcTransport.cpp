#include "link/UsbtmcTransport.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace psucal {

bool UsbtmcTransport::IsDevice(const QString& name)
{
    static const QRegularExpression device(QStringLiteral("^/dev/usbtmc\\d+$"));
    return device.match(name.trimmed()).hasMatch();
}

bool UsbtmcTransport::open()
{
    if (isOpen())
        return true;
    missing_.clear();
    denied_.clear();
    error_.clear();
    const QString path = name_.trimmed();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOENT || e == ENODEV || e == ENXIO)
            missing_ = path;
        else if (e == EACCES || e == EPERM)
            denied_ = path;
        error_ = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(e)));
        return false;
    }
    __u32 timeout = ReplyTimeoutMs;
    driver_ = ::ioctl(fd, USBTMC_IOCTL_SET_TIMEOUT, &timeout) == 0;
    // Nothing arrives unasked, so nothing is watched for: a vanished device shows at its next command.
    adopt(fd, Watch::None);
    return true;
}

bool UsbtmcTransport::write(const QByteArray& bytes)
{
    if (!DescriptorTransport::write(bytes))
        return false;
    if (bytes.contains('?'))
        fetch();
    return isOpen();
}

// The driver asks the instrument for its reply as the read is made. Its readiness tells nothing
// about that reply, so only a stand-in's is waited on.
void UsbtmcTransport::fetch()
{
    if (!driver_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ReplyTimeoutMs) != 1)
            return;
    }
    char buffer[4096];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0)
        received_.append(buffer, n);
    else if (n < 0 && errno != ETIMEDOUT && errno != EAGAIN && errno != EINTR)
        lost(QStringLiteral("%1: %2").arg(name_, QString::fromLocal8Bit(std::strerror(errno))));
    notifyActivity();
}

} // namespace psucal
