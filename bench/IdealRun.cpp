#include "bench/IdealRun.h"

#include "bench/Rig.h"
#include "bench/Support.h"
#include "core/VirtualClock.h"
#include "core/WizardCaption.h"
#include "sim/InProcessBench.h"

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
    sim::InProcessBench bench(clock, config);
    Rig rig(host, clock, bench.supplyPort, bench.meterPort, programDir, runMode);

    // The same steps as "psucal --batch --yes" in the run mode asked for.
    if (runMode == 3) {
        rig.wizard.FormLoad(QStringLiteral("sim"), QStringLiteral("COM2"));
        startupSeconds = clock.now();
        if (rig.wizard.supplyAnswered() && rig.ui.caption() == caption::Start) {
            rig.wizard.Command1_Click();
            if (rig.ui.caption() == caption::Next)
                rig.wizard.Command1_Click();
        }
    } else {
        rig.full.FormLoad(QStringLiteral("sim"), QStringLiteral("meter"), false);
        startupSeconds = clock.now();
        if (rig.wizard.supplyAnswered()) {
            rig.full.Command1_Click(1);
            if (rig.ui.full().step[1] == 2)
                rig.full.Command1_Click(1);
        }
    }
    rig.link.SendCommand(QStringLiteral("ENDS"), QString(), 3, 0.2);
    totalSeconds = clock.now();
    frames = bench.supply.frames();
    voltageOk = runMode == 3 ? rig.wizard.voltageStepOk() : rig.st.VoltPass;
    currentOk = runMode == 3 ? rig.wizard.currentStepOk() : rig.st.CurrPass;
    allPass = rig.st.AllPass;
}

} // namespace psucal::bench
