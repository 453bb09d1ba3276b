// CPU of window mode during a full recalibration: the window on a real X server (run-all
// gives it Xvfb), the wizard driven by clicks on its button, against psucal-sim.
#include "widgets/FrmMain.h"
#include "terminal/Session.h"
#include "wizard/Workbench.h"
#include "bench/Support.h"
#include "core/WizardCaption.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

using namespace psucal;
using namespace psucal::bench;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("window_skipped: no X display (run-all starts Xvfb when xvfb-run is installed)\n");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString model = Option(args, QStringLiteral("--model"), QStringLiteral("40"));

    Simulator sim;
    QString error;
    if (!sim.start(BinDir(args), {QStringLiteral("--model"), model}, &error)) {
        std::fprintf(stderr, "bench_window: %s\n", qPrintable(error));
        return 1;
    }
    FrmMain window;
    SerialBench line;
    QTemporaryDir dir;
    Workbench rig(window, line.clock, line.supplyPort, line.meterPort, dir.path());
    window.attach(&rig.ui, &rig.wizard, {sim.port()}, sim.port());
    window.show();
    rig.wizard.FormLoad(sim.port(), QStringLiteral("COM2"));
    window.uiChanged();

    // Each click runs its whole step inside the click, the window live throughout. (No quit():
    // in Qt 6 it closes the windows, and closing this one ends the program.)
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const double t0 = Now();
    window.wizardButton()->click();
    bool ok = rig.ui.caption() == caption::Next;
    window.wizardButton()->click();
    const double wall = Now() - t0;
    getrusage(RUSAGE_SELF, &after);
    const double cpu = CpuSeconds(after) - CpuSeconds(before);
    ok = ok && rig.wizard.voltageStepOk() && rig.wizard.currentStepOk();
    sim.stop();

    std::printf("Window mode (%s platform) recalibrating a %sV unit against psucal-sim: from the START click\n"
                "to the end of the current step, CPU = user + system time of this process (getrusage).\n",
                qPrintable(QGuiApplication::platformName()), qPrintable(model));
    std::printf("window_steps_ok: %s\n", ok ? "yes" : "NO");
    std::printf("window_wall: %.3f s\n", wall);
    std::printf("window_cpu: %.3f s\n", cpu);
    std::printf("window_cpu_ratio: %.4f (CPU / wall; compare cal_reply_cpu_ratio)\n", cpu / wall);
    return ok ? 0 : 1;
}
