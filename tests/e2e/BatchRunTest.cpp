#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

// The real programs on a real pseudo-terminal, in real time.
namespace {

struct Sim {
    explicit Sim(const QStringList& args, const QString& eepromOut)
    {
        process.start(PSUCAL_SIM_PATH, QStringList(args) << "--eeprom-out" << eepromOut);
        process.waitForStarted(5000);
        QByteArray out;
        while (!out.contains('\n') && process.waitForReadyRead(5000))
            out += process.readAllStandardOutput();
        const auto m = QRegularExpression("supply (\\S+)").match(QString::fromLatin1(out));
        if (m.hasMatch())
            port = m.captured(1);
    }
    ~Sim()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
    QProcess process;
    QString port;
};

struct BatchResult {
    int status = -1;
    QString out;
    QStringList trace;
};

BatchResult RunBatch(const QString& port, const QString& dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(PSUCAL_PATH, {"--batch", "--yes", "--supply-port", port, "--trace", dir + "/trace.txt"});
    p.closeWriteChannel();
    p.waitForFinished(120000);
    BatchResult r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
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

std::map<int, QString> ReadRows(const QString& path, const QRegularExpression& line)
{
    std::map<int, QString> rows;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    for (const QString& l : QString::fromLatin1(f.readAll()).split('\n')) {
        const auto m = line.match(l);
        if (m.hasMatch())
            rows[m.captured(1).toInt()] = m.captured(2).remove(' ');
    }
    return rows;
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
    EXPECT_EQ(Sent(r.trace), (QStringList{"SESS00\\r", "GMAX00\\r", "ENDS00\\r"}));
    // Each silent exchange is one sent line and one empty received line, time-stamped.
    ASSERT_EQ(r.trace.size(), 6);
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d supply < $").match(r.trace[1]).hasMatch()) << r.trace[1].toStdString();
}

TEST(BatchRun, SupplyVanishingMidSweepIsReportedAndTheEepromMatchesTheTrace)
{
    QTemporaryDir dir;
    Sim sim({"--model", "20", "--seed", "3", "--fault", "*:vanish:nth=40"}, dir.filePath("eeprom.txt"));
    ASSERT_FALSE(sim.port.isEmpty());
    const BatchResult r = RunBatch(sim.port, dir.path());
    EXPECT_EQ(r.status, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Voltage Recalibration Failed")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Result: NOT recalibrated")) << r.out.toStdString();

    const QStringList sent = Sent(r.trace);
    ASSERT_GE(sent.size(), 4);
    EXPECT_EQ(sent.mid(0, 3), (QStringList{"SESS00\\r", "GMAX00\\r", "GEEP00\\r"}));

    // The backup holds the unit as found: the whole-image reply of start-up, row by row.
    const QStringList backups = QDir(dir.filePath("backups")).entryList({"*.txt"}, QDir::Files);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_TRUE(backups[0].startsWith("SIM200003_"));
    const auto asFound = ReadRows(dir.filePath("backups/" + backups[0]),
                                  QRegularExpression("^(\\d{3}) ((?:[0-?]{2} ){3}[0-?]{2})$"));
    EXPECT_EQ(asFound.size(), 160u);

    // Every row written holds, in the simulator, the last value psucal wrote to it; every other
    // row is as found.
    std::map<int, QString> written;
    for (const QString& f : sent)
        if (f.startsWith("SEEP00"))
            written[f.mid(6, 3).toInt()] = f.mid(9, 8);
    EXPECT_FALSE(written.empty());
    const auto final = ReadRows(dir.filePath("eeprom.txt"), QRegularExpression("^(\\d{3}) ([0-?]{8})$"));
    ASSERT_EQ(final.size(), 160u);
    for (const auto& [row, cells] : final) {
        const auto w = written.find(row);
        EXPECT_EQ(cells, w != written.end() ? w->second : asFound.at(row)) << "row " << row;
    }
}
