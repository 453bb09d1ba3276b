// Ideal duration of a run-mode-3 recalibration, or with --run-mode 1 of a run-mode-1
// verification: the run in virtual time.
#include "bench/IdealRun.h"
#include "bench/LineRun.h"
#include "bench/Support.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace psucal::bench;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    IdealRun ideal;
    ideal.model = Option(args, QStringLiteral("--model"), QStringLiteral("40")).toInt();
    ideal.runMode = Option(args, QStringLiteral("--run-mode"), QStringLiteral("3")).toInt() == 1 ? 1 : 3;
    ideal.seed = Option(args, QStringLiteral("--seed"), QStringLiteral("1")).toUInt();
    // --real-unit: the unit's display error and the meter's scatter, as psucal-sim has them.
    ideal.idealUnit = !args.contains(QStringLiteral("--real-unit"));
    QTemporaryDir dir;
    const double t0 = Now();
    ideal.run(dir.path());
    const double took = Now() - t0;

    std::printf("Ideal %s, %dV %s unit, seed %u, in virtual time against the in-process\n"
                "simulator: every time-out and delay the procedures wait out, plus 9600-baud wire time\n"
                "(10 bits a character, both directions) and a 1 ms turnaround per reply; no computing time.\n",
                ideal.runMode == 1 ? "run-mode-1 verification" : "run-mode-3 recalibration", ideal.model,
                ideal.idealUnit ? "ideal" : "real", ideal.seed);
    std::printf("ideal_startup: %.3f s\n", ideal.startupSeconds);
    std::printf("ideal_total: %.3f s\n", ideal.totalSeconds);
    std::printf("ideal_frames: %lld\n", static_cast<long long>(ideal.frames.size()));
    std::printf("ideal_result: voltage %s, current %s\n", ideal.voltageOk ? "ok" : "FAILED",
                ideal.currentOk ? "ok" : "FAILED");
    if (ideal.runMode == 1)
        std::printf("ideal_verdict: %s\n", ideal.allPass ? "PASS" : "FAIL");
    // --frames FILE: every frame the unit received, one a line, to compare two builds' runs.
    const QString framesPath = Option(args, QStringLiteral("--frames"), QString());
    if (!framesPath.isEmpty()) {
        QFile out(framesPath);
        if (out.open(QIODevice::WriteOnly | QIODevice::Text))
            out.write(ideal.frames.join(u'\n').toLatin1() + '\n');
    }
    // --script FILE: the reference client's script of this run (see bench_client).
    if (const QString script = Option(args, QStringLiteral("--script"), QString());
        !script.isEmpty() && !WriteClientScript(ideal, 0, script))
        std::fprintf(stderr, "bench_ideal: cannot write %s\n", qPrintable(script));
    std::printf("ideal_compute_time: %.3f s (real time this program spent simulating it)\n", took);
    return 0;
}
