#pragma once

#include "app/Wizard.h"
#include "cal/Calibrator.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
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

} // namespace psucal::bench
