#pragma once

#include "app/Wizard.h"
#include "cal/Calibrator.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/VirtualClock.h"
#include "link/SupplyLink.h"
#include "sim/InProcessPort.h"
#include "sim/InProcessSupply.h"
#include "sim/SupplyModel.h"
#include "tests/support/RecordingHost.h"

#include <QTemporaryDir>

namespace psucal::test {

// The whole run-mode-3 program in virtual time against the simulated supply, with the
// front end of the caller's choice.
struct VirtualSession {
    explicit VirtualSession(sim::SupplyConfig cfg = {}) : VirtualSession(recorder, cfg) {}
    VirtualSession(BenchUiHost& host, sim::SupplyConfig cfg)
        : model(cfg), supplyPort(clock, model),
          meterPort(clock, [](const QByteArray&) { return QList<sim::Answer>{}; }), ui(host),
          link(st, ui, clock, supplyPort), calibrator(st, ui, link, dir.path()), wizard(st, ui, link, meterPort)
    {
        wizard.setProcedures({[this] { calibrator.CalibrateVoltage(); }, [this] { calibrator.CalibrateCurrent(); }});
    }
    void load() { wizard.FormLoad("COM1", "COM2"); }
    QStringList framesSince(int n) const { return model.frames().mid(n); }

    RecordingHost recorder; // the front end unless the caller brings its own
    QTemporaryDir dir;
    VirtualClock clock;
    sim::SupplyModel model;
    sim::InProcessSupply supplyPort;
    sim::InProcessPort meterPort;
    BenchState st;
    BenchUi ui;
    SupplyLink link;
    Calibrator calibrator;
    Wizard wizard;
};

} // namespace psucal::test
