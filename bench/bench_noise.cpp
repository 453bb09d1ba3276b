// What a noisy line costs: one run-mode-3 recalibration of a simulated unit on a clean line and
// the same unit on a line that garbles a share of its replies (psucal-sim --faults noise:p=P), in
// real time. Prints both wall times, the difference, the replies asked again, and whether the
// unit ended with the same EEPROM.
#include "bench/Support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

using namespace psucal::bench;

namespace {

struct Run {
    int status = -1;
    double wall = 0;
    int repeats = 0;
    QByteArray eeprom;
};

bool Measure(const QString& binDir, const QStringList& unit, const QString& noise, Run* run, QString* error)
{
    QTemporaryDir dir;
    const QString eeprom = dir.filePath(QStringLiteral("eeprom.txt"));
    const QString programDir = dir.filePath(QStringLiteral("run"));
    QDir().mkpath(programDir);
    QStringList simArgs = unit + QStringList{QStringLiteral("--eeprom-out"), eeprom};
    if (!noise.isEmpty())
        simArgs << QStringLiteral("--faults") << noise;
    Simulator sim;
    if (!sim.start(binDir, simArgs, error))
        return false;
    Child psucal;
    const QString out = dir.filePath(QStringLiteral("stdout.txt"));
    const double t0 = Now();
    if (!psucal.start(binDir + QStringLiteral("/psucal"),
                      {QStringLiteral("--batch"), QStringLiteral("--yes"), QStringLiteral("--supply-port"), sim.port(),
                       QStringLiteral("--dir"), programDir},
                      Child::Io{out, true}, error))
        return false;
    run->status = psucal.reap();
    run->wall = Now() - t0;
    sim.stop();
    QFile f(out);
    if (f.open(QIODevice::ReadOnly)) {
        static const QRegularExpression asked(QStringLiteral("\\((\\d+) repl(?:y|ies) asked again\\)"));
        const auto m = asked.match(QString::fromLocal8Bit(f.readAll()));
        run->repeats = m.hasMatch() ? m.captured(1).toInt() : 0;
    }
    QFile e(eeprom);
    if (e.open(QIODevice::ReadOnly))
        run->eeprom = e.readAll();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString binDir = BinDir(args);
    const QString model = Option(args, QStringLiteral("--model"), QStringLiteral("40"));
    const QString seed = Option(args, QStringLiteral("--seed"), QStringLiteral("1"));
    const QString chance = Option(args, QStringLiteral("--p"), QStringLiteral("0.02"));
    const QStringList unit{QStringLiteral("--model"), model, QStringLiteral("--seed"), seed};

    std::printf("Run-mode-3 recalibration of a %sV unit (psucal-sim seed %s) in real time, on a clean line\n"
                "and on one where each display, row, row-write and set-point reply is garbled with chance %s\n"
                "(psucal-sim --faults supply-noise:p=%s: late, cut, dropped, foreign or extra characters,\n"
                "missing replies, flipped nibbles). Launch to exit, wall clock.\n",
                qPrintable(model), qPrintable(seed), qPrintable(chance), qPrintable(chance));
    Run clean, noisy;
    QString error;
    if (!Measure(binDir, unit, QString(), &clean, &error) ||
        !Measure(binDir, unit, QStringLiteral("supply-noise:p=") + chance, &noisy, &error)) {
        std::fprintf(stderr, "bench_noise: %s\n", qPrintable(error));
        return 1;
    }
    const bool same = !clean.eeprom.isEmpty() && clean.eeprom == noisy.eeprom;
    std::printf("noise_clean_exit_status: %d (0 = recalibrated)\n", clean.status);
    std::printf("noise_noisy_exit_status: %d (0 = recalibrated)\n", noisy.status);
    std::printf("noise_clean_wall: %.3f s\n", clean.wall);
    std::printf("noise_noisy_wall: %.3f s\n", noisy.wall);
    std::printf("noise_cost: %.3f s longer (%.2f %%) for %d replies asked again (%.0f ms each)\n",
                noisy.wall - clean.wall, 100 * (noisy.wall / clean.wall - 1), noisy.repeats,
                noisy.repeats > 0 ? 1000 * (noisy.wall - clean.wall) / noisy.repeats : 0.0);
    std::printf("noise_same_eeprom_as_clean: %s\n", same ? "yes" : "NO");
    return clean.status == 0 && noisy.status == 0 && same ? 0 : 1;
}
