// A full run-mode-3 recalibration (or, with --run-mode 1, a run-mode-1 verification) of one
// simulated unit in real time, on each pacing of the simulator's line: wall time against the
// ideal, CPU and peak memory of the psucal process, and beside it the same figures of the bench's
// reference client, which replays the run's exchanges reading each reply as its bytes arrive.
#include "bench/IdealRun.h"
#include "bench/LineRun.h"
#include "bench/Support.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <numeric>
#include <thread>
#include <vector>

using namespace psucal::bench;

namespace {

const char* Describe(const QString& pace)
{
    if (pace == u"uart")
        return "both directions at 9600 baud, each reply character written as it crosses";
    if (pace == u"fast")
        return "frames handed over at once, replies written whole as they are made (USB CDC, serial server)";
    return "as uart, but what has crossed released in a packet every MS ms (a USB adapter's latency timer)";
}

// "usb=16" gives usb16, for the figures' names.
QByteArray Tag(const QString& pace)
{
    return pace.toLatin1().replace("=", "");
}

// What a run is judged on: a whole run from launch to exit, or a part from its first frame to
// the frame after it; CPU over the whole run, or per second of the exchanges in a part.
struct Figures {
    double wall = 0;
    double cpuRatio = 0;
};

Figures Judge(const LineRun& r, bool part)
{
    if (part)
        return {r.span(), r.exchangeCpuRate()};
    return {r.wall, CpuSeconds(r.usage) / r.wall};
}

bool SameFrames(const LineRun& r, const IdealRun& ideal, qsizetype part)
{
    return r.frames == (part > 0 ? ideal.frames.mid(0, part + 1) : ideal.frames);
}

void Report(const char* tag, const char* who, const LineRun& r, const IdealRun& ideal, qsizetype part, double idealWall)
{
    const bool verify = ideal.runMode == 1;
    const char* mode = verify ? "verify" : "cal";
    const bool same = SameFrames(r, ideal, part);
    const double cpu = CpuSeconds(r.usage);
    const Figures f = Judge(r, part > 0);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    if (part == 0)
        std::printf("%s_%s_%s_exit_status: %d (0 = %s)\n", mode, tag, who, r.status,
                    verify ? "PASS" : "recalibrated");
    if ((part == 0 && r.status != 0) || !same)
        std::printf("%s_%s_%s_warning: this run did not do what the ideal run did; its figures do not measure it\n",
                    mode, tag, who);
    std::printf("%s_%s_%s_same_frames_as_ideal: %s (%lld frames sent, ideal %lld)\n", mode, tag, who,
                same ? "yes" : "NO", static_cast<long long>(r.frames.size()),
                static_cast<long long>(part > 0 ? std::min(part + 1, ideal.frames.size()) : ideal.frames.size()));
    std::printf("%s_%s_%s_wall: %.3f s (%s)\n", mode, tag, who, f.wall,
                part > 0 ? "first frame to the frame after the part, from the line log" : "launch to exit");
    std::printf("%s_%s_%s_wall_ratio: %.4f (wall / ideal)\n", mode, tag, who, f.wall / idealWall);
    if (part == 0)
        std::printf("%s_%s_%s_link_span: %.3f s (first frame to last reply, from the line log; outside it %.3f s "
                    "of launch, start-up and exit)\n",
                    mode, tag, who, r.span(), r.wall - r.span());
    std::printf("%s_%s_%s_cpu: %.3f s (user %.3f + system %.3f, launch to exit)\n", mode, tag, who, cpu,
                seconds(r.usage.ru_utime), seconds(r.usage.ru_stime));
    std::printf("%s_%s_%s_cpu_ratio: %.4f (%s)\n", mode, tag, who, f.cpuRatio,
                part > 0 ? "CPU per second of the exchanges, start-up and exit left out" : "CPU / wall");
    if (part == 0 && r.cpuAtStart >= 0 && r.cpuAtLastLook >= r.cpuAtStart)
        std::printf("%s_%s_%s_cpu_split: start-up %.3f s (by 0.5 s), exchanges %.3f s, end %.3f s (the last quarter "
                    "second and exit)\n",
                    mode, tag, who, r.cpuAtStart, r.cpuAtLastLook - r.cpuAtStart, cpu - r.cpuAtLastLook);
    std::printf("%s_%s_%s_wakeups: %ld voluntary context switches\n", mode, tag, who, r.usage.ru_nvcsw);
    if (part == 0)
        std::printf("%s_%s_%s_peak_rss: %.1f MiB\n", mode, tag, who, r.usage.ru_maxrss / 1024.0);
    std::printf("%s_%s_%s_simulator_cpu: %.3f s (psucal-sim, for reference)\n", mode, tag, who,
                CpuSeconds(r.simUsage));
}

// Exchange by exchange, psucal's time from a reply to its next frame less the client's: a steadier
// view than the whole runs' ratio, which the simulator's own wanderings move by a few tenths of a
// percent in either direction.
void ReportTurns(const char* mode, const char* tag, const LineRun& psucal, const LineRun& client)
{
    if (psucal.frames != client.frames)
        return;
    std::vector<double> extra;
    for (size_t k = 0; k < std::min(psucal.turns.size(), client.turns.size()); ++k)
        if (psucal.turns[k] >= 0 && client.turns[k] >= 0)
            extra.push_back(psucal.turns[k] - client.turns[k]);
    if (extra.empty())
        return;
    const double sum = std::accumulate(extra.begin(), extra.end(), 0.0);
    std::sort(extra.begin(), extra.end());
    const auto at = [&](double q) { return extra[static_cast<size_t>(q * static_cast<double>(extra.size() - 1))] * 1e3; };
    std::printf("%s_%s_turns_vs_client: median %+.3f ms (quartiles %+.3f, %+.3f), sum %+.3f s over %zu exchanges "
                "(psucal's time from a reply to its next frame, less the client's)\n",
                mode, tag, at(0.5), at(0.25), at(0.75), sum, extra.size());
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
    std::printf("%s_uart_syscalls_per_exchange: %.2f (target <= 8; %lld calls over %lld exchanges, strace -c -f, "
                "uart pacing, no --trace)\n",
                tag, static_cast<double>(total) / exchanges, static_cast<long long>(total),
                static_cast<long long>(exchanges));
    QStringList split;
    qint64 shown = 0;
    for (qsizetype i = 0; i < calls.size() && i < 6; ++i) {
        split << QStringLiteral("%1 %2").arg(calls[i].second).arg(static_cast<double>(calls[i].first) / exchanges, 0, 'f', 2);
        shown += calls[i].first;
    }
    split << QStringLiteral("others %1").arg(static_cast<double>(total - shown) / exchanges, 0, 'f', 2);
    std::printf("%s_uart_syscalls_split: %s (per exchange)\n", tag, qPrintable(split.join(QStringLiteral(", "))));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString binDir = BinDir(args);
    QStringList paces{QStringLiteral("uart"), QStringLiteral("fast"), QStringLiteral("usb=1"), QStringLiteral("usb=16")};
    if (const QString only = Option(args, QStringLiteral("--pace"), QString()); !only.isEmpty())
        paces = only.split(u',');
    // --exchanges N: only the first N exchanges of the run, a quick look.
    const qsizetype part = Option(args, QStringLiteral("--exchanges"), QStringLiteral("0")).toLongLong();

    IdealRun ideal;
    ideal.runMode = Option(args, QStringLiteral("--run-mode"), QStringLiteral("3")).toInt() == 1 ? 1 : 3;
    ideal.model = Option(args, QStringLiteral("--model"), QStringLiteral("40")).toInt();
    ideal.seed = Option(args, QStringLiteral("--seed"), QStringLiteral("1")).toUInt();
    ideal.serial = IdealRun::DefaultSerial(ideal.model, ideal.seed);
    QTemporaryDir idealDir;
    ideal.run(idealDir.path());
    const bool verify = ideal.runMode == 1;
    const char* mode = verify ? "verify" : "cal";
    if (part > 0 && part >= ideal.exchanges.size()) {
        std::fprintf(stderr, "bench_calibration: the run has only %lld exchanges\n",
                     static_cast<long long>(ideal.exchanges.size()));
        return 2;
    }
    const double idealWall =
        part > 0 ? ideal.exchanges[part].sentAt - ideal.exchanges[0].sentAt : ideal.totalSeconds;

    // The trace is a diagnostic a technician turns on; by default the run is measured as it runs
    // without it, and the frames are taken from what the simulated unit received.
    const bool withTrace = args.contains(QStringLiteral("--trace"));
    // The client drives no meter: it stands beside the recalibration only.
    const bool client = !verify && !args.contains(QStringLiteral("--no-client"));
    std::printf("%s of a %dV unit (psucal-sim seed %u) in real time%s:\n"
                "psucal --batch --yes%s%s, launch to exit, measured with wait4. Ideal = the same run in\n"
                "virtual time against the in-process simulator (same model and seed): the time-outs and\n"
                "delays the procedures wait out plus wire time and 1 ms turnaround per reply. The frames\n"
                "compared are those the simulated unit took off the line (psucal-sim --line-log).\n",
                verify ? "Run-mode-1 verification" : "Run-mode-3 recalibration", ideal.model, ideal.seed,
                part > 0 ? qPrintable(QStringLiteral(", its first %1 exchanges").arg(part)) : "",
                verify ? " --run-mode 1" : "", withTrace ? " --trace FILE" : "");
    if (client)
        std::printf("The reference client (bench_client) sends the ideal run's frames, flushing the line before\n"
                    "each as psucal does, reads every reply as its bytes arrive (poll, then read, per arrival) until\n"
                    "the count psucal awaits is in, and waits what the ideal run waited between that reply and the\n"
                    "next frame: it differs from psucal only in how it reads. The two run at the same time,\n"
                    "each on a psucal-sim of its own.\n");
    std::printf("%s_ideal: %.3f s%s\n", mode, idealWall, part > 0 ? " (first frame to the frame after the part)" : "");

    struct Row {
        Figures psucal;
        Figures client;
        bool hasClient = false;
    };
    std::map<QString, Row> table;
    bool ok = true;
    const QString keep = Option(args, QStringLiteral("--keep"), QString());
    for (const QString& pace : paces) {
        const QByteArray tag = Tag(pace);
        std::printf("-- pacing %s: %s\n", qPrintable(pace), Describe(pace));
        Row row;
        // psucal and the client run side by side, each on a simulator of its own, so that both
        // meet the same machine: one after the other, a change in the machine's load between the
        // two runs moves their ratio more than the difference being measured.
        struct Side {
            LineRun run;
            QString error;
            bool measured = false;
        };
        std::array<Side, 2> sides;
        const auto measure = [&](bool asClient) {
            LineRunOptions o;
            o.pace = pace;
            o.client = asClient;
            o.withTrace = withTrace;
            o.exchanges = part;
            // --keep DIR: the line logs stay there, PACING-psucal.log and PACING-client.log.
            if (!keep.isEmpty())
                o.keepLineLog = QStringLiteral("%1/%2-%3.log").arg(keep, tag, asClient ? "client" : "psucal");
            Side& side = sides[asClient ? 1 : 0];
            side.measured = MeasureLine(binDir, ideal, o, &side.run, &side.error);
        };
        std::thread beside;
        if (client)
            beside = std::thread(measure, true);
        measure(false);
        if (beside.joinable())
            beside.join();
        for (const bool asClient : {false, true}) {
            if (asClient && !client)
                continue;
            const Side& side = sides[asClient ? 1 : 0];
            if (!side.measured) {
                std::fprintf(stderr, "bench_calibration: %s\n", qPrintable(side.error));
                return 1;
            }
            const LineRun& run = side.run;
            Report(tag.constData(), asClient ? "client" : "psucal", run, ideal, part, idealWall);
            std::fflush(stdout);
            ok = ok && (part > 0 || run.status == 0) && SameFrames(run, ideal, part);
            (asClient ? row.client : row.psucal) = Judge(run, part > 0);
            row.hasClient = row.hasClient || asClient;
        }
        if (row.hasClient) {
            ReportTurns(mode, tag.constData(), sides[0].run, sides[1].run);
            std::printf("%s_%s_vs_client: wall %.5f (psucal / client, target <= 1.001), CPU %.3f (target <= 0.7)\n",
                        mode, tag.constData(), row.psucal.wall / row.client.wall,
                        row.psucal.cpuRatio / row.client.cpuRatio);
        }
        table[pace] = row;
    }
    if (client && !table.empty()) {
        std::printf("cal_table: %s; wall / ideal and CPU / wall of each, then psucal / client\n",
                    part > 0 ? "a part of the run: wall from the first frame, CPU per second of the exchanges"
                             : "launch to exit");
        std::printf("cal_table: %-8s %13s %13s %12s %12s %12s %10s\n", "pacing", "psucal wall", "client wall", "psucal CPU",
                    "client CPU", "wall p/c", "CPU p/c");
        for (const QString& pace : paces) {
            const Row& r = table[pace];
            std::printf("cal_table: %-8s %13.4f %13.4f %12.5f %12.5f %12.5f %10.3f\n", qPrintable(pace), r.psucal.wall / idealWall,
                        r.client.wall / idealWall, r.psucal.cpuRatio, r.client.cpuRatio, r.psucal.wall / r.client.wall,
                        r.psucal.cpuRatio / r.client.cpuRatio);
        }
    }
    // Counting the calls slows every one of them down, so it is a run of its own.
    if (part == 0 && paces.contains(QStringLiteral("uart")) &&
        !Option(args, QStringLiteral("--syscalls"), QStringLiteral("yes")).startsWith(u'n')) {
        if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty()) {
            std::printf("%s_uart_syscalls_skipped: strace is not installed\n", mode);
        } else {
            QTemporaryDir straceDir;
            LineRunOptions o;
            o.straceOut = straceDir.filePath(QStringLiteral("strace.txt"));
            LineRun run;
            QString error;
            if (!MeasureLine(binDir, ideal, o, &run, &error)) {
                std::fprintf(stderr, "bench_calibration: %s\n", qPrintable(error));
                return 1;
            }
            std::printf("-- pacing uart, psucal under strace\n");
            if (run.status != 0)
                std::printf("%s_uart_syscalls_warning: exit status %d, the run did not end as the ideal run did\n",
                            mode, run.status);
            ReportSyscalls(mode, o.straceOut, ideal.frames.size());
            ok = ok && run.status == 0;
        }
    }
    return ok ? 0 : 1;
}
