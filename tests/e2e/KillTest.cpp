// psucal killed at chosen moments of a run against the pty simulator. The moments are found in
// the trace, which is written as it happens. Setting PSUCAL_TORTURE spreads many more kills
// over each run; PSUCAL_FAULT_LOG names a file that gets one line per kill for the fault table.
#include "db/Database.h"
#include "report/ReportRows.h"
#include "tests/db/PgCluster.h"
#include "tests/e2e/EarlierReport.h"
#include "tests/e2e/Sim.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using psucal::test::ReadRows;
using psucal::test::Sim;

namespace {

bool Torture()
{
    return !qEnvironmentVariableIsEmpty("PSUCAL_TORTURE");
}

// The few moments of a quick run, or every `step`-th up to `last` under torture.
QList<int> Moments(QList<int> quick, int first, int last, int step)
{
    if (!Torture())
        return quick;
    QList<int> all;
    for (int n = first; n <= last; n += step)
        all << n;
    return all;
}

// One line of the fault table: the fault, what was tried, and what came of it.
void Log(const QString& fault, const QString& outcome)
{
    const QString path = qEnvironmentVariable("PSUCAL_FAULT_LOG");
    QFile f(path);
    if (!path.isEmpty() && f.open(QIODevice::Append))
        f.write((fault + u'\t' + outcome + u'\n').toUtf8());
}

struct Outcome {
    bool signalled = false; // the moment came and the signal went
    int status = -1;        // exit code, -1 when the signal ended the process
    double exitSeconds = 0; // from the signal to the end of the process
    QStringList trace;
    QString out;
};

// Runs psucal in `dir` and sends `signal` once its trace holds the `nth` line matching `moment`,
// `delayMs` later; a run that ends first is left to end.
Outcome RunUntil(const QString& dir, const QStringList& args, const QString& moment, int nth, int delayMs, int signal)
{
    const QString tracePath = dir + "/trace.txt";
    QFile::remove(tracePath);
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(PSUCAL_PATH, args + QStringList{"--trace", tracePath});
    p.closeWriteChannel();
    const QRegularExpression re(moment);
    QFile trace(tracePath);
    QByteArray pending;
    int seen = 0;
    Outcome r;
    QElapsedTimer clock;
    clock.start();
    while (!r.signalled && p.state() != QProcess::NotRunning && clock.elapsed() < 120000) {
        if (!trace.isOpen())
            trace.open(QIODevice::ReadOnly);
        if (trace.isOpen())
            pending += trace.readAll();
        for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0; pending.remove(0, nl + 1))
            seen += re.match(QString::fromLatin1(pending.left(nl))).hasMatch();
        if (seen >= nth) {
            QThread::msleep(delayMs);
            ::kill(static_cast<pid_t>(p.processId()), signal);
            r.signalled = true;
        } else {
            p.waitForFinished(1);
        }
    }
    clock.restart();
    p.waitForFinished(60000);
    r.exitSeconds = clock.elapsed() / 1000.0;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    QFile t(tracePath);
    if (t.open(QIODevice::ReadOnly))
        r.trace = QString::fromLatin1(t.readAll()).split('\n', Qt::SkipEmptyParts);
    return r;
}

// The newest backup in the program folder's backups, put back by a fresh psucal; then the unit
// must hold what it held when the killed run began. No complete backup is only fine when the
// run never wrote a row. Returns what happened, for the table.
QString ExpectRestored(const QString& dir, const Sim& sim, const std::map<int, QString>& asFound, const Outcome& killed)
{
    const QFileInfoList backups = QDir(dir + "/backups").entryInfoList({"*.txt"}, QDir::Files, QDir::Time);
    QString how = "no backup, no row written";
    if (!backups.isEmpty()) {
        const auto restore = [&](const QStringList& more) {
            QProcess p;
            p.setWorkingDirectory(dir);
            p.start(PSUCAL_PATH, QStringList{"--restore", backups.first().filePath(), "--supply-port", sim.port} + more);
            p.waitForFinished(120000);
            return std::make_pair(p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()));
        };
        auto [status, out] = restore({});
        how = "restored";
        // A Define cut short has given the unit its new serial number already; the technician
        // says the backup is meant all the same.
        if (status != 0 && out.contains("is the backup of serial number")) {
            std::tie(status, out) = restore({"--force"});
            how = "restored with --force";
        }
        if (status != 0)
            how = "newest backup refused, no row written";
        EXPECT_TRUE(status == 0 || out.contains("incomplete")) << out.toStdString();
    }
    if (!how.startsWith("restored")) {
        EXPECT_TRUE(killed.trace.filter(" supply > SEEP").isEmpty()) << how.toStdString();
    }
    const bool same = ReadRows(dir + "/eeprom.txt") == asFound;
    EXPECT_TRUE(same) << "the unit differs from its as-found image after: " << how.toStdString();
    return same ? how + ": as found" : how + ": DIFFERS from as found";
}

struct KillCase {
    QString fault;          // for the table; %1 is the moment
    QStringList simArgs;
    QStringList args;       // psucal's, without the ports
    QString moment;         // trace line to count
    QList<int> nths;
    int delayMs = 0;
    bool byDelay = false;   // the table names the delay, not the line
};

// Each kill on a fresh simulator and program folder: as found, killed, put back.
void KillAndRestore(const KillCase& c)
{
    for (const int nth : c.nths) {
        QTemporaryDir dir;
        Sim sim(c.simArgs, dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.port.isEmpty());
        const auto asFound = ReadRows(dir.filePath("eeprom.txt"));
        ASSERT_EQ(asFound.size(), 160u);
        QStringList ports{"--supply-port", sim.port};
        if (!c.args.contains("--restore"))
            ports << "--meter-port" << sim.meter;
        const Outcome r = RunUntil(dir.path(), c.args + ports, c.moment, nth, c.delayMs, SIGKILL);
        const QString fault = "SIGKILL " + c.fault.arg(c.byDelay ? c.delayMs : nth);
        if (!r.signalled) {
            Log(fault, "run ended before the moment");
            continue;
        }
        Log(fault, ExpectRestored(dir.path(), sim, asFound, r));
    }
}

const QStringList Calibrate{"--batch", "--yes"};
const QString SeepSent = " supply > SEEP";

} // namespace

TEST(Kill, MidRowWriteFrameTheUnitGoesBackToAsFound)
{
    KillAndRestore({"supply: mid SEEP frame (SEEP %1)", {"--model", "20", "--seed", "2"}, Calibrate, SeepSent,
                    Moments({1, 4, 9}, 1, 25, 2)});
}

TEST(Kill, BetweenRowWriteAndItsOkTheUnitGoesBackToAsFound)
{
    for (const int nth : Moments({2, 7}, 1, 16, 2))
        KillAndRestore({"supply: between SEEP and OK (SEEP %1)",
                        {"--model", "20", "--seed", "2", "--fault", QStringLiteral("SEEP:late=0.5:nth=%1").arg(nth)},
                        Calibrate, SeepSent, {nth}, 150});
}

TEST(Kill, DuringTheAsFoundBackupNoRowIsWrittenUnbacked)
{
    // The whole-image reply ends; the backup is written right after it.
    for (const int delay : Moments({0, 3}, 0, 12, 2))
        KillAndRestore({"file: as-found backup write (image +%1 ms)", {"--model", "40", "--seed", "1"}, Calibrate,
                        " supply < .{1400}", {1}, delay, true});
}

TEST(Kill, DuringDefineAndRestoreTheUnitGoesBackToAsFound)
{
    KillAndRestore({"supply: during Define (SEEP %1)", {"--blank", "--model", "60"},
                    {"--batch", "--yes", "--run-mode", "0", "--define", "--serial", "SN123456", "--model", "60"},
                    SeepSent, Moments({3, 9}, 1, 11, 2)});

    // A backup of the same unit from an earlier day, being put back when the kill comes.
    QTemporaryDir old;
    {
        Sim before({"--model", "40", "--seed", "1", "--serial", "RS4001"}, old.filePath("backup.txt"));
    }
    KillAndRestore({"supply: during --restore (SEEP %1)", {"--model", "40", "--seed", "2", "--serial", "RS4001"},
                    {"--restore", old.filePath("backup.txt")}, SeepSent, Moments({20, 80}, 5, 105, 20)});
}

namespace {

int StoredRecords(const QString& dir, const QString& serial)
{
    psucal::Database db(dir);
    QSqlDatabase c = db.connection();
    QString error;
    return static_cast<int>(psucal::ReportRows::Records(c, serial, &error).size());
}

const QStringList Verify{"--batch", "--yes", "--run-mode", "1", "--spots", "5", "--report"};

} // namespace

TEST(Kill, MidRecordsStoreCalibrationDtHoldsTheOldOrTheNewSet)
{
    // The meter is handed back to its front panel after the second pass; the report and the
    // records follow some 400 ms later.
    for (const int delay : Moments({390, 420}, 300, 475, 25)) {
        QTemporaryDir dir;
        {
            psucal::Database db(dir.path());
            QSqlDatabase c = db.connection();
            ASSERT_TRUE(psucal::test::SaveEarlierReport(c, "KT-1"));
        }
        Sim sim({"--model", "60", "--serial", "KT-1"}, dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.meter.isEmpty());
        const Outcome r = RunUntil(dir.path(), Verify + QStringList{"--supply-port", sim.port, "--meter-port", sim.meter},
                               " meter > :SYST:LOC", 2, delay, SIGKILL);
        const int n = StoredRecords(dir.path(), "KT-1");
        EXPECT_TRUE(n == 7 || n == 5) << n << " records: a mix of two runs";
        Log(QStringLiteral("SIGKILL store: Calibration.dt write (+%1 ms)").arg(delay),
            n == 7 ? "old set kept" : n == 5 ? "new set stored" : QStringLiteral("MIXED: %1 records").arg(n));
    }
}

TEST(Kill, TermAndHangupSendEndsCloseTraceAndStoresAndExitPromptly)
{
    for (const int sig : {SIGTERM, SIGHUP}) {
        QTemporaryDir dir;
        Sim sim({"--model", "60", "--serial", "KT-2"}, dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.meter.isEmpty());
        const Outcome r = RunUntil(dir.path(), Verify + QStringList{"--supply-port", sim.port, "--meter-port", sim.meter},
                               " meter < [+-]\\d", 3, 0, sig);
        const QString name = sig == SIGTERM ? "SIGTERM" : "SIGHUP";
        ASSERT_TRUE(r.signalled);
        EXPECT_EQ(r.status, 130) << r.out.toStdString();
        EXPECT_LT(r.exitSeconds, 5.0);
        const QStringList sent = r.trace.filter(" supply > ");
        ASSERT_FALSE(sent.isEmpty());
        EXPECT_TRUE(sent.last().endsWith("ENDS00\\r")) << sent.last().toStdString();
        // Closed, not cut off: nothing of a transaction is left behind.
        EXPECT_FALSE(QFile::exists(dir.filePath("Calibration.dt-journal")));
        EXPECT_FALSE(QFile::exists(dir.filePath("Calibration.dt-wal")));
        Log(name + " mid verification", QStringLiteral("%1, exit %2 after %3 s")
                                             .arg(sent.last().endsWith("ENDS00\\r") ? "ENDS sent" : "NO ENDS")
                                             .arg(r.status)
                                             .arg(r.exitSeconds));
    }
}

TEST(Kill, SupplyVanishingIsReportedNeverHangsAndNothingIsWrittenAfter)
{
    for (const int nth : Moments({12, 60, 150}, 10, 280, 30)) {
        QTemporaryDir dir;
        Sim sim({"--model", "20", "--seed", "2", "--fault", QStringLiteral("*:vanish:nth=%1").arg(nth)},
                dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.port.isEmpty());
        const Outcome r = RunUntil(dir.path(), Calibrate + QStringList{"--supply-port", sim.port}, "^$", 1, 0, SIGKILL);
        EXPECT_FALSE(r.signalled);
        EXPECT_NE(r.status, 0) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(" lost (cable")) << r.out.toStdString();
        // Nothing at all goes out after the frame the port vanished under, ENDS included.
        const QStringList frames = r.trace.filter(QRegularExpression(" supply [<>] "));
        const qsizetype lost = std::min<qsizetype>(2 * nth - 1, frames.size());
        const QStringList after = frames.mid(lost).filter(" supply > ");
        EXPECT_TRUE(after.isEmpty()) << after.join('\n').toStdString();
        Log(QStringLiteral("supply port vanishes at frame %1").arg(nth),
            r.out.contains(" lost (cable") && after.isEmpty() ? "reported, ended, no write after"
                                                                            : "NOT as required");
    }
}

TEST(Kill, MidServerStoreEveryRunOnTheServerIsWhole)
{
    if (psucal::test::PgCluster::BinDir().isEmpty())
        GTEST_SKIP() << "PostgreSQL 15 is not installed; scripts/install-deps installs it";
    psucal::test::PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.create(false, &error)) << error.toStdString();
    for (const int delay : Moments({390, 420}, 300, 475, 25)) {
        QTemporaryDir dir;
        Sim sim({"--model", "60", "--serial", "KT-3"}, dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.meter.isEmpty());
        RunUntil(dir.path(),
                 Verify + QStringList{"--supply-port", sim.port, "--meter-port", sim.meter, "--database", cluster.url()},
                 " meter > :SYST:LOC", 2, delay, SIGKILL);
        // Records per run of the unit, and records tied to no run: a run is all five or absent.
        const QString counts = cluster.psql("SELECT string_agg(n::text, ',') FROM (SELECT count(p.\"SN\") n FROM run r "
                                            "LEFT JOIN report p ON p.run_id = r.id WHERE r.sn = 'KT-3' GROUP BY r.id) c",
                                            &error)
                                   .trimmed();
        const QString loose =
            cluster.psql("SELECT count(*) FROM report WHERE run_id IS NULL AND \"SN\" = 'KT-3'", &error).trimmed();
        const bool whole = QRegularExpression("^(5(,5)*)?$").match(counts).hasMatch() && (loose == "0" || loose.isEmpty());
        EXPECT_TRUE(whole) << "runs hold " << counts.toStdString() << " records, " << loose.toStdString() << " loose";
        Log(QStringLiteral("SIGKILL store: server write (+%1 ms)").arg(delay),
            !whole ? "MIXED: runs of " + counts : counts.isEmpty() ? "no run stored yet" : "runs whole: " + counts);
    }
}
