#include "link/SerialTransport.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace psucal {

namespace {
constexpr int MaxVmin = 255; // VMIN is one byte
} // namespace

SerialTransport::SerialTransport(Settings settings) : settings_(settings)
{
    QObject::connect(&port_, &QSerialPort::readyRead, [this] {
        if (expected_ > 0)
            rearm();
        notifyActivity();
    });
    QObject::connect(&port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
        // A vanished device (USB adapter pulled) must not leave a waiter hanging on it.
        if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError || e == QSerialPort::PermissionError) {
            if (port_.isOpen())
                port_.close();
        }
        if (e != QSerialPort::NoError)
            notifyActivity();
    });
}

SerialTransport::~SerialTransport()
{
    close();
}

QString SerialTransport::devicePath(const QString& name)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-4])$"));
    const auto m = com.match(name);
    if (m.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(m.captured(1).toInt() - 1);
    return name;
}

void SerialTransport::setPortName(const QString& name)
{
    name_ = name;
}

bool SerialTransport::open()
{
    if (port_.isOpen())
        return true;
    if (name_.isEmpty())
        return false;
    port_.setPortName(devicePath(name_));
    port_.setReadBufferSize(settings_.readBuffer);
    denied_.clear();
    if (!port_.open(QIODevice::ReadWrite)) {
        // Not the cable but the user's groups: the operator needs to hear which.
        const QString path = devicePath(name_);
        if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0 && errno == EACCES)
            denied_ = path;
        return false;
    }
    vmin_ = 0;
    vminRefused_ = false;
    expected_ = 0;
    // Settings go after open: a pseudo-terminal refuses some of them, which is harmless.
    port_.setBaudRate(settings_.baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(settings_.stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setDataTerminalReady(true);
    port_.clearError();
    return true;
}

void SerialTransport::close()
{
    if (port_.isOpen())
        port_.close();
}

bool SerialTransport::isOpen() const
{
    return port_.isOpen();
}

void SerialTransport::discard()
{
    if (!port_.isOpen())
        return;
    port_.clear(QSerialPort::AllDirections);
    port_.readAll();
}

bool SerialTransport::write(const QByteArray& bytes)
{
    if (!port_.isOpen())
        return false;
    return port_.write(bytes) == bytes.size();
}

qint64 SerialTransport::bytesAvailable() const
{
    return port_.isOpen() ? port_.bytesAvailable() + pending() : 0;
}

QByteArray SerialTransport::readAll()
{
    if (!port_.isOpen())
        return QByteArray();
    QByteArray bytes = port_.readAll();
    // What the descriptor still holds, as when a wait for a count ended at its deadline. A tty
    // hands out at most 64 bytes a read.
    const qsizetype start = bytes.size();
    const qint64 held = pending();
    bytes.resize(start + held);
    qsizetype got = 0;
    while (got < held) {
        const ssize_t n = ::read(port_.handle(), bytes.data() + start + got, static_cast<size_t>(held - got));
        if (n <= 0)
            break;
        got += n;
    }
    bytes.resize(start + got);
    expected_ = 0;
    setVmin(0);
    return bytes;
}

void SerialTransport::expect(qint64 count)
{
    expected_ = count;
    rearm();
}

// In raw mode with VTIME 0 the descriptor polls readable only once VMIN bytes wait, so one
// reply wakes the program once (once per 255 bytes of a longer one) instead of once per byte.
void SerialTransport::rearm()
{
    const qint64 left = expected_ - port_.bytesAvailable();
    setVmin(left > 1 ? static_cast<int>(std::min<qint64>(left, MaxVmin)) : 0);
}

void SerialTransport::setVmin(int count)
{
    if (count == vmin_ || vminRefused_ || !port_.isOpen())
        return;
    const int fd = port_.handle();
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        tio.c_cc[VMIN] = static_cast<cc_t>(count);
        tio.c_cc[VTIME] = 0;
        // tcsetattr succeeds when any of the settings took: read back what the port holds.
        termios now{};
        if (::tcsetattr(fd, TCSANOW, &tio) == 0 && ::tcgetattr(fd, &now) == 0 && now.c_cc[VMIN] == count &&
            now.c_cc[VTIME] == 0) {
            vmin_ = count;
            return;
        }
    }
    // A port that refuses it wakes the program for every byte, as it always could.
    vminRefused_ = true;
    if (::tcgetattr(fd, &tio) == 0 && tio.c_cc[VMIN] != 0) {
        tio.c_cc[VMIN] = 0;
        ::tcsetattr(fd, TCSANOW, &tio);
    }
}

// Bytes the descriptor has received that QSerialPort has not read yet.
qint64 SerialTransport::pending() const
{
    int n = 0;
    if (::ioctl(port_.handle(), FIONREAD, &n) != 0)
        return 0;
    return n;
}

} // namespace psucal
