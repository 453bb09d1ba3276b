#include "db/Database.h"
#include "tests/e2e/EarlierReport.h"
#include "tests/e2e/Sim.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

// The real programs on a real pseudo-terminal, in real time.
using psucal::test::ReadRows;
using psucal::test::SaveEarlierReport;
using psucal::test::Sim;

namespace {

struct BatchResult {
    int status = -1;
    QString out;
    QStringList trace;
};

// Runs psucal to its end, or until its output shows `stopAt` (then it is told to stop, as by
// Ctrl-C: what would have gone wrong has by then gone wrong).
BatchResult RunBatch(const QString& port, const QString& dir, const QString& stopAt = QString(),
                     const QStringList& more = {})
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(PSUCAL_PATH, QStringList{"--batch", "--yes", "--supply-port", port, "--trace", dir + "/trace.txt"} + more);
    p.closeWriteChannel();
    BatchResult r;
    while (p.state() != QProcess::NotRunning && p.waitForReadyRead(120000)) {
        r.out += QString::fromLocal8Bit(p.readAllStandardOutput());
        if (!stopAt.isEmpty() && r.out.contains(stopAt))
            p.terminate();
    }
    p.waitForFinished(120000);
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out += QString::fromLocal8Bit(p.readAllStandardOutput());
    QFile t(dir + "/trace.txt");
    if (t.open(QIODevice::ReadOnly))
        r.trace = QString::fromLatin1(t.readAll()).split('\n', Qt::SkipEmptyParts);
    return r;
}

// Frames sent, without time stamps: "SESS00\r" and so on.
QStringList Sent(const QStringList& trace)
{
    QStringList sent;
    for (const QString& l : trace) {
        const qsizetype at = l.indexOf(" supply > ");
        if (at >= 0)
            sent << l.mid(at + 10);
    }
    return sent;
}

} // namespace

TEST(BatchRun, SilentSupplyEndsWithStatusTwoAndTheConnectionPage)
{
    QTemporaryDir dir;
    Sim sim({"--model", "40", "--fault", "*:silence"}, dir.filePath("eeprom.txt"));
    ASSERT_FALSE(sim.port.isEmpty());
    const BatchResult r = RunBatch(sim.port, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.contains("Check RS-232 Connection.")) << r.out.toStdString();
    // The greeting is asked twice more; a line found dead is not asked again after that.
    EXPECT_EQ(Sent(r.trace), (QStringList{"SESS00\\r", "SESS00\\r", "SESS00\\r", "GMAX00\\r", "ENDS00\\r"}));
    // Each silent exchange is one sent line and one empty received line, time-stamped.
    ASSERT_EQ(r.trace.size(), 12);
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d supply < $").match(r.trace[1]).hasMatch()) << r.trace[1].toStdString();
    EXPECT_TRUE(r.trace[2].endsWith("supply # SESS no reply: asked again (1 of 2)")) << r.trace[2].toStdString();

    // A port that is not there is named as such, not as a cable to check.
    const BatchResult missing = RunBatch(dir.filePath("ttyS9"), dir.path());
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.out.contains("There is no port " + dir.filePath("ttyS9"))) << missing.out.toStdString();
    EXPECT_FALSE(missing.out.contains("Check RS-232")) << missing.out.toStdString();

    // Run mode 1 gives up as early, before the meter is ever asked.
    const BatchResult v =
        RunBatch(sim.port, dir.path(), QString(), {"--run-mode", "1", "--meter-port", "/nonexistent"});
    EXPECT_EQ(v.status, 2) << v.out.toStdString();
    EXPECT_EQ(Sent(v.trace).mid(3), (QStringList{"GMAX00\\r", "ENDS00\\r"}));
}

// A unit that stops answering in the middle of a sweep fails the step at once, not point by point.
TEST(BatchRun, ASupplyThatGoesSilentMidSweepFailsTheStepWithinTwoSeconds)
{
    QTemporaryDir dir;
    const QString lineLog = dir.filePath("line.txt");
    Sim sim({"--model", "20", "--fault", "*:silence:from=60", "--line-log", lineLog});
    ASSERT_FALSE(sim.port.isEmpty());
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(PSUCAL_PATH, {"--batch", "--yes", "--supply-port", sim.port});
    p.closeWriteChannel();
    QString out;
    double failedAt = 0;
    while (p.state() != QProcess::NotRunning && p.waitForReadyRead(60000)) {
        out += QString::fromLocal8Bit(p.readAllStandardOutput());
        if (failedAt == 0 && out.contains("Voltage Recalibration Failed")) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            failedAt = now.tv_sec + now.tv_nsec / 1e9;
        }
    }
    p.waitForFinished(30000);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(out.contains("Cal.V failed !")) << out.toStdString();
    // The simulator notes when each frame crossed the line; the 60th is the first without an answer.
    int frames = 0;
    double silentFrom = 0;
    QFile log(lineLog);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    for (const QString& l : QString::fromLatin1(log.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList w = l.split(' ');
        if (w.size() >= 4 && w[2] == "<" && ++frames == 60)
            silentFrom = w[1].toDouble();
    }
    ASSERT_GT(silentFrom, 0);
    ASSERT_GT(failedAt, 0);
    EXPECT_LT(failedAt - silentFrom, 2.0) << failedAt - silentFrom;
}

TEST(BatchRun, APortThisUserMayNotOpenIsNamedWithTheFixNotTheCable)
{
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    QTemporaryDir dir;
    QString program = PSUCAL_PATH;
    QStringList runAs;
    if (geteuid() == 0) {
        // Root opens anything: psucal runs as nobody, from a copy and a folder nobody may use.
        ASSERT_EQ(fchmod(slave, 0600), 0);
        program = dir.filePath("psucal");
        ASSERT_TRUE(QFile::copy(PSUCAL_PATH, program));
        ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_EQ(chmod(QFile::encodeName(program).constData(), 0755), 0);
        runAs = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    } else {
        ASSERT_EQ(fchmod(slave, 0), 0);
    }
    for (const char* mode : {"3", "1"}) {
        QStringList args =
            runAs + QStringList{program,         "--batch", "--yes",        "--run-mode",         mode,
                                "--supply-port", name,      "--meter-port", dir.filePath("none"), "--dir",
                                dir.path()};
        QProcess p;
        p.start(args.takeFirst(), args);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 2) << qPrintable(out);
        EXPECT_TRUE(out.contains(QStringLiteral("No permission to open %1").arg(name))) << qPrintable(out);
        EXPECT_TRUE(out.contains("sudo adduser $USER dialout")) << qPrintable(out);
        EXPECT_FALSE(out.contains("Check RS-232")) << qPrintable(out);
    }
    close(slave);
    close(master);
}

// A meter port that nobody answers: a pseudo-terminal whose other end stays silent.
TEST(BatchRun, RunModeOneWithASilentMeterPrintsBothGridsAndFail)
{
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    QTemporaryDir dir;
    Sim sim({"--model", "20", "--seed", "4"}, dir.filePath("eeprom.txt"));
    ASSERT_FALSE(sim.port.isEmpty());
    const BatchResult r =
        RunBatch(sim.port, dir.path(), QString(), {"--run-mode", "1", "--spots", "5", "--meter-port", name});
    ::close(slave);
    ::close(master);
    EXPECT_EQ(r.status, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Voltage (V)\nStep  Setting  Display         Output\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Current (A)\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("FAIL\n")) << r.out.toStdString();
    EXPECT_TRUE(Sent(r.trace).filter("SEEP").isEmpty());
    EXPECT_TRUE(Sent(r.trace).contains("VOLT00050\\r"));
    EXPECT_EQ(r.trace.filter(" meter > :READ?").size(), 10); // one a spot: the meter was never seen
}

// The simulator's own meter, and the report filed at the end. Calibration.dt already holds
// another unit's records and an earlier, longer report of this one.
TEST(BatchRun, AMeterConnectionRefusedOrDroppedFailsThePassWithTheReason)
{
    QTemporaryDir dir;
    Sim sim({"--model", "40", "--meter-tcp", "0", "--fault", "READ?:vanish:nth=3"});
    ASSERT_FALSE(sim.meterTcp.isEmpty());
    const BatchResult dropped =
        RunBatch(sim.port, dir.path(), QString(), {"--run-mode", "1", "--spots", "5", "--meter-port", sim.meterTcp});
    EXPECT_EQ(dropped.status, 1) << dropped.out.toStdString();
    const QString where = sim.meterTcp.mid(6);
    EXPECT_TRUE(dropped.out.contains("The connection to the meter at " + where + " dropped."))
        << dropped.out.toStdString();
    // The simulator no longer listens: the current pass is refused at once, not spot by spot.
    EXPECT_TRUE(dropped.out.contains("The meter at " + where + " refused the connection."))
        << dropped.out.toStdString();
    // The meter went at the third reading: the remaining spots of the pass were not set.
    EXPECT_LT(Sent(dropped.trace).filter(QRegularExpression("^VOLT00(?!050)")).size(), 5) << dropped.out.toStdString();
    EXPECT_TRUE(dropped.out.endsWith("FAIL\n")) << dropped.out.toStdString();
}

TEST(BatchRun, RunModeOneAgainstTheSimulatedBenchSaysPassAndFilesTheReport)
{
    const QString serial = "x' OR '1'='1";
    QTemporaryDir dir;
    {
        psucal::Database db(dir.path());
        QSqlDatabase c = db.connection();
        for (const QString& sn : {serial, QStringLiteral("OTHER-1")})
            ASSERT_TRUE(SaveEarlierReport(c, sn));
    }
    // The meter on the LAN, as a 34461A would be.
    Sim sim({"--model", "60", "--serial", serial, "--meter-tcp", "0"}, dir.filePath("eeprom.txt"));
    ASSERT_TRUE(sim.meterTcp.startsWith("tcp://127.0.0.1:")) << sim.meterTcp.toStdString();
    const BatchResult r = RunBatch(sim.port, dir.path(), QString(),
                                   {"--run-mode", "1", "--spots", "5", "--meter-port", sim.meterTcp, "--report",
                                    "--client-model", "PSU-60", "--tested-by", "QA-017"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Voltage (V)\n") && r.out.contains("Current (A)\n")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(" FAIL\n")) << r.out.toStdString(); // an Output judged last on its line
    EXPECT_TRUE(r.out.contains("PASS\nReport: ")) << r.out.toStdString();

    // One record per spot, the quote stored as it is; the other unit untouched.
    {
        psucal::Database db(dir.path());
        QSqlDatabase c = db.connection();
        QString error;
        const QList<QSqlRecord> records = psucal::ReportRows::Records(c, serial, &error);
        ASSERT_EQ(records.size(), 5) << error.toStdString();
        EXPECT_EQ(records.last().value("Step").toString(), "5");
        EXPECT_EQ(records.last().value("TestBy").toString(), "QA-017");
        EXPECT_EQ(psucal::ReportRows::Records(c, "OTHER-1", &error).size(), 7);
    }

    const QStringList pdfs = QDir(dir.filePath("reports")).entryList({"*.pdf"});
    ASSERT_EQ(pdfs.size(), 1);
    EXPECT_TRUE(pdfs[0].startsWith("x__OR__1___1_")) << pdfs[0].toStdString();
    EXPECT_TRUE(r.out.contains(dir.filePath("reports/" + pdfs[0])));
    QProcess text;
    text.start("pdftotext", {"-layout", dir.filePath("reports/" + pdfs[0]), "-"});
    if (!text.waitForFinished(10000) || text.exitCode() != 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
    // The first voltage spot's display, as the terminal printed it.
    const auto first = QRegularExpression("\n   1 +1\\.0 +(\\S+) ok").match(r.out);
    ASSERT_TRUE(first.hasMatch());
    for (const QString& expected :
         {QStringLiteral("CALIBRATION REPORT"), QStringLiteral("Model No.: PSU-60"), "Serial No.: " + serial,
          QStringLiteral("Test By : QA-017"), QStringLiteral("PASS"), first.captured(1)})
        EXPECT_TRUE(pdf.contains(expected)) << expected.toStdString() << " not in\n" << pdf.toStdString();
}

// Define on a blank board, checked once Define is through (a blank board's calibration takes minutes).
TEST(BatchRun, DefineGivesABlankBoardItsSerialNumberAndBaseDataFrameByFrame)
{
    QTemporaryDir dir;
    Sim sim({"--blank", "--model", "60"}, dir.filePath("eeprom.txt"));
    ASSERT_FALSE(sim.meter.isEmpty());
    const BatchResult r =
        RunBatch(sim.port, dir.path(), "Serial: SN123456",
                 {"--run-mode", "0", "--define", "--serial", "SN123456", "--model", "60", "--meter-port", sim.meter});
    const QStringList expected{"SEEP00156534>3132\\r", "SEEP0015733343536\\r", "SEEP0015800000000\\r",
                               "SEEP0015900000000\\r", "SEEP0000000000008\\r", "SEEP00001<8057=08\\r",
                               "SEEP000020:0:0000\\r", "SEEP0000302580154\\r", "SEEP0000400000000\\r",
                               "SEEP00005????0202\\r", "SEEP0000702580000\\r"};
    EXPECT_EQ(Sent(r.trace).filter("SEEP").mid(0, 11), expected) << r.out.toStdString();
    const auto rows = ReadRows(dir.filePath("eeprom.txt"));
    for (const QString& frame : expected) {
        const int row = frame.mid(6, 3).toInt();
        EXPECT_EQ(rows.count(row) ? rows.at(row) : QString(), frame.mid(9, 8)) << "row " << row;
    }
}


// A reference past its due date ends a batch run with status 2 before the supply hears a frame;
// --allow-overdue runs it. Each pass asks the meter who it is once it is under remote control, and
// under the guarded rule a unit well inside its bands still passes. Run mode 1 adjusts nothing, so
// --as-found adds no pass.
TEST(BatchRun, OverdueReferenceRefusedUnlessAllowedAndEachPassIdentifiesTheMeter)
{
    QTemporaryDir dir;
    QFile conf(dir.filePath("Calibration.conf"));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("DecisionRule guard\nMeterId      34401A-7\nMeterCalDue  2000-01-01\n");
    conf.close();
    Sim sim({"--model", "40"}, dir.filePath("eeprom.txt"));
    const QStringList args{"--run-mode", "1", "--as-found", "--spots", "5", "--meter-port", sim.meter};
    const BatchResult refused = RunBatch(sim.port, dir.path(), QString(), args);
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Sent(refused.trace).isEmpty()) << refused.trace.join('\n').toStdString();

    const BatchResult r = RunBatch(sim.port, dir.path(), QString(), args + QStringList{"--allow-overdue"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("As found:") || r.out.contains("As left:")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Reference overdue, run as allowed: the meter 34401A-7 (due 2000-01-01)\n"));
    EXPECT_EQ(r.out.count("Meter HEWLETT-PACKARD,34401A,0,11-5-2\n"), 2) << r.out.toStdString();
    const QStringList meter = r.trace.filter(" meter > ");
    EXPECT_EQ(meter.filter("*IDN?").size(), 2);
    for (qsizetype i = 0; i < meter.size(); ++i)
        EXPECT_TRUE(!meter[i].contains("*IDN?") || (i > 0 && meter[i - 1].contains(":SYST:REM")));
}
