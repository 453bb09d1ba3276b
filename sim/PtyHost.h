#pragma once

#include "sim/Answer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>

class QSocketNotifier;

namespace psucal::sim {

// Serves one simulated instrument on a pseudo-terminal in real time, paced like a serial
// line: the instrument sees a frame once its characters would have crossed the wire, and
// the reply's characters are written as they fall due.
class PtyHost : public QObject {
    Q_OBJECT
public:
    using Responder = std::function<QList<Answer>(const QByteArray&)>;

    explicit PtyHost(Responder responder, double charTime = 1.0 / 960, QObject* parent = nullptr);
    ~PtyHost() override;

    // Opens the pseudo-terminal; the slave is raw before anyone can open it.
    bool start(QString* error);
    QString slavePath() const { return slavePath_; }
    // A symlink kept pointing at the current slave.
    void setLinkPath(const QString& path) { linkPath_ = path; }
    bool isUp() const { return master_ >= 0; }

signals:
    // A new slave path, after a vanished port came back.
    void portChanged(const QString& path);

private:
    void onReadable();
    void pump();
    void reschedule();
    void vanish(double restoreAfter);
    void shut();
    double now() const { return elapsed_.nsecsElapsed() / 1e9; }

    struct Inbound {
        double due;
        QByteArray bytes;
    };
    struct Outbound {
        double due;
        char c;
    };

    Responder responder_;
    double charTime_;
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QString linkPath_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer timer_;
    QElapsedTimer elapsed_;
    std::deque<Inbound> in_;
    std::deque<Outbound> out_;
    double rxFree_ = 0;
    double txFree_ = 0;
    bool blocked_ = false;
};

} // namespace psucal::sim
