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
#include "spots/SpotGrid.h"

namespace psucal::bench {

// psucal's parts wired as the program wires them (both wizards, the calibration and the
// verification), on the clock, ports and front end a benchmark chooses.
struct Rig {
    Rig(BenchUiHost& host, Clock& clock, Transport& supplyPort, Transport& meterPort, const QString& programDir,
        int runMode = 3);

    BenchState st;
    BenchUi ui;
    SupplyLink link;
    MeterLink meter;
    SpotGrid gridV;
    SpotGrid gridC{true};
    Calibrator calibrator;
    Wizard wizard;
    Verifier verifier;
    FullWizard full;
};

// The real clock and both serial ports with the program's line settings.
struct RealLine {
    ~RealLine();

    RealClock clock;
    SerialTransport supplyPort{SerialTransport::Settings{9600, QSerialPort::OneStop, 2048}};
    SerialTransport meterPort{SerialTransport::Settings{9600, QSerialPort::TwoStop, 1024}};
};

} // namespace psucal::bench
