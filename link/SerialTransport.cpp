#include "link/SerialTransport.h"

#include <QRegularExpression>

namespace psucal {

SerialTransport::SerialTransport(Settings settings) : settings_(settings)
{
    QObject::connect(&port_, &QSerialPort::readyRead, [this] { notifyActivity(); });
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

SerialTransport::~SerialTransport() { close(); }

QString SerialTransport::devicePath(const QString& name)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-4])$"));
    const auto m = com.match(name);
    if (m.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(m.captured(1).toInt() - 1);
    return name;
}

void SerialTransport::setPortName(const QString& name) { name_ = name; }

bool SerialTransport::open()
{
    if (port_.isOpen())
        return true;
    if (name_.isEmpty())
        return false;
    port_.setPortName(devicePath(name_));
    port_.setReadBufferSize(settings_.readBuffer);
    if (!port_.open(QIODevice::ReadWrite))
        return false;
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

bool SerialTransport::isOpen() const { return port_.isOpen(); }

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

qint64 SerialTransport::bytesAvailable() const { return port_.isOpen() ? port_.bytesAvailable() : 0; }

QByteArray SerialTransport::readAll() { return port_.isOpen() ? port_.readAll() : QByteArray(); }

} // namespace psucal
