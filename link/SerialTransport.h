#pragma once

#include "link/DescriptorTransport.h"
#include "link/KernelTermios.h"

#include <array>
#include <vector>

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

    void setPortName(const QString& name) override;
    bool open() override;
    QString lineAdvice() const override { return advice_; }
    // Where the adapters' latency timers are looked for (/sys/class/tty).
    void setSysfsTty(const QString& path) { sysfsTty_ = path; }
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
    bool awaitRest(double until);
    double restDue() const;
    // Start bit, eight data bits and the stop bits.
    double charTime() const { return (9.0 + settings_.stopBits) / settings_.baud; }
    double firstLook() const;
    qsizetype kindOf(qsizetype frame, qint64 reply) const;
    bool watchedKind() const;
    void learnWhole();
    void learnSeen();
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
    // The waiter has been told the reply is whole, and has asked again since.
    mutable bool wholeTold_ = false;
    mutable bool askedAgain_ = false;
    bool vminRefused_ = false;
    QString sysfsTty_ = QStringLiteral("/sys/class/tty");
    QString advice_;
    // When a reply is whole, learnt for each kind of exchange (frame and reply lengths) on this
    // line: at the baud rate, faster (a USB CDC device or a serial server) or in packets.
    struct Kind {
        qsizetype frame = 0;
        qint64 reply = 0;
        double due = -1; // seconds from the frame's write to the look; not known yet
        double step = 0; // the last move earlier
        int streak = 0;  // replies whole at their look in a row
        // When the last replies watched for or waited for were whole, from their frames' writes.
        std::array<double, 16> whole{};
        int wholeCount = 0;
        int wholeNext = 0;
        double earliest = 0;
        double latest = 0;       // but the latest few
        double width = 0;        // from the earliest to the latest, once there are a few
        double midWidth = 0;     // from the earliest few to the middle one
        bool handedOver = false; // whole sooner than the baud rate allows: sent on at once
        int looks = 0;           // timed looks so far, to watch one in so many
        void note(double seconds);
    };
    std::vector<Kind> kinds_;
    qsizetype kind_ = -1; // this exchange's
    // A reply read on the waiter's schedule: when its frame went, and how long frame and reply
    // take at the baud rate.
    bool timed_ = false;
    bool looksItself_ = false; // the waiter has taken timed replies before
    bool measuring_ = false;   // this reply's arrival is being watched for, and teaches the look
    double writtenAt_ = 0;
    double lineTime_ = 0;
    qsizetype frameSize_ = 0;
};

} // namespace psucal
