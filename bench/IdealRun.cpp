#include "bench/IdealRun.h"

#include "bench/Rig.h"
#include "bench/Support.h"
#include "core/VirtualClock.h"
#include "sim/InProcessPort.h"
#include "sim/InProcessSupply.h"
#include "sim/SupplyModel.h"

namespace psucal::bench {

QString IdealRun::DefaultSerial(int model, quint32 seed)
{
    return QStringLiteral("SIM%1%2").arg(model, 2, 10, QChar(u'0')).arg(seed, 4, 10, QChar(u'0'));
}

void IdealRun::run(const QString& programDir)
{
    VirtualClock clock;
    QuietHost host;

    sim::SupplyConfig config;
    config.ratingV = model;
    config.seed = seed;
    config.serial = serial.isEmpty() ? DefaultSerial(model, seed) : serial;
    sim::SupplyModel unit(config);
    sim::InProcessSupply supplyPort(clock, unit);
    // psucal opens COM2 for the meter at start-up and never talks to it in run mode 3.
    sim::InProcessPort meterPort(clock, [](const QByteArray&) { return QList<sim::Answer>{}; });
    Rig rig(host, clock, supplyPort, meterPort, programDir);

    // The same steps as "psucal --batch --yes".
    rig.wizard.FormLoad(QStringLiteral("sim"), QStringLiteral("COM2"));
    startupSeconds = clock.now();
    if (rig.wizard.supplyAnswered() && rig.ui.caption() == QStringLiteral("START  >")) {
        rig.wizard.Command1_Click();
        if (rig.ui.caption() == QStringLiteral("NEXT  >"))
            rig.wizard.Command1_Click();
    }
    rig.link.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
    totalSeconds = clock.now();
    frames = unit.frames();
    voltageOk = rig.wizard.voltageStepOk();
    currentOk = rig.wizard.currentStepOk();
}

} // namespace psucal::bench
