#include "link/SerialTransport.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <utility>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace psucal {

namespace {
// Above 64 a tty hands out its input 64 bytes a read, so a larger count would cost more reads
// than the wake-ups it saves.
constexpr int MaxVmin = 64;

speed_t Speed(int baud)
{
    static const std::pair<int, speed_t> speeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},
                                                     {9600, B9600},   {19200, B19200}, {38400, B38400},
                                                     {57600, B57600}, {115200, B115200}};
    for (const auto& [rate, speed] : speeds)
        if (rate == baud)
            return speed;
    return B9600;
}
} // namespace

SerialTransport::SerialTransport(Settings settings) : settings_(settings) {}

QString SerialTransport::devicePath(const QString& name)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-4])$"));
    const auto m = com.match(name);
    if (m.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(m.captured(1).toInt() - 1);
    return name;
}

bool SerialTransport::open()
{
    if (isOpen())
        return true;
    denied_.clear();
    missing_.clear();
    error_.clear();
    if (name_.isEmpty())
        return false;
    const QString path = devicePath(name_);
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        const int e = errno;
        if (e == EACCES || e == EPERM)
            denied_ = path;
        else if (e == ENOENT || e == ENODEV || e == ENXIO || e == ENOTDIR)
            missing_ = path;
        error_ = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(e)));
        return false;
    }
    // One program a port: a second one would take the other's replies.
    const bool locked = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    if (!locked || !configure()) {
        error_ = QStringLiteral("%1: %2").arg(path, locked ? QStringLiteral("not a serial port")
                                                           : QStringLiteral("in use by another program"));
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    expected_ = 0;
    flushDue_ = false;
    adopt(fd_);
    return true;
}

// Raw 8N1 (or 8N2), no flow control, DTR asserted; readable from the first byte.
bool SerialTransport::configure()
{
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    if (settings_.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    else
        tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    ::cfsetispeed(&tio, Speed(settings_.baud));
    ::cfsetospeed(&tio, Speed(settings_.baud));
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
        return false;
    // tcsetattr succeeds when any of the settings took: read back whether VMIN did.
    termios now{};
    vminRefused_ = ::tcgetattr(fd_, &now) != 0 || now.c_cc[VMIN] != 1 || now.c_cc[VTIME] != 0;
    vmin_ = 1;
    if (!kernel_.load(fd_))
        vminRefused_ = true;
    // Other programs cannot open it meanwhile (root still can).
    ::ioctl(fd_, TIOCEXCL);
    // A pseudo-terminal has no modem lines, which is harmless.
    const int dtr = TIOCM_DTR;
    ::ioctl(fd_, TIOCMBIS, &dtr);
    return true;
}

void SerialTransport::close()
{
    DescriptorTransport::close();
    received_.clear();
    expected_ = 0;
}

void SerialTransport::discard()
{
    // The kernel's buffers are flushed with the next frame, in the call that sets its count.
    received_.clear();
    flushDue_ = isOpen();
}

bool SerialTransport::write(const QByteArray& bytes)
{
    settle();
    return DescriptorTransport::write(bytes);
}

qint64 SerialTransport::bytesAvailable() const
{
    settle();
    return received_.size();
}

QByteArray SerialTransport::readAll()
{
    settle();
    // Bytes fewer than the wait's count stay with the kernel until read: a short reply at its deadline.
    if (isOpen() && received_.size() < expected_)
        readInput();
    expected_ = 0;
    return std::exchange(received_, QByteArray());
}

void SerialTransport::expect(qint64 count)
{
    expected_ = count;
    if (!flushDue_)
        setVmin(wantedVmin());
}

// In raw mode with VTIME 0 the descriptor polls readable only once VMIN bytes wait, so one reply
// wakes the program once instead of once per byte. Without a count, every byte is wanted.
int SerialTransport::wantedVmin() const
{
    if (expected_ <= 0)
        return 1;
    const qint64 left = expected_ - received_.size();
    if (left <= 0)
        return vmin_;
    return static_cast<int>(std::clamp<qint64>(left, 1, MaxVmin));
}

void SerialTransport::setVmin(int count) const
{
    if (count == vmin_ || vminRefused_ || !isOpen())
        return;
    if (kernel_.setVmin(fd_, count, false))
        vmin_ = count;
}

// The flush a discard() asked for and the count the next wait wants, in one call when both are due.
void SerialTransport::settle() const
{
    const int want = wantedVmin();
    if (!flushDue_) {
        if (expected_ <= 0)
            setVmin(want);
        return;
    }
    flushDue_ = false;
    if (!isOpen())
        return;
    // The flushing form drops unread input as it sets VMIN; what was sent before has long left the line.
    if (want != vmin_ && !vminRefused_ && kernel_.setVmin(fd_, want, true)) {
        vmin_ = want;
        return;
    }
    ::tcflush(fd_, TCIOFLUSH);
}

void SerialTransport::onReadable()
{
    readInput();
    if (expected_ > 0)
        setVmin(wantedVmin());
    notifyActivity();
}

} // namespace psucal
