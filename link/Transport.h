#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace psucal {

// A byte pipe to one instrument: a serial port, a network socket, a USB device, or a simulated
// instrument.
// Every failure shows up as a false result or as no bytes, never as an exception.
class Transport {
public:
    virtual ~Transport() = default;

    virtual void setPortName(const QString& name) = 0;
    virtual QString portName() const = 0;

    virtual bool open() = 0; // false when the port is missing or in use
    // The device, when the last open() failed because this user may not open it; empty otherwise.
    virtual QString deniedDevice() const { return QString(); }
    // The device, when the last open() failed because no such device exists; empty otherwise.
    virtual QString missingDevice() const { return QString(); }
    // Why the last open() failed or the connection went, for the operator; empty when neither.
    virtual QString errorText() const { return QString(); }
    // After open(): what the operator could do about a line that will hold replies back (a USB
    // adapter's latency timer), with the command; empty when nothing.
    virtual QString lineAdvice() const { return QString(); }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The port closed by itself since it was opened: the device or the far end went away.
    virtual bool gone() const { return false; }

    // Throws away whatever sits in the receive and transmit buffers.
    virtual void discard() = 0;
    virtual bool write(const QByteArray& bytes) = 0; // false on a port error
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray readAll() = 0;

    // The waiter looks again only once `count` bytes in all are waiting, or at its deadline,
    // so the transport need not wake it for every byte. A wish, not a promise: a shorter
    // reply is still there for readAll(), which ends the wish. Transports that cannot hold
    // back their wake-ups ignore it.
    virtual void expect(qint64 /*count*/) {}
    // Called after expect() and the frame's write(): the seconds from that write until the reply
    // should be whole, and the caller's promise not to look (bytesAvailable()) sooner. Until then
    // the port may leave the line unwatched, and wake nobody for the bytes coming in. 0: the
    // port wakes the waiter as expect() says.
    virtual double lookAfter() { return 0; }

    // Called whenever bytes arrive or the port fails, so that a waiter can look again.
    void setActivityCallback(std::function<void()> callback) { activity_ = std::move(callback); }

protected:
    void notifyActivity()
    {
        if (activity_)
            activity_();
    }

private:
    std::function<void()> activity_;
};

} // namespace psucal
