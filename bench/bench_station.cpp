// A station in real time: units of mixed ratings recalibrated at once by psucal --station against
// one psucal-sim each, against the slowest of them run alone. Wall time, psucal's CPU for the
// whole station (the station and every unit it started, from wait4), each unit's frames against
// that unit's own run, and units per hour for each station size asked for.
#include "bench/IdealRun.h"
#include "bench/Support.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

using namespace psucal::bench;

namespace {

struct Unit {
    int rating = 40;
    quint32 seed = 1;
    IdealRun ideal; // the unit alone in virtual time: its frames and least time
};

struct Run {
    int status = -1;
    double wall = 0;
    double cpu = 0;
    int sameFrames = 0; // units whose frames equal their own run's
    QStringList differing;
};

// psucal on the first `count` units at once (a station), or with `count` 0 on unit `solo` alone.
bool Measure(const QString& binDir, const QList<Unit>& units, int count, int solo, Run* run, QString* error)
{
    QTemporaryDir dir;
    const QString programDir = dir.filePath(QStringLiteral("run"));
    QDir().mkpath(programDir);
    QList<int> chosen;
    for (int k = 0; k < (count > 0 ? count : 1); ++k)
        chosen << (count > 0 ? k : solo);
    std::vector<std::unique_ptr<Simulator>> sims;
    QStringList args{QStringLiteral("--batch"), QStringLiteral("--yes"), QStringLiteral("--dir"), programDir};
    if (count > 0)
        args << QStringLiteral("--station");
    for (const int k : chosen) {
        const Unit& u = units[k];
        sims.push_back(std::make_unique<Simulator>());
        const QStringList simArgs{QStringLiteral("--model"), QString::number(u.rating), QStringLiteral("--seed"),
                                  QString::number(u.seed), QStringLiteral("--line-log"),
                                  dir.filePath(QStringLiteral("line%1.log").arg(k))};
        if (!sims.back()->start(binDir, simArgs, error))
            return false;
        args << QStringLiteral("--supply-port") << sims.back()->port();
    }
    Child psucal;
    const double t0 = Now();
    if (!psucal.start(binDir + QStringLiteral("/psucal"), args, Child::Io{dir.filePath(QStringLiteral("out.txt")), true},
                      error))
        return false;
    rusage usage{};
    run->status = psucal.reap(&usage);
    run->wall = Now() - t0;
    run->cpu = CpuSeconds(usage); // the station's units are its children, reaped before it ends
    for (auto& sim : sims)
        sim->stop();
    for (const int k : chosen) {
        double first = 0, last = 0;
        if (SentFrames(dir.filePath(QStringLiteral("line%1.log").arg(k)), &first, &last) == units[k].ideal.frames)
            ++run->sameFrames;
        else
            run->differing << QStringLiteral("unit %1").arg(k + 1);
    }
    return true;
}

// The slowest of the first `count` units, by its least time.
int Slowest(const QList<Unit>& units, int count)
{
    int slowest = 0;
    for (int k = 1; k < count; ++k)
        if (units[k].ideal.totalSeconds > units[slowest].ideal.totalSeconds)
            slowest = k;
    return slowest;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString binDir = BinDir(args);
    QList<Unit> units;
    for (const QString& r : Option(args, QStringLiteral("--ratings"), QStringLiteral("20,40,60,40,20,40,60,40")).split(u','))
        units.append(Unit{r.toInt(), static_cast<quint32>(units.size() + 1), {}});
    QList<int> counts;
    for (const QString& c : Option(args, QStringLiteral("--counts"), QStringLiteral("1,4,8")).split(u','))
        counts << std::clamp(c.toInt(), 1, static_cast<int>(units.size()));

    std::printf("A station of up to %lld units (ratings %s, psucal-sim seed k for unit k) in real time:\n"
                "psucal --batch --station --yes with a --supply-port per unit, launch to exit (wait4: the\n"
                "station's CPU includes every unit it started). 1 unit is psucal --batch --yes alone.\n"
                "Frames compared: what each simulated unit took off the line against the same unit's run\n"
                "in virtual time (bench_calibration shows that run's frames are a real solo run's).\n",
                static_cast<long long>(units.size()), qPrintable(Option(args, QStringLiteral("--ratings"),
                                                                        QStringLiteral("20,40,60,40,20,40,60,40"))));
    for (Unit& u : units) {
        QTemporaryDir idealDir;
        u.ideal.model = u.rating;
        u.ideal.seed = u.seed;
        u.ideal.idealUnit = false; // psucal-sim's own unit, display error and all
        u.ideal.run(idealDir.path());
    }
    std::fflush(stdout);

    // The slowest unit alone, for each station size: what a station must not be much slower than.
    std::map<int, Run> solos;
    bool ok = true;
    for (const int count : counts) {
        const int slowest = Slowest(units, count);
        QString error;
        if (!solos.count(slowest)) {
            Run solo;
            if (!Measure(binDir, units, 0, slowest, &solo, &error)) {
                std::fprintf(stderr, "bench_station: %s\n", qPrintable(error));
                return 1;
            }
            std::printf("station_solo_unit%d: %dV seed %u, exit %d, wall %.3f s (least %.3f s), cpu %.3f s, frames %s\n",
                        slowest + 1, units[slowest].rating, units[slowest].seed, solo.status, solo.wall,
                        units[slowest].ideal.totalSeconds, solo.cpu, solo.sameFrames == 1 ? "as its own run" : "DIFFER");
            std::fflush(stdout);
            solos[slowest] = solo;
            ok = ok && solo.status == 0 && solo.sameFrames == 1;
        }
        const Run& solo = solos[slowest];
        // One unit is its solo run; a station is measured afresh.
        Run station = count > 1 ? Run() : solo;
        if (count > 1 && !Measure(binDir, units, count, 0, &station, &error)) {
            std::fprintf(stderr, "bench_station: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("station_%d_exit_status: %d (0 = every unit recalibrated)\n", count, station.status);
        std::printf("station_%d_same_frames: %d of %d units as in their own run%s\n", count, station.sameFrames,
                    count, station.differing.isEmpty() ? "" : qPrintable(u" (not: "_qs + station.differing.join(u", "_qs) + u')'));
        std::printf("station_%d_wall: %.3f s, %.4f x the slowest unit alone (unit %d, %.3f s; target <= 1.02)\n",
                    count, station.wall, station.wall / solo.wall, slowest + 1, solo.wall);
        std::printf("station_%d_cpu: %.3f s, %.2f x one unit alone (%.3f s; target for 8 <= 8.5)\n", count,
                    station.cpu, station.cpu / solo.cpu, solo.cpu);
        std::printf("station_%d_units_per_hour: %.1f\n", count, count * 3600.0 / station.wall);
        std::fflush(stdout);
        ok = ok && station.status == 0 && station.sameFrames == count;
    }
    return ok ? 0 : 1;
}
