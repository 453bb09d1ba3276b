#pragma once

#include "wizard/Workbench.h"
#include "core/VirtualClock.h"
#include "sim/InProcessBench.h"
#include "tests/support/RecordingHost.h"

#include <QTemporaryDir>

namespace psucal::test {

// What the workbench runs on in a test: virtual time, the simulated supply and meter, a
// recording front end and a fresh program folder.
struct VirtualBench {
    explicit VirtualBench(const sim::SupplyConfig& cfg) : bench(clock, cfg) {}
    RecordingHost recorder;
    QTemporaryDir dir;
    VirtualClock clock;
    sim::InProcessBench bench;
};

// The whole program in virtual time, wired as psucal wires it, with the front end of the
// caller's choice (the recorder by default).
struct VirtualSession : VirtualBench, Workbench {
    explicit VirtualSession(const sim::SupplyConfig& cfg = {}, BenchUiHost* host = nullptr)
        : VirtualBench(cfg), Workbench(host ? *host : recorder, clock, bench.supplyPort, bench.meterPort, dir.path())
    {
        st.StartDate = QDate(2026, 3, 14);
    }
    VirtualSession(BenchUiHost& host, const sim::SupplyConfig& cfg) : VirtualSession(cfg, &host) {}

    void load() { FormLoad("COM1", "COM2", false); }
    // Start-up of the full window in run mode 0, 1 or 2, Calibration.dt opened at its end.
    void loadFull(int runMode, bool eepEnabled = false)
    {
        st.RunMode = runMode;
        FormLoad("COM1", "COM2", eepEnabled);
    }
    QStringList framesSince(int n) const { return model.frames().mid(n); }
    const QStringList& meterLines() const { return bench.meter.lines(); }

    sim::SupplyModel& model = bench.supply;
    FullWizard& full = fullWizard;
};

} // namespace psucal::test
