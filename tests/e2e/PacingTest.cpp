#include "tests/e2e/Sim.h"
#include "tests/support/QtPrinters.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// psucal against psucal-sim on three kinds of line at once: a UART, a line faster than its baud
// rate, and a USB adapter that hands replies over in packets.
namespace {

struct PacedRun {
    PacedRun(const QString& pace, const QStringList& simArgs) : sim(QStringList(simArgs) << "--pace" << pace)
    {
        psucal.setWorkingDirectory(dir.path());
        psucal.start(PSUCAL_PATH, {"--batch", "--yes", "--supply-port", sim.port, "--trace", tracePath()});
        psucal.closeWriteChannel();
    }
    QString tracePath() const { return dir.filePath("trace.txt"); }
    // The trace without its time stamps. A reply's characters beyond the count awaited ("OK\r"
    // where 2 are awaited) are only there when they came in the same piece, so they are left out.
    QStringList exchanges()
    {
        // The step fails once the port has gone; what follows only sits out time-outs.
        QByteArray out;
        while (!out.contains("Voltage Recalibration Failed") && psucal.waitForReadyRead(30000))
            out += psucal.readAllStandardOutput();
        psucal.terminate();
        psucal.waitForFinished(5000);
        QFile f(tracePath());
        QStringList lines;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& l : f.readAll().split('\n')) {
                QString line = QString::fromLatin1(l.mid(l.indexOf(' ') + 1));
                if (line == QStringLiteral("supply < OK\\r"))
                    line.chop(2);
                lines << line;
            }
        return lines;
    }

    QTemporaryDir dir;
    psucal::test::Sim sim;
    QProcess psucal;
};

} // namespace

// Start-up with its whole-image read and the first row adjusted, until the port vanishes: no
// reply is taken short, however early the look learns to come.
TEST(Pacing, TheLinkExchangesTheSameBytesOnEveryKindOfLine)
{
    const QStringList simArgs{"--model", "40", "--seed", "2", "--fault", "*:vanish:nth=13"};
    PacedRun uart("uart", simArgs);
    PacedRun fast("fast", simArgs);
    PacedRun usb("usb=16", simArgs);
    const QStringList expected = uart.exchanges();
    ASSERT_GE(expected.size(), 24);
    EXPECT_TRUE(expected.join('\n').contains("supply > SEEP00")) << "the run ended before a row was written";
    EXPECT_EQ(fast.exchanges(), expected);
    EXPECT_EQ(usb.exchanges(), expected);
}
