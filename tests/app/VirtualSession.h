#pragma once

#include "app/FullWizard.h"
#include "app/Wizard.h"
#include "cal/Calibrator.h"
#include "cal/Verifier.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/VirtualClock.h"
#include "link/MeterLink.h"
#include "link/SupplyLink.h"
#include "sim/InProcessPort.h"
#include "sim/InProcessSupply.h"
#include "sim/SupplyModel.h"
#include "spots/SpotGrid.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestMeter.h"

#include <QTemporaryDir>

namespace psucal::test {

// The whole program in virtual time against the simulated supply and a stand-in meter, with
// the front end of the caller's choice.
struct VirtualSession {
    explicit VirtualSession(sim::SupplyConfig cfg = {}) : VirtualSession(recorder, cfg) {}
    VirtualSession(BenchUiHost& host, sim::SupplyConfig cfg)
        : model(cfg), supplyPort(clock, model), testMeter(model), meterPort(clock, testMeter.responder()), ui(host),
          link(st, ui, clock, supplyPort), meter(st, ui, clock, meterPort), calibrator(st, ui, link, dir.path()),
          wizard(st, ui, link, meterPort, FGridV, FGridC), verifier(st, ui, link, meter, FGridV, FGridC),
          full(st, ui, wizard, FGridV, FGridC)
    {
        wizard.setProcedures({[this] { calibrator.CalibrateVoltage(); }, [this] { calibrator.CalibrateCurrent(); }});
        verifier.setIdentify([this](int selector) { wizard.IdentifySupply(selector); });
        full.setProcedures({{},
                            [this] { calibrator.CalibrateVoltage(); },
                            [this] { calibrator.CalibrateCurrent(); },
                            [this] { verifier.VerifyVoltage(); },
                            [this] { verifier.VerifyCurrent(); }});
    }
    void load() { wizard.FormLoad("COM1", "COM2"); }
    // Start-up of the full window in run mode 0, 1 or 2.
    void loadFull(int runMode)
    {
        st.RunMode = runMode;
        full.FormLoad("COM1", "COM2", false);
    }
    QStringList framesSince(int n) const { return model.frames().mid(n); }

    RecordingHost recorder; // the front end unless the caller brings its own
    QTemporaryDir dir;
    VirtualClock clock;
    sim::SupplyModel model;
    sim::InProcessSupply supplyPort;
    TestMeter testMeter;
    sim::InProcessPort meterPort;
    BenchState st;
    BenchUi ui;
    SupplyLink link;
    MeterLink meter;
    SpotGrid FGridV;
    SpotGrid FGridC{true};
    Calibrator calibrator;
    Wizard wizard;
    Verifier verifier;
    FullWizard full;
};

} // namespace psucal::test
