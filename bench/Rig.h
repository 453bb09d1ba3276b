#pragma once

#include "app/Wizard.h"
#include "cal/Calibrator.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/RealClock.h"
#include "link/SerialTransport.h"
#include "link/SupplyLink.h"

namespace psucal::bench {

// psucal's parts for run mode 3 wired as the program wires them, on the clock, ports and
// front end a benchmark chooses.
struct Rig {
    Rig(BenchUiHost& host, Clock& clock, Transport& supplyPort, Transport& meterPort, const QString& programDir);

    BenchState st;
    BenchUi ui;
    SupplyLink link;
    Calibrator calibrator;
    Wizard wizard;
};

// The real clock and both serial ports with the program's line settings.
struct RealLine {
    ~RealLine();

    RealClock clock;
    SerialTransport supplyPort{SerialTransport::Settings{9600, QSerialPort::OneStop, 2048}};
    SerialTransport meterPort{SerialTransport::Settings{9600, QSerialPort::TwoStop, 1024}};
};

} // namespace psucal::bench
