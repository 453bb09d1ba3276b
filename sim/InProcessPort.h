#pragma once

#include "link/Transport.h"
#include "sim/Answer.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

namespace psucal {
class VirtualClock;
}

namespace psucal::sim {

// A serial line to a simulated instrument in virtual time: a frame takes its wire time to
// reach the instrument, the reply starts a turnaround later and arrives character by character.
class InProcessPort : public Transport {
public:
    using Responder = std::function<QList<Answer>(const QByteArray&)>;
    static constexpr double Turnaround = 0.001;

    // charTime: seconds per character (10 bits at 9600 baud by default).
    InProcessPort(VirtualClock& clock, Responder responder, double charTime = 1.0 / 960);

    void setPortName(const QString& name) override { name_ = name; }
    QString portName() const override { return name_; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool gone() const override { return gone_; }
    void discard() override { rx_.clear(); }
    bool write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override { return rx_.size(); }
    QByteArray readAll() override;

    // Only these names can be opened from now on; an empty list lets every name open.
    void setPresentPorts(const QStringList& names) { present_ = names; }
    // The port disappears (as a USB adapter pulled out): open fails, writes fail.
    void vanish(double restoreAfter = 0);
    void restore() { vanished_ = false; }
    bool vanished() const { return vanished_; }
    double charTime() const { return charTime_; }

private:
    void arrive(const QByteArray& frame);
    void deliver(char c, quint64 line);

    VirtualClock& clock_;
    Responder responder_;
    double charTime_;
    QString name_;
    QStringList present_;
    QByteArray rx_;
    bool open_ = false;
    bool vanished_ = false;
    bool gone_ = false; // vanished while open, not opened or closed since
    quint64 line_ = 0;  // bumped when the port vanishes: bytes then in flight are lost
    double txFree_ = 0;
    double rxFree_ = 0;
    // Scheduled actions may outlive the port; they hold a weak reference and find it gone.
    std::shared_ptr<InProcessPort*> self_;
};

} // namespace psucal::sim
