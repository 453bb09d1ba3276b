#include "tests/e2e/Sim.h"

#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <vector>

// A station of real psucal processes on real pseudo-terminals, in real time.
using psucal::test::Sim;

namespace {

QList<QJsonObject> Events(const QString& path)
{
    QList<QJsonObject> events;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return events;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError e{};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &e);
        EXPECT_TRUE(doc.isObject()) << e.errorString().toStdString() << ": " << line.toStdString();
        events << doc.object();
    }
    return events;
}

QStringList Types(const QList<QJsonObject>& events)
{
    QStringList types;
    for (const QJsonObject& e : events)
        if (e["type"] != "progress" && e["type"] != "page" && e["type"] != "message" && e["type"] != "repeat")
            types << e["type"].toString();
    return types;
}

QStringList Trace(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
}

// Runs psucal with `args` to its end; Enter is pressed at each question, and `onLine` sees each
// line of its output as it comes.
struct Station {
    int status = -1;
    QString out;
    int questions = 0;
};
Station RunStation(const QString& dir, const QStringList& args, const std::function<void(QProcess&, const QString&)>& onLine = {})
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(PSUCAL_PATH, args);
    Station r;
    QByteArray pending;
    while (p.state() != QProcess::NotRunning && p.waitForReadyRead(300000)) {
        pending += p.readAllStandardOutput();
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QString line = QString::fromLocal8Bit(pending.left(end));
            r.out += line + '\n';
            if (line.startsWith("Short the output terminals of ")) {
                ++r.questions;
                p.write("\n");
            }
            if (onLine)
                onLine(p, line);
        }
    }
    p.waitForFinished(30000);
    r.out += QString::fromLocal8Bit(pending + p.readAllStandardOutput());
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

} // namespace

// Eight 20 V units, the shortest rating to recalibrate (about three minutes); unit 3's supply goes
// silent and unit 6's port vanishes early in the voltage step. Both fail with their reason, the six
// others recalibrate, one question serves them all, and each unit's events tell its run.
TEST(Station, OneSilentUnitAndOneVanishedPortFailAloneAndTheOtherSixRecalibrate)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<Sim>> sims;
    QStringList args{"--batch", "--station", "--trace", dir.filePath("trace.log"), "--events", dir.filePath("ev.jsonl"),
                     "--dir", dir.path()};
    for (int k = 1; k <= 8; ++k) {
        QStringList simArgs{"--model", "20", "--seed", QString::number(k), "--link", dir.filePath(QStringLiteral("unit%1").arg(k))};
        if (k == 3)
            simArgs << "--fault" << "*:silence:from=40";
        if (k == 6)
            simArgs << "--fault" << "*:vanish:nth=60";
        sims.push_back(std::make_unique<Sim>(simArgs));
        ASSERT_FALSE(sims.back()->port.isEmpty());
        args << "--supply-port" << dir.filePath(QStringLiteral("unit%1").arg(k));
    }
    const Station r = RunStation(dir.path(), args);
    EXPECT_EQ(r.status, 1) << r.out.toStdString();
    EXPECT_EQ(r.questions, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Short the output terminals of unit1, unit2, unit3, unit4, unit5, unit6, unit7, unit8, "
                               "then press Enter"))
        << r.out.toStdString();
    const QString summary = r.out.mid(r.out.lastIndexOf("Unit  Port"));
    for (int k : {1, 2, 4, 5, 7, 8})
        EXPECT_TRUE(summary.contains(QRegularExpression(QStringLiteral("\n%1 +unit%1 +SIM20000%1 +20V/10A +recalibrated +\\d+:\\d\\d +\\d+\n").arg(k))))
            << k << "\n" << summary.toStdString();
    EXPECT_TRUE(summary.contains(QRegularExpression("\n3 +unit3 +SIM200003 +20V/10A +not recalibrated .* [1-9]\\d*  voltage step: Cal.V failed !")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(QRegularExpression("\n6 +unit6 .*not recalibrated .*voltage step: Supply port \\S+unit6 lost \\(cable")))
        << summary.toStdString();
    EXPECT_TRUE(summary.endsWith("6 of 8 units recalibrated.\n")) << summary.toStdString();

    // Every unit but the vanished one was told ENDS last.
    for (int k : {1, 2, 3, 4, 5, 7, 8})
        EXPECT_TRUE(Trace(dir.filePath(QStringLiteral("trace.unit%1.log").arg(k))).filter(" supply > ").last().endsWith("ENDS00\\r")) << k;

    // A passing unit's events: each line an object with its type and times, in the run's order.
    const QList<QJsonObject> ok = Events(dir.filePath("ev.unit1.jsonl"));
    ASSERT_FALSE(ok.isEmpty());
    EXPECT_EQ(Types(ok), (QStringList{"start", "step_start", "step_end", "prompt", "step_start", "step_end", "outcome"}));
    double t = 0;
    int percent = -1;
    QString step;
    for (const QJsonObject& e : ok) {
        EXPECT_TRUE(e["time"].toString().endsWith('Z') && e["t"].toDouble() >= t) << e["time"].toString().toStdString();
        t = e["t"].toDouble();
        if (e["type"] == "step_start")
            step = e["step"].toString(), percent = -1;
        if (e["type"] == "progress") {
            EXPECT_EQ(e["step"].toString(), step);
            EXPECT_GT(e["percent"].toInt(), percent);
            EXPECT_LE(e["percent"].toInt(), 100);
            percent = e["percent"].toInt();
        }
    }
    const auto first = [&](const QList<QJsonObject>& events, const QString& type) {
        for (const QJsonObject& e : events)
            if (e["type"] == type)
                return e;
        return QJsonObject();
    };
    EXPECT_EQ(first(ok, "start")["serial"], "SIM200001");
    EXPECT_EQ(first(ok, "start")["rating"], "20V/10A");
    EXPECT_EQ(first(ok, "step_end")["ok"], true);
    EXPECT_EQ(ok.last()["type"], "outcome");
    EXPECT_EQ(ok.last()["status"], 0);
    EXPECT_EQ(ok.last()["result"], "recalibrated");
    EXPECT_TRUE(first(ok, "page")["text"].toString().contains("Voltage Recalibration"));

    // The silent unit's events: each exchange asked again is a repeat, counted in the outcome.
    const QList<QJsonObject> silent = Events(dir.filePath("ev.unit3.jsonl"));
    ASSERT_FALSE(silent.isEmpty());
    int repeats = 0;
    for (const QJsonObject& e : silent)
        if (e["type"] == "repeat") {
            EXPECT_EQ(e["total"].toInt(), ++repeats);
            EXPECT_TRUE(e["what"].toString().contains("asked again")) << e["what"].toString().toStdString();
        }
    EXPECT_GT(repeats, 0);
    EXPECT_EQ(silent.last()["status"], 1);
    EXPECT_EQ(silent.last()["repeats"].toInt(), repeats);
    EXPECT_EQ(first(silent, "step_end")["ok"], false);
}

// Ctrl-C, or a kill of the station alone: each unit sends ENDS and the station ends with 130.
TEST(Station, ASignalEndsEveryUnitWithEndsAndStatus130)
{
    QTemporaryDir dir;
    int started = 0;
    const Station r = RunStation(dir.path(), {"--simulate", "20", "--station", "--units", "2", "--batch", "--yes", "--trace",
                                       dir.filePath("t.log"), "--dir", dir.path()},
                          [&](QProcess& p, const QString& line) {
                              if (line.contains(QRegularExpression(" voltage +0%")) && ++started == 2)
                                  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
                          });
    EXPECT_EQ(r.status, 130) << r.out.toStdString();
    for (const char* unit : {"sim1", "sim2"}) {
        const QStringList trace = Trace(dir.filePath(QStringLiteral("t.%1.log").arg(unit)));
        ASSERT_GE(trace.size(), 2) << unit;
        EXPECT_TRUE(trace.filter(" supply > ").last().endsWith("ENDS00\\r")) << unit;
        // The stop may catch a reply on its way: what comes after ENDS is its OK, perhaps behind another.
        EXPECT_TRUE(trace.last().contains(" supply < OK")) << unit << ": " << trace.last().toStdString();
    }
    EXPECT_TRUE(r.out.contains(QRegularExpression("\n2 +sim2 +SIM200002 +20V/10A +ended .*ended by a signal\n")))
        << r.out.toStdString();
}
