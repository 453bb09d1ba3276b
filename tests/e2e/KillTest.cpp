// psucal killed at chosen moments of a run against the pty simulator. The moments are found in
// the trace, which is written as it happens, then in the simulator's line log, the program
// folder or the server; where a window is too short to hit, strace makes it last. Each kill says
// where it landed, measured after the fact. Setting PSUCAL_TORTURE spreads many more kills
// over each run; PSUCAL_FAULT_LOG names a file that gets one line per kill for the fault table.
#include "db/Database.h"
#include "db/ServerSchema.h"
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
#include <ctime>
#include <functional>
#include <optional>
#include <unistd.h>

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

double Now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// One line of the fault table: the fault, where the kill landed ("in: ..." inside the window it
// was meant for, "out: ..." elsewhere), and what came of it.
void Log(const QString& fault, const QString& landed, const QString& outcome)
{
    const QString path = qEnvironmentVariable("PSUCAL_FAULT_LOG");
    QFile f(path);
    if (!path.isEmpty() && f.open(QIODevice::Append))
        f.write((fault + u'\t' + landed + u'\t' + outcome + u'\n').toUtf8());
}

// A piece of the supply line's traffic, as psucal-sim paced it (--line-log).
struct Piece {
    double start = 0, end = 0;
    bool toUnit = false;
    QString text; // escaped: "\r" is two characters here, one on the line
    qsizetype size() const { return text.size() - text.count(QStringLiteral("\\r")); }
};

QList<Piece> LineLog(const QString& path)
{
    QList<Piece> out;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        for (const QString& l : QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts)) {
            const QStringList w = l.split(' ');
            if (w.size() >= 4)
                out.append({w[0].toDouble(), w[1].toDouble(), w[2] == "<", w.mid(3).join(' ')});
        }
    return out;
}

// Where on the supply line the moment `t` fell, measured by the simulator's clock.
QString OnTheLine(const QString& lineLog, double t)
{
    const QList<Piece> log = LineLog(lineLog);
    qsizetype i = log.size() - 1;
    while (i >= 0 && log[i].start > t)
        --i;
    if (i < 0)
        return "before any traffic";
    const Piece& p = log[i];
    const QString what = p.text.left(4);
    if (t < p.end) {
        const auto held = static_cast<int>((t - p.start) / ((p.end - p.start) / static_cast<double>(p.size())));
        return QStringLiteral("%1 of %2 characters of a %3 %4")
            .arg(held)
            .arg(p.size())
            .arg(what, p.toUnit ? "frame held by the unit" : "reply sent");
    }
    return p.toUnit ? QStringLiteral("between a whole %1 frame and its reply").arg(what)
                    : QStringLiteral("between exchanges");
}

// When to strike: once the trace has its `nth` line matching `traceLine`, `then` gives the
// monotonic moment (told psucal's process id), or a negative value while the run has not come
// so far. strace holds up the `widen` system calls for `holdMs` each, so that a short window lasts.
struct Moment {
    QString traceLine;
    int nth = 1;
    std::function<double(pid_t)> then = [](pid_t) { return 0.0; };
    QString widen = {};
    int holdMs = 0;
};

struct Outcome {
    bool signalled = false; // the moment came and the signal went
    int status = -1;        // exit code, -1 when the signal ended the process
    double exitSeconds = 0; // from the signal to the end of the process
    double killedAt = 0;    // monotonic
    QStringList trace;
    QString out;
};

// The process to signal: psucal, or strace's child when strace runs it.
pid_t Target(const QProcess& p, bool traced)
{
    const auto pid = static_cast<pid_t>(p.processId());
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    return traced && children.open(QIODevice::ReadOnly) ? static_cast<pid_t>(children.readAll().trimmed().toInt())
                                                        : pid;
}

// Runs psucal in `dir` and sends `signal` at moment `m`; a run that ends first is left to end.
// With `group`, psucal leads a process group of its own and the signal goes to all of it, as
// Ctrl-C in its terminal or a logout sends it.
Outcome RunUntil(const QString& dir, const QStringList& args, const Moment& m, int signal, bool group = false)
{
    const QString tracePath = dir + "/trace.txt";
    QFile::remove(tracePath);
    QProcess p;
    p.setWorkingDirectory(dir);
    if (group)
        p.setChildProcessModifier([] { ::setsid(); });
    const QStringList own = args + QStringList{"--trace", tracePath};
    if (m.widen.isEmpty())
        p.start(PSUCAL_PATH, own);
    else
        p.start("strace",
                QStringList{"-f", "--seccomp-bpf", "-qq", "-o", "/dev/null", "-e", "trace=" + m.widen, "-e",
                            QStringLiteral("inject=%1:delay_enter=%2").arg(m.widen).arg(m.holdMs * 1000), PSUCAL_PATH} +
                    own);
    p.closeWriteChannel();
    const QRegularExpression re(m.traceLine);
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
        const double at = seen >= m.nth ? m.then(Target(p, !m.widen.isEmpty())) : -1;
        if (at >= 0) {
            while (Now() < at)
                QThread::usleep(100);
            r.killedAt = Now();
            const pid_t target = Target(p, !m.widen.isEmpty());
            ::kill(group ? -target : target, signal);
            r.signalled = true;
        } else {
            p.waitForFinished(1);
        }
    }
    clock.restart();
    p.waitForFinished(group ? 10000 : 60000);
    r.exitSeconds = clock.elapsed() / 1000.0;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    QFile t(tracePath);
    if (t.open(QIODevice::ReadOnly))
        r.trace = QString::fromLatin1(t.readAll()).split('\n', Qt::SkipEmptyParts);
    return r;
}

// The newest backup in the program folder's backups, put back by a fresh psucal; then the unit
// must hold what it held when the killed run began. No backup is only fine when the run never
// wrote a row, and a file named as a backup is always a whole one. Returns what happened.
QString ExpectRestored(const QString& dir, const Sim& sim, const std::map<int, QString>& asFound, const Outcome& killed)
{
    const QFileInfoList backups = QDir(dir + "/backups").entryInfoList({"*.txt"}, QDir::Files, QDir::Time);
    QString how = "no backup, no row written";
    if (!backups.isEmpty()) {
        const auto restore = [&](const QStringList& more) {
            QProcess p;
            p.setWorkingDirectory(dir);
            p.start(PSUCAL_PATH,
                    QStringList{"--restore", backups.first().filePath(), "--supply-port", sim.port} + more);
            p.waitForFinished(120000);
            return std::make_pair(p.exitCode(),
                                  QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()));
        };
        auto [status, out] = restore({});
        how = "restored";
        // A Define cut short has given the unit its new serial number already; the technician
        // says the backup is meant all the same.
        if (status != 0 && out.contains("is the backup of serial number")) {
            std::tie(status, out) = restore({"--force"});
            how = "restored with --force";
        }
        EXPECT_EQ(status, 0) << out.toStdString();
        if (status != 0)
            how = "NOT restored: " + out.simplified().left(80);
    }
    if (!how.startsWith("restored")) {
        EXPECT_TRUE(killed.trace.filter(" supply > SEEP").isEmpty()) << how.toStdString();
    }
    const bool same = ReadRows(dir + "/eeprom.txt") == asFound;
    EXPECT_TRUE(same) << "the unit differs from its as-found image after: " << how.toStdString();
    return same ? how + ": as found" : how + ": DIFFERS from as found";
}

struct KillCase {
    QString fault; // for the table; %1 is the moment
    QStringList simArgs;
    QStringList args; // psucal's, without the ports
    QList<int> nths;
    // The moment of the `nth` kill, given the program folder (the line log is its line.txt).
    std::function<Moment(int nth, const QString& dir)> moment;
    // What the supply line shows where the kill is meant to land; "" for anywhere.
    QString meant;
    // Where it landed instead, "in: ..." or "out: ...", when the line does not tell.
    std::function<QString(const QString& dir)> landed = {};
};

// Each kill on a fresh simulator and program folder: as found, killed, put back.
void KillAndRestore(const KillCase& c)
{
    for (const int nth : c.nths) {
        QTemporaryDir dir;
        const QString lineLog = dir.filePath("line.txt");
        Sim sim(c.simArgs + QStringList{"--line-log", lineLog}, dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.port.isEmpty());
        const auto asFound = ReadRows(dir.filePath("eeprom.txt"));
        ASSERT_EQ(asFound.size(), 160u);
        QStringList ports{"--supply-port", sim.port};
        if (!c.args.contains("--restore"))
            ports << "--meter-port" << sim.meter;
        const Outcome r = RunUntil(dir.path(), c.args + ports, c.moment(nth, dir.path()), SIGKILL);
        const QString fault = "SIGKILL " + (c.fault.contains("%1") ? c.fault.arg(nth) : c.fault);
        if (!r.signalled) {
            Log(fault, "out: the run ended first", QStringLiteral("exit %1").arg(r.status));
            continue;
        }
        const QString where = OnTheLine(lineLog, r.killedAt);
        const QString landed = c.landed ? c.landed(dir.path()) : (where.contains(c.meant) ? "in: " : "out: ") + where;
        QThread::msleep(50); // what was on its way reaches the unit
        const bool took = ReadRows(dir.filePath("eeprom.txt")) != asFound;
        Log(fault, landed,
            (took ? "unit changed; " : "unit untouched; ") + ExpectRestored(dir.path(), sim, asFound, r));
    }
}

const QStringList Calibrate{"--batch", "--yes"};
const QString SeepSent = " supply > SEEP";

// Whether process `pid` has a file open under `folder`, named or not yet.
bool Writing(pid_t pid, const QString& folder)
{
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(fds + u'/' + fd).startsWith(folder))
            return true;
    return false;
}

// At the `nth` SEEP sent, then when `at` says, given that frame's times on the unit's line.
Moment AtFrame(int nth, const QString& dir, const std::function<double(const Piece&)>& at)
{
    return {SeepSent, nth, [=](pid_t) {
                int n = 0;
                for (const Piece& p : LineLog(dir + "/line.txt"))
                    if (p.toUnit && p.text.startsWith("SEEP") && ++n == nth)
                        return at(p);
                return -1.0;
            }};
}

} // namespace

TEST(Kill, MidRowWriteFrameTheUnitGoesBackToAsFound)
{
    // The frame is written whole, so no kill can cut it at psucal's end; the kill lands while
    // the unit has taken 3 to 16 of its characters off the line, a different number each time.
    const auto moment = [](int nth, const QString& dir) {
        return AtFrame(nth, dir, [nth](const Piece& f) { return f.start + (f.end - f.start) * (2 + nth % 15) / 18.0; });
    };
    KillAndRestore({"supply: mid SEEP frame (SEEP %1)",
                    {"--model", "20", "--seed", "2"},
                    Calibrate,
                    Moments({1, 4, 9}, 1, 25, 2),
                    moment,
                    "characters of a SEEP frame held"});
}

TEST(Kill, BetweenRowWriteAndItsOkTheUnitGoesBackToAsFound)
{
    // The unit's OK comes half a second late; the kill 150 ms after the unit has the frame.
    const auto moment = [](int n, const QString& dir) {
        return AtFrame(n, dir, [](const Piece& f) { return f.end + 0.15; });
    };
    for (const int nth : Moments({2, 7}, 1, 16, 2))
        KillAndRestore({"supply: between SEEP and OK (SEEP %1)",
                        {"--model", "20", "--seed", "2", "--fault", QStringLiteral("SEEP:late=0.5:nth=%1").arg(nth)},
                        Calibrate,
                        {nth},
                        moment,
                        "between a whole SEEP frame"});
}

TEST(Kill, DuringTheAsFoundBackupNoRowIsWrittenUnbacked)
{
    // The backup is held up just before it takes its name; the kill comes `delay` ms after
    // psucal has opened the file it is written to.
    const auto landed = [](const QString& dir) -> QString {
        return QDir(dir + "/backups").entryList({"*.txt"}, QDir::Files).isEmpty()
                   ? "in: while the image was written, before it was named a backup"
                   : "out: after the backup was named";
    };
    for (const int delay : Moments({0, 200}, 0, 350, 50)) {
        const auto moment = [delay](int, const QString& dir) {
            const auto at = [=](pid_t pid) { return Writing(pid, dir + "/backups/") ? Now() + delay / 1000.0 : -1.0; };
            return Moment{" supply < .{1400}", 1, at, "rename,renameat,renameat2,link,linkat", 400};
        };
        KillAndRestore({QStringLiteral("file: as-found backup write (+%1 ms)").arg(delay),
                        {"--model", "40", "--seed", "1"},
                        Calibrate,
                        {1},
                        moment,
                        "",
                        landed});
    }
}

TEST(Kill, DuringDefineAndRestoreTheUnitGoesBackToAsFound)
{
    const auto atSeep = [](int nth, const QString&) { return Moment{SeepSent, nth}; };
    KillAndRestore({"supply: during Define (SEEP %1)",
                    {"--blank", "--model", "60"},
                    {"--batch", "--yes", "--run-mode", "0", "--define", "--serial", "SN123456", "--model", "60"},
                    Moments({3, 9}, 1, 11, 2),
                    atSeep,
                    ""});

    // A backup of the same unit from an earlier day, being put back when the kill comes.
    QTemporaryDir old;
    {
        Sim before({"--model", "40", "--seed", "1", "--serial", "RS4001"}, old.filePath("backup.txt"));
    }
    KillAndRestore({"supply: during --restore (SEEP %1)",
                    {"--model", "40", "--seed", "2", "--serial", "RS4001"},
                    {"--restore", old.filePath("backup.txt")},
                    Moments({20, 80}, 5, 105, 20),
                    atSeep,
                    ""});
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
    // After the second pass the records replace the unit's earlier ones in one transaction; its
    // syncs are held up, and the kill comes `delay` ms after the rollback journal appears.
    for (const int delay : Moments({0, 300}, 0, 450, 50)) {
        QTemporaryDir dir;
        {
            psucal::Database db(dir.path());
            QSqlDatabase c = db.connection();
            ASSERT_TRUE(psucal::test::SaveEarlierReport(c, "KT-1"));
        }
        Sim sim({"--model", "60", "--serial", "KT-1"}, dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.meter.isEmpty());
        const QString journal = dir.filePath("Calibration.dt-journal");
        const Outcome r = RunUntil(
            dir.path(), Verify + QStringList{"--supply-port", sim.port, "--meter-port", sim.meter},
            {" meter > :SYST:LOC", 2, [&](pid_t) { return QFile::exists(journal) ? Now() + delay / 1000.0 : -1.0; },
             "fsync,fdatasync", 250},
            SIGKILL);
        // A journal left behind is a transaction the kill cut short.
        const QString landed = !r.signalled             ? "out: the run ended first"
                               : QFile::exists(journal) ? "in: inside the transaction"
                                                        : "out: after the commit";
        const int n = StoredRecords(dir.path(), "KT-1");
        EXPECT_TRUE(n == 7 || n == 5) << n << " records: a mix of two runs";
        Log(QStringLiteral("SIGKILL store: Calibration.dt write (+%1 ms)").arg(delay), landed,
            n == 7   ? "old set kept"
            : n == 5 ? "new set stored"
                     : QStringLiteral("MIXED: %1 records").arg(n));
    }
}

TEST(Kill, TermAndHangupSendEndsCloseTraceAndStoresAndExitPromptly)
{
    for (const int sig : {SIGTERM, SIGHUP}) {
        QTemporaryDir dir;
        Sim sim({"--model", "60", "--serial", "KT-2", "--line-log", dir.filePath("line.txt")},
                dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.meter.isEmpty());
        const Outcome r =
            RunUntil(dir.path(), Verify + QStringList{"--supply-port", sim.port, "--meter-port", sim.meter},
                     {" meter < [+-]\\d", 3}, sig);
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
        Log(name + " mid verification", "in: " + OnTheLine(dir.filePath("line.txt"), r.killedAt),
            QStringLiteral("%1, exit %2 after %3 s")
                .arg(sent.last().endsWith("ENDS00\\r") ? "ENDS sent" : "NO ENDS")
                .arg(r.status)
                .arg(r.exitSeconds));
    }
}

TEST(Kill, StopSignalToTheWindowsGroupEndsItPromptlyWithOrWithoutABoxOpen)
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // the window, not the terminal wizard
    // The simulator of --simulate is in the group and ends with it: its port goes in the middle
    // of the stop; a simulator of its own keeps it. A Calibration.dt that is no database leaves
    // a box open after start-up.
    for (const int n : {0, 1, 2}) {
        const bool ownSim = n == 2, box = n != 1;
        QTemporaryDir dir;
        QFile dt(dir.filePath("Calibration.dt"));
        ASSERT_TRUE(!box || (dt.open(QIODevice::WriteOnly) && dt.write(QByteArray(4096, 'x')) == 4096 && dt.flush()));
        std::optional<Sim> sim;
        if (ownSim)
            sim.emplace(QStringList{"--model", "40"});
        const QStringList window = QStringList{"--run-mode", box ? "2" : "3"} +
                                   (ownSim ? QStringList{"--supply-port", sim->port, "--meter-port", sim->meter}
                                           : QStringList{"--simulate", "40"});
        // Start-up ends with the image read for the serial number; the box follows at once.
        const Outcome r = RunUntil(dir.path(), window, {" supply < .{1400}", 1, [](pid_t) { return Now() + 0.3; }},
                                   n == 1 ? SIGINT : SIGTERM, true);
        const std::string seen = (r.out + r.trace.join('\n')).toStdString();
        ASSERT_TRUE(r.signalled && r.trace.size() >= 2);
        EXPECT_EQ(r.status, 0) << seen;
        EXPECT_LT(r.exitSeconds, 2.0) << seen;
        // ENDS goes out and is answered while the port stays; once it has gone nothing goes out,
        // and that is said on stderr, where no box waits for an OK.
        const qsizetype lost = r.trace.indexOf(QRegularExpression(".* supply # port lost.*"));
        EXPECT_EQ(lost < 0, ownSim) << seen;
        if (lost < 0)
            EXPECT_TRUE(r.trace.at(r.trace.size() - 2).endsWith("supply > ENDS00\\r") &&
                        r.trace.last().endsWith("supply < OK\\r"))
                << seen;
        else
            EXPECT_TRUE(r.trace.mid(lost).filter(" supply > ").isEmpty() && r.out.contains("Supply port /dev/pts/"))
                << seen;
    }
}

TEST(Kill, SupplyVanishingIsReportedNeverHangsAndNothingIsWrittenAfter)
{
    for (const int nth : Moments({12, 60, 150}, 10, 280, 30)) {
        QTemporaryDir dir;
        Sim sim({"--model", "20", "--seed", "2", "--fault", QStringLiteral("*:vanish:nth=%1").arg(nth)},
                dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.port.isEmpty());
        const Outcome r = RunUntil(dir.path(), Calibrate + QStringList{"--supply-port", sim.port}, {"^$"}, SIGKILL);
        EXPECT_FALSE(r.signalled);
        EXPECT_NE(r.status, 0) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(" lost (cable"))
            << nth << ": " << r.out.toStdString()
            << r.trace.mid(std::max<qsizetype>(0, 2 * nth - 12), 40).join('\n').toStdString();
        // Nothing at all goes out after the frame the port vanished under, ENDS included: that
        // frame is the simulator's `nth`, psucal's `nth` too.
        const QStringList after = r.trace.filter(" supply > ").mid(nth);
        EXPECT_TRUE(after.isEmpty()) << nth << ":\n" << r.trace.join('\n').toStdString();
        Log(QStringLiteral("supply port vanishes at frame %1").arg(nth), "in: the simulator's own frame count",
            r.out.contains(" lost (cable") && after.isEmpty() ? "reported, ended, no write after" : "NOT as required");
    }
}

TEST(Kill, MidServerStoreEveryRunOnTheServerIsWhole)
{
    if (psucal::test::PgCluster::BinDir().isEmpty())
        GTEST_SKIP() << "PostgreSQL 15 is not installed; scripts/install-deps installs it";
    psucal::test::PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.create(false, &error)) << error.toStdString();
    // Before the first run there is no table yet: no run.
    const auto runs = [&] { return cluster.psql("SELECT count(*) FROM run WHERE sn = 'KT-3'", &error).toInt(); };
    // Every statement reaches the server late, so that the store transaction lasts; the kill
    // comes `delay` ms after psucal has the lock it stores under.
    for (const int delay : Moments({0, 200}, 0, 450, 50)) {
        QTemporaryDir dir;
        Sim sim({"--model", "60", "--serial", "KT-3"}, dir.filePath("eeprom.txt"));
        ASSERT_FALSE(sim.meter.isEmpty());
        const int before = runs();
        // Whether psucal holds the unit's store lock, seen by the server.
        const QString locked = QStringLiteral("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND "
                                              "classid = %1 AND objid <> 0 AND granted")
                                   .arg(psucal::ServerSchema::LockClass);
        const Outcome r = RunUntil(
            dir.path(),
            Verify + QStringList{"--supply-port", sim.port, "--meter-port", sim.meter, "--database", cluster.url()},
            {" meter > :SYST:LOC", 2,
             [&](pid_t) { return cluster.psql(locked, &error).toInt() > 0 ? Now() + delay / 1000.0 : -1.0; }, "sendto",
             100},
            SIGKILL);
        QThread::msleep(200); // the server sees the connection go and rolls back
        const QString landed = !r.signalled       ? "out: the run ended first"
                               : runs() == before ? "in: inside the transaction, rolled back"
                                                  : "out: after the commit";
        // Records per run of the unit, and records tied to no run: a run is all five or absent.
        const QString counts = cluster
                                   .psql("SELECT string_agg(n::text, ',') FROM (SELECT count(p.\"SN\") n FROM run r "
                                         "LEFT JOIN report p ON p.run_id = r.id WHERE r.sn = 'KT-3' GROUP BY r.id) c",
                                         &error)
                                   .trimmed();
        const QString loose =
            cluster.psql("SELECT count(*) FROM report WHERE run_id IS NULL AND \"SN\" = 'KT-3'", &error).trimmed();
        const bool whole =
            QRegularExpression("^(5(,5)*)?$").match(counts).hasMatch() && (loose == "0" || loose.isEmpty());
        EXPECT_TRUE(whole) << "runs hold " << counts.toStdString() << " records, " << loose.toStdString() << " loose";
        Log(QStringLiteral("SIGKILL store: server write (+%1 ms)").arg(delay), landed,
            !whole             ? "MIXED: runs of " + counts
            : counts.isEmpty() ? "no run stored yet"
                               : "runs whole: " + counts);
    }
}
