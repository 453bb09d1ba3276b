#include "bench/IdealRun.h"

#include "wizard/Workbench.h"
#include "bench/Support.h"
#include "core/WizardCaption.h"
#include "core/VirtualClock.h"
#include "sim/InProcessBench.h"

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
    sim::SupplyConfig config;
    config.ratingV = model;
    config.seed = seed;
    config.ideal = idealUnit;
    config.serial = serial.isEmpty() ? DefaultSerial(model, seed) : serial;
    // Run mode 3 opens COM2 for the meter at start-up and never talks to it.
    sim::InProcessBench bench(clock, config);
    Workbench w(host, clock, bench.supplyPort, bench.meterPort, programDir);
    w.st.RunMode = runMode;
    w.st.StartDate = QDate::currentDate();

    // The same steps as "psucal --batch --yes" in the run mode asked for.
    w.FormLoad(QStringLiteral("sim"), QStringLiteral("meter"), false);
    startupSeconds = clock.now();
    if (runMode == 3) {
        if (w.wizard.supplyAnswered() && w.ui.caption() == caption::Start) {
            w.wizard.Command1_Click();
            if (w.ui.caption() == caption::Next)
                w.wizard.Command1_Click();
        }
    } else if (w.wizard.supplyAnswered()) {
        w.fullWizard.Command1_Click(1);
        if (w.ui.full().step[1] == 2)
            w.fullWizard.Command1_Click(1);
    }
    w.supply.SendEnds();
    totalSeconds = clock.now();
    frames = bench.supply.frames();
    voltageOk = runMode == 3 ? w.wizard.voltageStepOk() : w.st.VoltPass;
    currentOk = runMode == 3 ? w.wizard.currentStepOk() : w.st.CurrPass;
    allPass = w.st.AllPass;
}

} // namespace psucal::bench
