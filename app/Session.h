#pragma once

#include "app/FullWizard.h"
#include "app/Wizard.h"
#include "cal/Calibrator.h"
#include "cal/Verifier.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/RealClock.h"
#include "link/MeterLink.h"
#include "link/SerialTransport.h"
#include "link/SupplyLink.h"
#include "link/Trace.h"
#include "spots/SpotGrid.h"

#include <QProcess>
#include <QString>

#include <memory>

namespace psucal {

struct Options;

// Everything one running psucal owns, wired together for either face: state, controls,
// clock, both ports and their links, the test-spot grids, the procedures and both wizards; plus
// the trace file and the simulated bench when asked for.
class Session {
public:
    Session(const Options& options, BenchUiHost& host);
    ~Session();

    // Reads Calibration.conf, opens the trace, starts the simulator. False with a message
    // when something the operator asked for cannot be had.
    bool prepare(QString* error);
    // The start-up sequence up to the first wizard page.
    void load();
    // Releases the ports, flushes the trace and stops the simulator; safe to call twice.
    void release();

    QString programDir() const { return dir_; }
    QString supplyPortName() const { return supplyPortName_; }
    QString confWarning() const { return confWarning_; }
    QString meterPortName() const { return meterPortName_; }

    // What the full window of run modes 0-2 calls.
    FullWindowActions& actions() { return fullWizard; }

    BenchState st;
    BenchUi ui;
    RealClock clock;
    SerialTransport supplyPort;
    SerialTransport meterPort;
    SupplyLink supply;
    MeterLink meter;
    SpotGrid FGridV;
    SpotGrid FGridC{true};
    Calibrator calibrator;
    Wizard wizard;
    Verifier verifier;
    FullWizard fullWizard;

private:
    bool startSimulator(int model, QString* error);
    bool readSimulatorPorts(QString* error);

    QString dir_;
    QString supplyPortName_;
    QString meterPortName_;
    QString traceFile_;
    bool simulate_ = false;
    int simModel_ = 40;
    QString confWarning_;
    bool eepVisible_ = false;
    std::unique_ptr<Trace> trace_;
    std::unique_ptr<QProcess> sim_;
};

} // namespace psucal
