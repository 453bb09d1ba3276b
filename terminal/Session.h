#pragma once

#include "terminal/CommandLine.h"
#include "wizard/Workbench.h"
#include "core/RealClock.h"
#include "link/SerialTransport.h"
#include "link/SwitchedTransport.h"
#include "link/Trace.h"

#include <QProcess>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

namespace psucal {

// The real clock, the supply's serial port and the meter's port (serial, network or USB),
// ready before the workbench that uses them.
struct SerialBench {
    SerialBench();
    RealClock clock;
    SerialTransport supplyPort;
    SwitchedTransport meterPort;
};

// One running psucal for either face: the workbench on the real clock and serial ports, the
// options it was started with, plus the trace file and the simulated bench when asked for.
class Session : public SerialBench, public Workbench {
public:
    Session(const Options& options, BenchUiHost& host);
    ~Session();

    // Reads Calibration.conf, opens the trace, starts the simulator. False with a message
    // when something the operator asked for cannot be had.
    bool prepare(QString* error);
    // The start-up sequence up to the first wizard page, then the report boxes given on the
    // command line.
    void load();
    // Sends what waits in the outbox to the chosen server: here and now, or on a thread of its
    // own with `done` called on this one. The message is for the operator; empty when nothing
    // waited or no server is chosen.
    QString sendOutbox() const;
    void sendOutboxInBackground(QObject* context, std::function<void(const QString&)> done);
    bool sendingOutbox() const { return sender_ && sender_->isRunning(); }
    // Releases the ports, flushes the trace and stops the simulator; safe to call twice.
    void release();

    QString supplyPortName() const { return supplyPortName_; }
    QString confWarning() const { return confWarning_; }
    QString meterPortName() const { return meterPortName_; }
    const Options& options() const { return options_; }

private:
    bool startSimulator(int model, QString* error);
    bool readSimulatorPorts(QString* error);

    Options options_;
    QString supplyPortName_;
    QString meterPortName_;
    QString confWarning_;
    bool eepVisible_ = false;
    std::unique_ptr<Trace> trace_;
    std::unique_ptr<QProcess> sim_;
    std::unique_ptr<QThread> sender_;
};

} // namespace psucal
