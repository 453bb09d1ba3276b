// Start-up to the first wizard page against psucal-sim (40 V unit), as a ratio to its ideal.
#include "terminal/Session.h"
#include "wizard/Workbench.h"
#include "bench/IdealRun.h"
#include "bench/Support.h"
#include "core/WizardCaption.h"
#include "link/Trace.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

using namespace psucal;
using namespace psucal::bench;

namespace {

// Replies an answering supply sends during start-up: "SESS", "GMAX", whole-image "GEEP".
constexpr int StartupReplyChars = 3 + 9 + 1443;
constexpr double CharSeconds = 10.0 / 9600;

// Where the time of one start-up went, from the link's trace: before the first frame (ports
// opened), each exchange (frame out to reply in), the gaps between exchanges, and what follows
// the last reply (when `total` is given).
QString Breakdown(const QString& tracePath, double total)
{
    QFile f(tracePath);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QStringList parts;
    double previous = 0, sent = 0;
    QByteArray command;
    while (!f.atEnd()) {
        const QList<QByteArray> w = f.readLine().trimmed().split(' ');
        if (w.size() < 3)
            continue;
        const double t = w[0].toDouble() / 1000;
        if (w[2] == ">") {
            command = w.value(3).left(4);
            parts << QStringLiteral("gap %1 ms").arg((t - previous) * 1000, 0, 'f', 1);
            sent = t;
        } else {
            parts << QStringLiteral("%1 %2 ms").arg(QString::fromLatin1(command)).arg((t - sent) * 1000, 0, 'f', 1);
        }
        previous = t;
    }
    if (total >= 0)
        parts << QStringLiteral("after %1 ms").arg((total - previous) * 1000, 0, 'f', 1);
    return parts.join(QStringLiteral(", "));
}

// Wizard::FormLoad on real ports and a real clock, wired as the program wires them.
bool InProcess(const QString& binDir, double* seconds, QString* breakdown, QString* error)
{
    Simulator sim;
    if (!sim.start(binDir, {QStringLiteral("--model"), QStringLiteral("40")}, error))
        return false;
    QuietHost host;
    SerialBench line;
    RealClock& clock = line.clock;
    QTemporaryDir dir;
    Workbench rig(host, clock, line.supplyPort, line.meterPort, dir.path());
    Trace trace(dir.filePath(QStringLiteral("trace.txt")), clock);
    rig.supply.setTrace(&trace);

    const double c0 = clock.now();
    const double t0 = Now();
    rig.wizard.FormLoad(sim.port(), QStringLiteral("COM2"));
    *seconds = Now() - t0;
    const double c1 = clock.now();
    trace.flush();
    *breakdown = Breakdown(dir.filePath(QStringLiteral("trace.txt")), c1) +
                 QStringLiteral(" (clock started %1 ms before FormLoad)").arg((c0)*1000, 0, 'f', 1);

    sim.stop();
    if (rig.ui.caption() != caption::Start || rig.st.SerialNo.isEmpty()) {
        *error = QStringLiteral("start-up did not identify the unit (caption \"%1\", serial \"%2\")")
                     .arg(rig.ui.caption(), rig.st.SerialNo);
        return false;
    }
    return true;
}

// The whole program: from launching psucal to the line it prints once start-up is over.
bool WholeProcess(const QString& binDir, double* firstLine, double* loaded, QString* breakdown, QString* error)
{
    Simulator sim;
    if (!sim.start(binDir, {QStringLiteral("--model"), QStringLiteral("40")}, error))
        return false;
    QTemporaryDir dir;
    Child psucal;
    const double t0 = Now();
    if (!psucal.start(binDir + QStringLiteral("/psucal"),
                      {QStringLiteral("--batch"), QStringLiteral("--supply-port"), sim.port(), QStringLiteral("--dir"),
                       dir.path(), QStringLiteral("--trace"), dir.filePath(QStringLiteral("trace.txt"))},
                      Child::Io{QString(), true}, error))
        return false;
    bool ok = false;
    *firstLine = -1;
    QString line;
    while (psucal.readLine(20.0, &line)) {
        const double t = Now() - t0;
        if (*firstLine < 0)
            *firstLine = t;
        if (line.startsWith(QStringLiteral("Status:"))) {
            *loaded = t;
            ok = line.contains(QStringLiteral("40V/5A"));
            break;
        }
    }
    // It has gone on into the voltage page by now; closing sends "ENDS" and ends it.
    psucal.signal(SIGTERM);
    psucal.reap();
    sim.stop();
    // Only the start-up's three exchanges; the trace goes on into the voltage page.
    QFile trace(dir.filePath(QStringLiteral("trace.txt")));
    if (trace.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QByteArray head;
        for (int i = 0; i < 6 && !trace.atEnd(); ++i)
            head += trace.readLine();
        QFile cut(dir.filePath(QStringLiteral("startup.txt")));
        if (cut.open(QIODevice::WriteOnly | QIODevice::Text))
            cut.write(head);
        cut.close();
        *breakdown = Breakdown(cut.fileName(), -1) + QStringLiteral(" (clock starts inside the program)");
    }
    if (!ok)
        *error = QStringLiteral("psucal did not reach the first page with the 40 V unit (\"%1\")").arg(line);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString binDir = BinDir(args);
    const int runs = std::max(1, Option(args, QStringLiteral("--runs"), QStringLiteral("3")).toInt());

    const double repliesOnly = StartupReplyChars * CharSeconds;
    IdealRun virtualRun;
    QTemporaryDir scratch;
    virtualRun.run(scratch.path());
    const double ideal = virtualRun.startupSeconds;

    std::vector<double> inProcess, firstLines, loadeds;
    QStringList breakdowns, processBreakdowns;
    for (int i = 0; i < runs; ++i) {
        double s = 0, first = 0, loaded = 0;
        QString error, breakdown, processBreakdown;
        if (!InProcess(binDir, &s, &breakdown, &error) ||
            !WholeProcess(binDir, &first, &loaded, &processBreakdown, &error)) {
            std::fprintf(stderr, "bench_startup: %s\n", qPrintable(error));
            return 1;
        }
        inProcess.push_back(s);
        firstLines.push_back(first);
        loadeds.push_back(loaded);
        breakdowns << breakdown;
        processBreakdowns << processBreakdown;
    }

    std::printf("Start-up to the first wizard page against psucal-sim --model 40 (supply answers, so no\n"
                "time-out applies). Ideal = the same start-up in virtual time, as bench_ideal computes it: the\n"
                "frames and replies at 9600 baud, 10 bits a character, and 1 ms turnaround per reply. The\n"
                "replies' wire time alone (\"SESS\" 3 + \"GMAX\" 9 + whole-image \"GEEP\" 1443 characters) is\n"
                "shown for comparison. Median of %d runs.\n",
                runs);
    std::printf("startup_ideal: %.3f s\n", ideal);
    std::printf("startup_replies_only: %.3f s (ratio of the process to it %.3f)\n", repliesOnly,
                Median(loadeds) / repliesOnly);
    std::printf("startup_inprocess: %.3f s (Wizard::FormLoad on SerialTransport + RealClock)\n", Median(inProcess));
    std::printf("startup_inprocess_ratio: %.3f (target <= 1.02)\n", Median(inProcess) / ideal);
    std::printf("startup_process: %.3f s (launch of psucal --batch to its \"Status:\" line)\n", Median(loadeds));
    std::printf("startup_process_ratio: %.3f (target <= 1.02)\n", Median(loadeds) / ideal);
    std::printf("startup_process_first_line: %.3f s (rating page, printed before the image is read)\n",
                Median(firstLines));
    std::printf("startup_process_launch_overhead: %.3f s (process minus in-process)\n",
                Median(loadeds) - Median(inProcess));
    for (int i = 0; i < runs; ++i)
        std::printf("  run %d: in-process %.3f s, process %.3f s\n    in-process: %s\n    process:    %s\n", i + 1,
                    inProcess[i], loadeds[i], qPrintable(breakdowns[i]), qPrintable(processBreakdowns[i]));
    return 0;
}
