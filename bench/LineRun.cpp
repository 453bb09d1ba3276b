#include "bench/LineRun.h"

#include "bench/Support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace psucal::bench {

namespace {

// Frames the unit took off the line, from the simulator's line log ("START END < BYTES"), without
// their carriage returns, and when each started; when the last reply ended, in seconds. With
// `replyEnds`, when the last reply after each frame ended (-1: none came).
QStringList SentFrames(const QString& lineLog, std::vector<double>* starts, double* last,
                       std::vector<double>* replyEnds = nullptr)
{
    QStringList frames;
    QFile f(lineLog);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return frames;
    *last = -1;
    QByteArray pending;
    double pendingStart = -1;
    while (!f.atEnd()) {
        const QList<QByteArray> parts = f.readLine().trimmed().split(' ');
        if (parts.size() < 4)
            continue;
        *last = parts[1].toDouble();
        if (parts[2] != "<") {
            if (replyEnds && !replyEnds->empty())
                replyEnds->back() = *last;
            continue;
        }
        // A frame may come off the line in pieces.
        if (pending.isEmpty())
            pendingStart = parts[0].toDouble();
        pending += parts.mid(3).join(' ');
        for (qsizetype cr; (cr = pending.indexOf("\\r")) >= 0; pending.remove(0, cr + 2)) {
            frames << QString::fromLatin1(pending.left(cr));
            starts->push_back(pendingStart);
            if (replyEnds)
                replyEnds->push_back(-1);
            pendingStart = parts[0].toDouble();
        }
    }
    return frames;
}

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

// Looks at the program's CPU half a second in, then every quarter second until it ends, leaving it
// unreaped: what start-up, the exchanges and the end each cost. Rare looks, so that they do
// not take the processor from the run they measure. With `frames`, the program is stopped once
// the unit has taken that many.
void WatchCpu(Child& child, double t0, const QString& lineLog, qsizetype frames, LineRun* run)
{
    for (double at = t0 + 0.5; !child.ended(); at += 0.25) {
        if (child.waitEnded(at - Now()))
            break;
        const double cpu = RunTime(child.pid());
        if (cpu < 0)
            break;
        if (run->cpuAtStart < 0) {
            run->cpuAtStart = cpu;
            run->startLookAt = Now();
        }
        run->cpuAtLastLook = cpu;
        run->lastLookAt = Now();
        std::vector<double> starts;
        double last = 0;
        if (frames > 0 && SentFrames(lineLog, &starts, &last).size() >= frames) {
            child.signal(SIGTERM);
            break;
        }
    }
}

} // namespace

double LineRun::exchangeCpuRate() const
{
    return cpuAtStart >= 0 && lastLookAt > startLookAt ? (cpuAtLastLook - cpuAtStart) / (lastLookAt - startLookAt)
                                                       : -1;
}

bool WriteClientScript(const IdealRun& ideal, qsizetype exchanges, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    const qsizetype n = exchanges > 0 ? std::min(exchanges, ideal.exchanges.size()) : ideal.exchanges.size();
    for (qsizetype i = 0; i < n; ++i) {
        const IdealRun::Exchange& e = ideal.exchanges[i];
        const QByteArray frame = e.frame.endsWith('\r') ? e.frame.chopped(1) : e.frame;
        if (frame.isEmpty() || frame.contains(' ') || frame.contains('\n') || e.doneAt < 0)
            return false;
        const double took = e.doneAt - e.sentAt;
        // A reply that came short ran to its time-out; a whole one is given half a second more.
        const double limit = e.replied < e.count ? took : took + 0.5;
        const double gap = i + 1 < ideal.exchanges.size() ? ideal.exchanges[i + 1].sentAt - e.doneAt : 0;
        f.write(QStringLiteral("%1 %2 %3 ").arg(e.count).arg(limit, 0, 'f', 6).arg(gap, 0, 'f', 6).toLatin1() + frame +
                '\n');
    }
    return true;
}

bool MeasureLine(const QString& binDir, const IdealRun& ideal, const LineRunOptions& options, LineRun* run,
                 QString* error)
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
                        options.pace, QStringLiteral("--line-log"), lineLog};
    if (ideal.idealUnit)
        simArgs << QStringLiteral("--ideal");
    Simulator sim;
    if (!sim.start(binDir, simArgs, error, verify))
        return false;

    // In a part of a run, the exchanges counted end where the next frame starts.
    const qsizetype frames = options.exchanges > 0 ? options.exchanges + 1 : 0;
    QString program = binDir + QStringLiteral("/psucal");
    QStringList args{QStringLiteral("--batch"), QStringLiteral("--yes"), QStringLiteral("--supply-port"), sim.port(),
                     QStringLiteral("--dir"), programDir};
    if (options.client) {
        const QString script = dir.filePath(QStringLiteral("client.txt"));
        if (!WriteClientScript(ideal, frames, script)) {
            *error = QStringLiteral("cannot write the reference client's script");
            return false;
        }
        program = binDir + QStringLiteral("/bench_client");
        args = QStringList{sim.port(), script};
    } else {
        if (options.withTrace)
            args << QStringLiteral("--trace") << trace;
        if (verify)
            args << QStringLiteral("--run-mode") << QStringLiteral("1") << QStringLiteral("--meter-port")
                 << sim.meterPort();
        if (!options.straceOut.isEmpty()) {
            args = QStringList{QStringLiteral("-c"), QStringLiteral("-f"), QStringLiteral("-o"), options.straceOut,
                               program} +
                   args;
            program = QStandardPaths::findExecutable(QStringLiteral("strace"));
        }
    }
    Child child;
    const double t0 = Now();
    if (!child.start(program, args, Child::Io{dir.filePath(QStringLiteral("stdout.txt")), true}, error))
        return false;
    if (options.straceOut.isEmpty())
        WatchCpu(child, t0, lineLog, options.client ? 0 : frames, run);
    run->status = child.reap(&run->usage);
    run->wall = Now() - t0;
    run->simUsage = sim.stop();
    if (!options.keepLineLog.isEmpty()) {
        QDir().mkpath(QFileInfo(options.keepLineLog).path());
        QFile::remove(options.keepLineLog);
        QFile::copy(lineLog, options.keepLineLog);
    }
    std::vector<double> starts;
    std::vector<double> replyEnds;
    run->frames = SentFrames(lineLog, &starts, &run->lastFrame, &replyEnds);
    for (size_t k = 0; k + 1 < starts.size(); ++k)
        run->turns.push_back(replyEnds[k] >= 0 ? starts[k + 1] - replyEnds[k] : -1);
    run->firstFrame = starts.empty() ? 0 : starts.front();
    if (frames > 0) {
        if (static_cast<qsizetype>(starts.size()) >= frames)
            run->lastFrame = starts[static_cast<size_t>(frames - 1)];
        run->frames = run->frames.mid(0, frames);
        run->turns.resize(std::min(run->turns.size(), static_cast<size_t>(frames - 1)));
    }
    return true;
}

} // namespace psucal::bench
