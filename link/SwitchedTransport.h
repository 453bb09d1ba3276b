#pragma once

#include "link/SerialTransport.h"

#include <memory>

namespace psucal {

// A port whose kind follows its name: "tcp://HOST[:PORT]" a network socket, "/dev/usbtmcN" a
// USBTMC device, anything else a serial port with `serial` settings. The kind changes as the
// operator picks another port; the activity callback follows it.
class SwitchedTransport : public Transport {
public:
    explicit SwitchedTransport(SerialTransport::Settings serial);
    ~SwitchedTransport() override;

    static std::unique_ptr<Transport> Make(const QString& name, SerialTransport::Settings serial);

    void setPortName(const QString& name) override;
    QString portName() const override { return port_->portName(); }
    bool open() override { return port_->open(); }
    QString deniedDevice() const override { return port_->deniedDevice(); }
    QString missingDevice() const override { return port_->missingDevice(); }
    QString errorText() const override { return port_->errorText(); }
    QString lineAdvice() const override { return port_->lineAdvice(); }
    void close() override { port_->close(); }
    bool gone() const override { return port_->gone(); }
    bool isOpen() const override { return port_->isOpen(); }
    void discard() override { port_->discard(); }
    bool write(const QByteArray& bytes) override { return port_->write(bytes); }
    qint64 bytesAvailable() const override { return port_->bytesAvailable(); }
    QByteArray readAll() override { return port_->readAll(); }
    void expect(qint64 count) override { port_->expect(count); }
    double lookAfter() override { return port_->lookAfter(); }

    Transport& current() { return *port_; }

private:
    SerialTransport::Settings serial_;
    std::unique_ptr<Transport> port_;
};

} // namespace psucal
