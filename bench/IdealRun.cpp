#include "bench/IdealRun.h"

#include "app/Wizard.h"
#include "bench/Support.h"
#include "cal/Calibrator.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/VirtualClock.h"
#include "link/SupplyLink.h"
#include "sim/InProcessPort.h"
#include "sim/InProcessSupply.h"
#include "sim/SupplyModel.h"

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
    st.RunMode = 3;
    st.StartDate = QDate::currentDate();

    sim::SupplyConfig config;
    config.ratingV = model;
    config.seed = seed;
    config.serial = serial.isEmpty() ? DefaultSerial(model, seed) : serial;
    sim::SupplyModel unit(config);
    sim::InProcessSupply supplyPort(clock, unit);
    // psucal opens COM2 for the meter at start-up and never talks to it in run mode 3.
    sim::InProcessPort meterPort(clock, [](const QByteArray&) { return QList<sim::Answer>{}; });

    SupplyLink link(st, ui, clock, supplyPort);
    Calibrator calibrator(st, ui, link, programDir);
    Wizard wizard(st, ui, link, meterPort);
    wizard.setProcedures(Wizard::Procedures{[&] { calibrator.CalibrateVoltage(); },
                                            [&] { calibrator.CalibrateCurrent(); }});

    // The same steps as "psucal --batch --yes".
    wizard.FormLoad(QStringLiteral("sim"), QStringLiteral("COM2"));
    startupSeconds = clock.now();
    if (wizard.supplyAnswered() && ui.caption() == QStringLiteral("START  >")) {
        wizard.Command1_Click();
        if (ui.caption() == QStringLiteral("NEXT  >"))
            wizard.Command1_Click();
    }
    link.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
    totalSeconds = clock.now();
    frames = unit.frames();
    voltageOk = wizard.voltageStepOk();
    currentOk = wizard.currentStepOk();
}

} // namespace psucal::bench
