#pragma once

#include "sim/PtyHost.h"

#include "core/DeadlineTimer.h"

#include <QObject>

#include <deque>

class QSocketNotifier;

namespace psucal::sim {

// Serves one simulated instrument on a raw socket at 127.0.0.1, one client at a time, as a LAN
// instrument serves SCPI on port 5025: no line pacing, each answer after the turnaround and the
// answer's own delay. A vanishing port drops the client and stops listening.
class TcpHost : public QObject {
    Q_OBJECT
public:
    explicit TcpHost(PtyHost::Responder responder, QObject* parent = nullptr);
    ~TcpHost() override;

    // Listens on `port`, or on a free port for 0.
    bool start(int port, QString* error);
    int port() const { return port_; }

private:
    void onAccept();
    void onReadable();
    void pump();
    void vanish(double restoreAfter);
    void dropClient();

    struct Outbound {
        double due;
        QByteArray bytes;
    };

    PtyHost::Responder responder_;
    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
    QSocketNotifier* accepting_ = nullptr;
    QSocketNotifier* reading_ = nullptr;
    DeadlineTimer timer_;
    std::deque<Outbound> out_;
    double txFree_ = 0;
};

} // namespace psucal::sim
