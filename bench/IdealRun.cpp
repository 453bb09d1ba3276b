#include "bench/IdealRun.h"

#include "app/FullWizard.h"
#include "app/Wizard.h"
#include "bench/Support.h"
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
#include "tests/support/TestMeter.h"

#include <QDate>

namespace psucal::bench {

QString IdealRun::DefaultSerial(int model, quint32 seed)
{
    return QStringLiteral("SIM%1%2").arg(model, 2, 10, QChar(u'0')).arg(seed, 4, 10, QChar(u'0'));
}

void IdealRun::run(const QString& programDir)
{
    VirtualClock clock;
    QuietHost host;
    BenchUi ui(host);
    BenchState st;
    st.RunMode = runMode;
    st.StartDate = QDate::currentDate();

    sim::SupplyConfig config;
    config.ratingV = model;
    config.seed = seed;
    config.serial = serial.isEmpty() ? DefaultSerial(model, seed) : serial;
    sim::SupplyModel unit(config);
    sim::InProcessSupply supplyPort(clock, unit);
    // Run mode 3 opens COM2 for the meter at start-up and never talks to it.
    test::TestMeter meterModel(unit);
    sim::InProcessPort meterPort(clock, meterModel.responder());

    SupplyLink link(st, ui, clock, supplyPort);
    MeterLink meter(st, ui, clock, meterPort);
    SpotGrid gridV;
    SpotGrid gridC(true);
    Calibrator calibrator(st, ui, link, programDir);
    Wizard wizard(st, ui, link, meterPort, gridV, gridC);
    wizard.setProcedures(
        Wizard::Procedures{[&] { calibrator.CalibrateVoltage(); }, [&] { calibrator.CalibrateCurrent(); }});
    Verifier verifier(st, ui, link, meter, gridV, gridC);
    verifier.setIdentify([&](int selector) { wizard.IdentifySupply(selector); });
    FullWizard full(st, ui, wizard, gridV, gridC);
    full.setProcedures({{},
                        [&] { calibrator.CalibrateVoltage(); },
                        [&] { calibrator.CalibrateCurrent(); },
                        [&] { verifier.VerifyVoltage(); },
                        [&] { verifier.VerifyCurrent(); }});

    // The same steps as "psucal --batch --yes" in the run mode asked for.
    if (runMode == 3) {
        wizard.FormLoad(QStringLiteral("sim"), QStringLiteral("COM2"));
        startupSeconds = clock.now();
        if (wizard.supplyAnswered() && ui.caption() == QStringLiteral("START  >")) {
            wizard.Command1_Click();
            if (ui.caption() == QStringLiteral("NEXT  >"))
                wizard.Command1_Click();
        }
    } else {
        full.FormLoad(QStringLiteral("sim"), QStringLiteral("meter"), false);
        startupSeconds = clock.now();
        if (wizard.supplyAnswered()) {
            full.Command1_Click(1);
            if (ui.full().step[1] == 2)
                full.Command1_Click(1);
        }
    }
    link.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
    totalSeconds = clock.now();
    frames = unit.frames();
    voltageOk = runMode == 3 ? wizard.voltageStepOk() : st.VoltPass;
    currentOk = runMode == 3 ? wizard.currentStepOk() : st.CurrPass;
    allPass = st.AllPass;
}

} // namespace psucal::bench
