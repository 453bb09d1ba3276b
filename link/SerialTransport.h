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
    QString deniedDevice() const override { return denied_; }
    void close() override;
    bool isOpen() const override;
    void discard() override;
    bool write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;
    void expect(qint64 count) override;

    // Whether the port holds back wake-ups until an expected count (false: one per arrival).
    bool defersWakeUps() const { return isOpen() && !vminRefused_; }

    static QString devicePath(const QString& name);

private:
    void rearm();
    void setVmin(int count);
    qint64 pending() const;

    Settings settings_;
    QString name_;
    QString denied_;
    QSerialPort port_;
    qint64 expected_ = 0;
    int vmin_ = 0; // as QSerialPort opens the port: readable from the first byte
    bool vminRefused_ = false;
};

} // namespace psucal
