#include "link/LowLatency.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace psucal::lowlatency {

namespace {

// Whether the driver keeps the flag set; `refused` when it would but this user may not.
bool SetFlag(int fd, bool* refused)
{
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return false;
    if (info.flags & ASYNC_LOW_LATENCY)
        return true;
    info.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &info) != 0) {
        *refused = errno == EPERM || errno == EACCES;
        return false;
    }
    // Some drivers take the call and drop the flag.
    serial_struct now{};
    return ::ioctl(fd, TIOCGSERIAL, &now) == 0 && (now.flags & ASYNC_LOW_LATENCY);
}

// The kernel's name of the tty behind `path`: /dev/ttyUSB0 is ttyUSB0, /dev/pts/3 is pts3.
QString KernelName(const QString& path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString dev = QStringLiteral("/dev/");
    return (real.startsWith(dev) ? real.mid(dev.size()) : QFileInfo(path).fileName()).remove(u'/');
}

} // namespace

QString Apply(int fd, const QString& path, const QString& sysfsTty)
{
    bool refused = false;
    const bool set = SetFlag(fd, &refused);
    const QString name = KernelName(path);
    const QString device = QDir(sysfsTty).filePath(name + QStringLiteral("/device"));
    // The timer sits on the adapter's port, or on the interface above it.
    for (const QString& at : {device, device + QStringLiteral("/..")}) {
        QFile timer(at + QStringLiteral("/latency_timer"));
        if (!timer.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const int ms = QString::fromLatin1(timer.readAll()).trimmed().toInt(&ok);
        if (!ok || ms <= 1)
            return QString();
        return QStringLiteral("%1: the USB adapter holds each reply up to %2 ms (its latency timer), so a run takes "
                              "longer. Set the timer to 1 ms with: echo 1 | sudo tee %3 (see the README for a udev "
                              "rule that keeps it set)")
            .arg(path)
            .arg(ms)
            .arg(QFileInfo(timer).canonicalFilePath());
    }
    if (!set && refused && QFileInfo::exists(device))
        return QStringLiteral("%1: the port's low-latency flag may not be set by this user, so replies may come late. "
                              "Set it with: sudo setserial %1 low_latency (see the README for a udev rule)")
            .arg(path);
    return QString();
}

} // namespace psucal::lowlatency
