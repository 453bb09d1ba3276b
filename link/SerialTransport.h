#pragma once

#include "link/DescriptorTransport.h"
#include "link/KernelTermios.h"

namespace psucal {

// A real RS-232 port, driven through its descriptor so that an exchange costs only the calls it
// needs. "COM1".."COM4" name /dev/ttyS0../dev/ttyS3; any other name is a device path.
class SerialTransport : public DescriptorTransport {
public:
    struct Settings {
        int baud = 9600;
        int stopBits = 1;
    };
    explicit SerialTransport(Settings settings);

    bool open() override;
    QString deniedDevice() const override { return denied_; }
    QString missingDevice() const override { return missing_; }
    void close() override;
    void discard() override;
    bool write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override;
    QByteArray readAll() override;
    void expect(qint64 count) override;

    // Whether the port holds back wake-ups until an expected count (false: one per arrival).
    bool defersWakeUps() const { return isOpen() && !vminRefused_; }

    static QString devicePath(const QString& name);

private:
    bool configure();
    void onReadable() override;
    void setVmin(int count) const;
    void settle() const;
    int wantedVmin() const;

    Settings settings_;
    QString denied_;
    QString missing_;
    qint64 expected_ = 0;
    // The settings as last set, so that a VMIN change is one call.
    mutable KernelTermios kernel_;
    mutable int vmin_ = 1;
    mutable bool flushDue_ = false;
    bool vminRefused_ = false;
};

} // namespace psucal
