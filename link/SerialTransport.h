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
    double lookAfter() override;

    // The device a port name opens: COM1..COM4 as /dev/ttyS0..3, a path as it is, a bare name
    // under /dev/serial/by-id when an adapter has it there, else under /dev.
    static QString devicePath(const QString& name);

private:
    bool configure();
    void look();
    bool awaitRest();
    // Start bit, eight data bits and the stop bits.
    double charTime() const { return (9.0 + settings_.stopBits) / settings_.baud; }
    void learn(bool wholeAtLook);
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
    // A reply read on the waiter's schedule: when its frame went, and how long frame and reply
    // take on the line.
    bool timed_ = false;
    bool looksItself_ = false; // the waiter has taken timed replies before
    bool lateReply_ = false;
    double writtenAt_ = 0;
    double lineTime_ = 0;
    qsizetype frameSize_ = 0;
    double turnaround_ = -1; // how long after its frame a reply starts; not known yet
};

} // namespace psucal
