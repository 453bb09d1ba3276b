#pragma once

#include "link/Transport.h"

#include <QSerialPort>

namespace psucal {

// A real RS-232 port. "COM1".."COM4" name /dev/ttyS0../dev/ttyS3; any other name is a
// device path or a name QSerialPortInfo knows.
class SerialTransport : public Transport {
public:
    struct Settings {
        qint32 baud = 9600;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
        qint64 readBuffer = 2048;
    };
    explicit SerialTransport(Settings settings);
    ~SerialTransport() override;

    void setPortName(const QString& name) override;
    QString portName() const override { return name_; }
    bool open() override;
    void close() override;
    bool isOpen() const override;
    void discard() override;
    bool write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;

    static QString devicePath(const QString& name);

private:
    Settings settings_;
    QString name_;
    QSerialPort port_;
};

} // namespace psucal
