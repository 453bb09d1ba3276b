// A full run-mode-3 recalibration (or, with --run-mode 1, a run-mode-1 verification) of one
// simulated unit in real time: wall time against the ideal, CPU and peak memory of psucal.
#include "bench/IdealRun.h"
#include "bench/Support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace psucal::bench;

namespace {

// Frames psucal sent, from its trace ("12.3 supply > VOLT00050\r"), without the carriage return;
// the instants of the first frame and of the last line, in seconds.
QStringList SentFrames(const QString& tracePath, double* first, double* last)
{
    QStringList frames;
    QFile f(tracePath);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return frames;
    *first = *last = -1;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        const double seconds = line.left(line.indexOf(' ')).toDouble() / 1000;
        *last = seconds;
        const qsizetype at = line.indexOf(" supply > ");
        if (at < 0)
            continue;
        if (*first < 0)
            *first = seconds;
        QByteArray frame = line.mid(at + 10);
        if (frame.endsWith("\\r"))
            frame.chop(2);
        frames << QString::fromLatin1(frame);
    }
    return frames;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString binDir = BinDir(args);

    IdealRun ideal;
    ideal.runMode = Option(args, QStringLiteral("--run-mode"), QStringLiteral("3")).toInt() == 1 ? 1 : 3;
    const bool verify = ideal.runMode == 1;
    const char* tag = verify ? "verify" : "cal";
    ideal.model = Option(args, QStringLiteral("--model"), QStringLiteral("40")).toInt();
    ideal.seed = Option(args, QStringLiteral("--seed"), QStringLiteral("1")).toUInt();
    ideal.serial = IdealRun::DefaultSerial(ideal.model, ideal.seed);
    QTemporaryDir idealDir;
    ideal.run(idealDir.path());

    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    const QString programDir = dir.filePath(QStringLiteral("run"));
    QDir().mkpath(programDir);

    Simulator sim;
    QString error;
    if (!sim.start(binDir,
                   {QStringLiteral("--model"), QString::number(ideal.model), QStringLiteral("--seed"),
                    QString::number(ideal.seed), QStringLiteral("--serial"), ideal.serial},
                   &error, verify)) {
        std::fprintf(stderr, "bench_calibration: %s\n", qPrintable(error));
        return 1;
    }

    Child psucal;
    rusage usage{};
    const double t0 = Now();
    QStringList psucalArgs{QStringLiteral("--batch"),       QStringLiteral("--yes"),
                           QStringLiteral("--supply-port"), sim.port(),
                           QStringLiteral("--trace"),       trace,
                           QStringLiteral("--dir"),         programDir};
    if (verify)
        psucalArgs << QStringLiteral("--run-mode") << QStringLiteral("1") << QStringLiteral("--meter-port")
                   << sim.meterPort();
    if (!psucal.start(binDir + QStringLiteral("/psucal"), psucalArgs,
                      Child::Io{dir.filePath(QStringLiteral("stdout.txt")), true}, &error)) {
        std::fprintf(stderr, "bench_calibration: %s\n", qPrintable(error));
        return 1;
    }
    const int status = psucal.reap(&usage);
    const double wall = Now() - t0;
    const rusage simUsage = sim.stop();

    const double cpu = CpuSeconds(usage);
    double firstFrame = 0, lastFrame = 0;
    const QStringList frames = SentFrames(trace, &firstFrame, &lastFrame);
    const bool sameRun = frames == ideal.frames;

    std::printf("%s of a %dV unit (psucal-sim seed %u) in real time:\n"
                "psucal --batch --yes --trace%s, launch to exit, measured with wait4. Ideal = the same run in\n"
                "virtual time against the in-process simulator (same model and seed): the time-outs and\n"
                "delays the procedures wait out plus 9600-baud wire time and 1 ms turnaround per reply.\n",
                verify ? "Run-mode-1 verification" : "Run-mode-3 recalibration", ideal.model, ideal.seed,
                verify ? " --run-mode 1" : "");
    std::printf("%s_exit_status: %d (0 = %s)\n", tag, status, verify ? "PASS" : "recalibrated");
    if (status != 0 || !sameRun)
        std::printf("%s_warning: this run did not do what the ideal run did; its figures do not measure it\n", tag);
    std::printf("%s_same_frames_as_ideal: %s (%lld frames sent, ideal %lld)\n", tag, sameRun ? "yes" : "NO",
                static_cast<long long>(frames.size()), static_cast<long long>(ideal.frames.size()));
    std::printf("%s_ideal: %.3f s\n", tag, ideal.totalSeconds);
    std::printf("%s_wall: %.3f s\n", tag, wall);
    std::printf("%s_wall_ratio: %.4f (target <= 1.03)\n", tag, wall / ideal.totalSeconds);
    std::printf("%s_excess: %.3f s over %lld exchanges (%.2f ms each)\n", tag, wall - ideal.totalSeconds,
                static_cast<long long>(frames.size()),
                frames.isEmpty() ? 0.0 : (wall - ideal.totalSeconds) * 1000 / frames.size());
    const double span = lastFrame - firstFrame;
    std::printf("%s_link_span: %.3f s (first frame to last reply, from the trace; ratio %.4f)\n", tag, span,
                span / ideal.totalSeconds);
    std::printf("%s_outside_link: %.3f s (launch, Qt start-up and exit around the exchanges)\n", tag, wall - span);
    std::printf("%s_cpu: %.3f s (user %.3f + system %.3f)\n", tag, cpu,
                usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6,
                usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6);
    std::printf("%s_cpu_ratio: %.4f (CPU / wall, target < 0.01)\n", tag, cpu / wall);
    std::printf("%s_peak_rss: %.1f MiB (target < 64)\n", tag, usage.ru_maxrss / 1024.0);
    std::printf("%s_simulator_cpu: %.3f s (psucal-sim, for reference; not the product)\n", tag, CpuSeconds(simUsage));
    return status == 0 && sameRun ? 0 : 1;
}
