// A full run-mode-3 recalibration (or, with --run-mode 1, a run-mode-1 verification) of one
// simulated unit in real time: wall time against the ideal, CPU and peak memory of the psucal
// process; once with each reply written whole, once with its characters written one at a time.
#include "bench/IdealRun.h"
#include "bench/Support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstring>
#include <unistd.h>

using namespace psucal::bench;

namespace {

// One real-time run of psucal --batch --yes against psucal-sim with the given pacing.
struct Run {
    int status = -1;
    double wall = 0;
    rusage usage{};
    rusage simUsage{};
    QStringList frames;
    double firstFrame = 0;
    double lastFrame = 0;
    // psucal's CPU half a second in (start-up), and at its last look before the end.
    double cpuAtStart = -1;
    double cpuAtLastLook = -1;
};

// Seconds of CPU the process has run so far, from the scheduler; -1 once it is gone.
double RunTime(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/schedstat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const double ns = QString::fromLatin1(f.readLine()).section(u' ', 0, 0).toDouble(&ok);
    return ok ? ns / 1e9 : -1;
}

// Looks at psucal's CPU half a second in, then every quarter second until it ends, leaving it
// unreaped: what start-up, the exchanges and the end each cost. Rare looks, so that they do
// not take the processor from the run they measure.
void WatchCpu(const Child& child, double t0, Run* run)
{
    for (double at = t0 + 0.5; !child.ended(); at += 0.25) {
        if (const double left = at - Now(); left > 0)
            ::usleep(static_cast<useconds_t>(left * 1e6));
        if (child.ended())
            break;
        const double cpu = RunTime(child.pid());
        if (cpu < 0)
            break;
        if (run->cpuAtStart < 0)
            run->cpuAtStart = cpu;
        run->cpuAtLastLook = cpu;
    }
}

// With `straceOut`, psucal runs under `strace -c -f` writing its counts there. With `withTrace`
// psucal writes --trace as well, which costs it a file write per line.
bool Measure(const QString& binDir, const IdealRun& ideal, const QString& pace, Run* run, QString* error,
             bool withTrace, const QString& straceOut = QString())
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    const QString lineLog = dir.filePath(QStringLiteral("line.log"));
    const QString programDir = dir.filePath(QStringLiteral("run"));
    QDir().mkpath(programDir);

    const bool verify = ideal.runMode == 1;
    // The same unit as the ideal run: the exact one unless that run took the seed's own errors.
    QStringList simArgs{QStringLiteral("--model"), QString::number(ideal.model), QStringLiteral("--seed"),
                        QString::number(ideal.seed), QStringLiteral("--serial"), ideal.serial, QStringLiteral("--pace"),
                        pace, QStringLiteral("--line-log"), lineLog};
    if (ideal.idealUnit)
        simArgs << QStringLiteral("--ideal");
    Simulator sim;
    if (!sim.start(binDir, simArgs, error, verify))
        return false;

    QStringList args{QStringLiteral("--batch"), QStringLiteral("--yes"), QStringLiteral("--supply-port"), sim.port(),
                     QStringLiteral("--dir"), programDir};
    if (withTrace)
        args << QStringLiteral("--trace") << trace;
    if (verify)
        args << QStringLiteral("--run-mode") << QStringLiteral("1") << QStringLiteral("--meter-port") << sim.meterPort();
    QString program = binDir + QStringLiteral("/psucal");
    if (!straceOut.isEmpty()) {
        args = QStringList{QStringLiteral("-c"), QStringLiteral("-f"), QStringLiteral("-o"), straceOut, program} + args;
        program = QStandardPaths::findExecutable(QStringLiteral("strace"));
    }
    Child psucal;
    const double t0 = Now();
    if (!psucal.start(program, args,
                      Child::Io{dir.filePath(QStringLiteral("stdout.txt")), true}, error))
        return false;
    if (straceOut.isEmpty())
        WatchCpu(psucal, t0, run);
    run->status = psucal.reap(&run->usage);
    run->wall = Now() - t0;
    run->simUsage = sim.stop();
    run->frames = SentFrames(lineLog, &run->firstFrame, &run->lastFrame);
    return true;
}

void Report(const char* pace, const Run& r, const IdealRun& ideal)
{
    const bool verify = ideal.runMode == 1;
    const char* tag = verify ? "verify" : "cal";
    const bool sameRun = r.frames == ideal.frames;
    const double cpu = CpuSeconds(r.usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    std::printf("-- replies written %s\n", std::strcmp(pace, "byte") == 0 ? "one character at a time" : "whole");
    std::printf("%s_%s_exit_status: %d (0 = %s)\n", tag, pace, r.status, verify ? "PASS" : "recalibrated");
    if (r.status != 0 || !sameRun)
        std::printf("%s_%s_warning: this run did not do what the ideal run did; its figures do not measure a "
                    "calibration\n",
                    tag, pace);
    std::printf("%s_%s_same_frames_as_ideal: %s (%lld frames sent, ideal %lld)\n", tag, pace, sameRun ? "yes" : "NO",
                static_cast<long long>(r.frames.size()), static_cast<long long>(ideal.frames.size()));
    std::printf("%s_%s_wall: %.3f s\n", tag, pace, r.wall);
    std::printf("%s_%s_wall_ratio: %.4f (target <= %s)\n", tag, pace, r.wall / ideal.totalSeconds, verify ? "1.03" : "1.004");
    std::printf("%s_%s_excess: %.3f s over %lld exchanges (%.2f ms each)\n", tag, pace, r.wall - ideal.totalSeconds,
                static_cast<long long>(r.frames.size()),
                r.frames.isEmpty() ? 0.0 : (r.wall - ideal.totalSeconds) * 1000 / r.frames.size());
    const double span = r.lastFrame - r.firstFrame;
    std::printf("%s_%s_link_span: %.3f s (first frame to last reply, from the line log; ratio %.4f)\n", tag, pace, span,
                span / ideal.totalSeconds);
    std::printf("%s_%s_outside_link: %.3f s (launch, Qt start-up and exit around the exchanges)\n", tag, pace,
                r.wall - span);
    std::printf("%s_%s_cpu: %.3f s (user %.3f + system %.3f)\n", tag, pace, cpu, seconds(r.usage.ru_utime),
                seconds(r.usage.ru_stime));
    std::printf("%s_%s_cpu_ratio: %.4f (CPU / wall, target %s)\n", tag, pace, cpu / r.wall,
                verify ? "< 0.01" : "<= 0.0015");
    if (r.cpuAtStart >= 0 && r.cpuAtLastLook >= r.cpuAtStart)
        std::printf("%s_%s_cpu_split: start-up %.3f s (by 0.5 s: launch, Qt, fonts, the first exchanges), "
                    "exchanges %.3f s, end %.3f s (the last quarter second and exit)\n",
                    tag, pace, r.cpuAtStart, r.cpuAtLastLook - r.cpuAtStart, cpu - r.cpuAtLastLook);
    std::printf("%s_%s_wakeups: %ld voluntary context switches of psucal\n", tag, pace, r.usage.ru_nvcsw);
    std::printf("%s_%s_peak_rss: %.1f MiB (target < 64)\n", tag, pace, r.usage.ru_maxrss / 1024.0);
    std::printf("%s_%s_simulator_cpu: %.3f s (psucal-sim, for reference; not the product)\n", tag, pace,
                CpuSeconds(r.simUsage));
}

// System calls of the whole process (start-up and exit included) per frame sent, from the summary
// `strace -c` wrote, and the calls that make them up.
void ReportSyscalls(const char* tag, const QString& straceOut, qsizetype exchanges)
{
    QFile f(straceOut);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text) || exchanges <= 0)
        return;
    QList<std::pair<qint64, QString>> calls;
    qint64 total = 0;
    static const QRegularExpression row(QStringLiteral("^\\s*[\\d.]+\\s+[\\d.]+\\s+\\d+\\s+(\\d+)\\s+(?:\\d+\\s+)?(\\w+)$"));
    while (!f.atEnd()) {
        const auto m = row.match(QString::fromLatin1(f.readLine()).trimmed());
        if (!m.hasMatch())
            continue;
        if (m.captured(2) == u"total")
            total = m.captured(1).toLongLong();
        else
            calls.append({m.captured(1).toLongLong(), m.captured(2)});
    }
    std::sort(calls.begin(), calls.end(), std::greater<>());
    std::printf("%s_byte_syscalls_per_exchange: %.2f (target <= 8; %lld calls over %lld exchanges, strace -c -f, "
                "replies byte by byte, no --trace)\n",
                tag, static_cast<double>(total) / exchanges, static_cast<long long>(total),
                static_cast<long long>(exchanges));
    QStringList split;
    qint64 shown = 0;
    for (qsizetype i = 0; i < calls.size() && i < 6; ++i) {
        split << QStringLiteral("%1 %2").arg(calls[i].second).arg(static_cast<double>(calls[i].first) / exchanges, 0, 'f', 2);
        shown += calls[i].first;
    }
    split << QStringLiteral("others %1").arg(static_cast<double>(total - shown) / exchanges, 0, 'f', 2);
    std::printf("%s_byte_syscalls_split: %s (per exchange)\n", tag, qPrintable(split.join(QStringLiteral(", "))));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString binDir = BinDir(args);
    const QString only = Option(args, QStringLiteral("--pace"), QString());
    QStringList paces{QStringLiteral("reply"), QStringLiteral("byte")};
    if (!only.isEmpty())
        paces = {only};

    IdealRun ideal;
    ideal.runMode = Option(args, QStringLiteral("--run-mode"), QStringLiteral("3")).toInt() == 1 ? 1 : 3;
    if (ideal.runMode == 1 && only.isEmpty())
        paces = {QStringLiteral("reply")};
    ideal.model = Option(args, QStringLiteral("--model"), QStringLiteral("40")).toInt();
    ideal.seed = Option(args, QStringLiteral("--seed"), QStringLiteral("1")).toUInt();
    ideal.serial = IdealRun::DefaultSerial(ideal.model, ideal.seed);
    QTemporaryDir idealDir;
    ideal.run(idealDir.path());

    // The trace is a diagnostic a technician turns on; by default the run is measured as it runs
    // without it, and the frames are taken from what the simulated unit received.
    const bool withTrace = args.contains(QStringLiteral("--trace"));
    const bool verify = ideal.runMode == 1;
    std::printf("%s of a %dV unit (psucal-sim seed %u) in real time:\n"
                "psucal --batch --yes%s%s, launch to exit, measured with wait4. Ideal = the same run in\n"
                "virtual time against the in-process simulator (same model and seed): the time-outs and\n"
                "delays the procedures wait out plus wire time and 1 ms turnaround per reply. The frames\n"
                "compared are those the simulated unit took off the line (psucal-sim --line-log).\n",
                verify ? "Run-mode-1 verification" : "Run-mode-3 recalibration", ideal.model, ideal.seed,
                verify ? " --run-mode 1" : "", withTrace ? " --trace FILE" : "");
    std::printf("%s_ideal: %.3f s\n", verify ? "verify" : "cal", ideal.totalSeconds);
    bool ok = true;
    for (const QString& pace : paces) {
        Run run;
        QString error;
        if (!Measure(binDir, ideal, pace, &run, &error, withTrace)) {
            std::fprintf(stderr, "bench_calibration: %s\n", qPrintable(error));
            return 1;
        }
        Report(qPrintable(pace), run, ideal);
        std::fflush(stdout);
        ok = ok && run.status == 0 && run.frames == ideal.frames;
    }
    // Counting the calls slows every one of them down, so it is a run of its own.
    if (paces.contains(QStringLiteral("byte")) && !Option(args, QStringLiteral("--syscalls"), QStringLiteral("yes")).startsWith(u'n')) {
        if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty()) {
            std::printf("%s_byte_syscalls_skipped: strace is not installed\n", verify ? "verify" : "cal");
        } else {
            QTemporaryDir straceDir;
            const QString out = straceDir.filePath(QStringLiteral("strace.txt"));
            Run run;
            QString error;
            if (!Measure(binDir, ideal, QStringLiteral("byte"), &run, &error, false, out)) {
                std::fprintf(stderr, "bench_calibration: %s\n", qPrintable(error));
                return 1;
            }
            std::printf("-- replies written one character at a time, psucal under strace\n");
            if (run.status != 0)
                std::printf("%s_byte_syscalls_warning: exit status %d, the run did not end as the ideal run did\n",
                            verify ? "verify" : "cal", run.status);
            ReportSyscalls(verify ? "verify" : "cal", out, ideal.frames.size());
            ok = ok && run.status == 0;
        }
    }
    return ok ? 0 : 1;
}
