#pragma once

#include "sim/Answer.h"

#include "core/DeadlineTimer.h"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>

class QSocketNotifier;

namespace psucal::sim {

// Serves one simulated instrument on a pseudo-terminal in real time, paced like the line it
// stands for (see Pace).
class PtyHost : public QObject {
    Q_OBJECT
public:
    using Responder = std::function<QList<Answer>(const QByteArray&)>;
    // Told of every piece of traffic once its times on the wire are known: the first
    // character starts crossing at `start`, the last has crossed at `end` (DeadlineTimer's
    // monotonic seconds). `received` is true for what the instrument is sent.
    using LineObserver = std::function<void(double start, double end, bool received, const QByteArray& bytes)>;
    // Uart: both directions at the line's rate; the instrument sees a frame once its last
    // character has crossed, and each reply character is written on its own as it crosses.
    // Fast: a USB CDC device or a serial server; frames are handed over at once and replies
    // written whole as they are made. Usb: a USB serial adapter; the line as with Uart, but what
    // has crossed is released in a packet every `packetEvery` seconds (its latency timer).
    enum class Pace { Uart, Fast, Usb };

    explicit PtyHost(Responder responder, double charTime = 1.0 / 960, QObject* parent = nullptr);
    ~PtyHost() override;

    // Opens the pseudo-terminal; the slave is raw before anyone can open it.
    bool start(QString* error);
    QString slavePath() const { return slavePath_; }
    // A symlink kept pointing at the current slave.
    void setLinkPath(const QString& path) { linkPath_ = path; }
    bool isUp() const { return master_ >= 0; }
    void setPace(Pace pace, double packetEvery = 0.016)
    {
        pace_ = pace;
        packetEvery_ = packetEvery;
    }
    void setLineObserver(LineObserver observer) { observer_ = std::move(observer); }

signals:
    // A new slave path, after a vanished port came back.
    void portChanged(const QString& path);

private:
    void onReadable();
    void pump();
    void reschedule();
    void queueReply(double start, const QByteArray& bytes);
    void vanish(double restoreAfter);
    void shut();
    static double now() { return DeadlineTimer::now(); }

    struct Inbound {
        double due;
        QByteArray bytes;
    };
    struct Outbound {
        double due;
        QByteArray bytes;
    };

    Responder responder_;
    LineObserver observer_;
    double charTime_;
    Pace pace_ = Pace::Uart;
    double packetEvery_ = 0.016;
    double origin_ = 0; // the adapter's packets go out at whole periods after this
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QString linkPath_;
    QSocketNotifier* notifier_ = nullptr;
    DeadlineTimer timer_;
    std::deque<Inbound> in_;
    std::deque<Outbound> out_;
    double rxFree_ = 0;
    double txFree_ = 0;
    bool blocked_ = false;
};

} // namespace psucal::sim
