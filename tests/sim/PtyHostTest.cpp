#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void EnsureApp()
{
    static int argc = 1;
    static char name[] = "sim_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

class RealSimulator : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    void TearDown() override
    {
        port.close();
        if (sim.state() != QProcess::NotRunning) {
            sim.kill();
            sim.waitForFinished(2000);
        }
    }

    QString start(const QStringList& args)
    {
        sim.start(QStringLiteral(PSUCAL_SIM_PATH), args);
        EXPECT_TRUE(sim.waitForStarted(5000));
        QByteArray out;
        while (!out.contains('\n') && sim.waitForReadyRead(5000))
            out += sim.readAllStandardOutput();
        EXPECT_TRUE(out.startsWith("supply /dev/")) << out.constData();
        return QString::fromLocal8Bit(out.mid(7).trimmed());
    }

    bool openPort(const QString& path)
    {
        port.setPortName(path);
        port.setBaudRate(9600);
        return port.open(QIODevice::ReadWrite);
    }

    // Sends a frame and collects the reply until `count` characters or the time-out.
    QByteArray ask(const QByteArray& frame, int count, int timeoutMs, qint64* elapsedMs = nullptr)
    {
        port.clear();
        QElapsedTimer t;
        t.start();
        port.write(frame);
        QByteArray reply;
        while (reply.size() < count && t.elapsed() < timeoutMs) {
            // A failed port returns at once; waiting on it would spin until the time-out.
            if (!port.waitForReadyRead(20) && port.error() != QSerialPort::TimeoutError)
                break;
            reply += port.readAll();
        }
        if (elapsedMs)
            *elapsedMs = t.elapsed();
        return reply;
    }

    QProcess sim;
    QSerialPort port;
};

} // namespace

TEST_F(RealSimulator, AnswersOnItsPseudoTerminalAtLineSpeed)
{
    ASSERT_TRUE(openPort(start({QStringLiteral("--model"), QStringLiteral("60")})));
    EXPECT_EQ(ask("GMAX00\r", 9, 1000), "6003300OK");

    qint64 ms = 0;
    const QByteArray image = ask("GEEP00\r", 1443, 4000, &ms);
    EXPECT_EQ(image.size(), 1443);
    EXPECT_TRUE(image.endsWith("OK\r"));
    EXPECT_GE(ms, 1400);
    EXPECT_LT(ms, 3000);
}

TEST_F(RealSimulator, WritesItsEepromAndEndsCleanlyOnTerminate)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("eeprom.txt"));
    const QString link = dir.filePath(QStringLiteral("supply"));
    start({QStringLiteral("--model"), QStringLiteral("20"), QStringLiteral("--serial"), QStringLiteral("AB"),
           QStringLiteral("--eeprom-out"), file, QStringLiteral("--link"), link, QStringLiteral("--fault"),
           QStringLiteral("GETD:silence")});
    ASSERT_TRUE(openPort(link));
    EXPECT_EQ(ask("GETD00\r", 12, 300), "");
    EXPECT_EQ(ask("SEEP00"
                  "042"
                  "0123<=>?\r",
                  3, 1000),
              "OK\r");
    port.close();
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(3000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_GE(lines.size(), 160);
    EXPECT_EQ(lines[0], "000 00000008");
    EXPECT_EQ(lines[42], "042 0123<=>?");
    EXPECT_EQ(lines[156], "156 41420000");
}

TEST_F(RealSimulator, RefusesABadFaultSpec)
{
    sim.start(QStringLiteral(PSUCAL_SIM_PATH), {QStringLiteral("--fault"), QStringLiteral("GETD:melt")});
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_NE(sim.exitCode(), 0);
    EXPECT_TRUE(sim.readAllStandardError().contains("melt"));
}

TEST_F(RealSimulator, VanishedPortHangsUpAndComesBackUnderTheLink)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("supply"));
    start({QStringLiteral("--link"), link, QStringLiteral("--fault"), QStringLiteral("SESS:vanish=0.3:nth=1")});
    ASSERT_TRUE(openPort(link));
    // A pulled adapter reports a resource error; a hung-up pseudo-terminal a read error.
    bool failed = false;
    QObject::connect(&port, &QSerialPort::errorOccurred, [&](QSerialPort::SerialPortError e) {
        failed = failed || e == QSerialPort::ResourceError || e == QSerialPort::ReadError;
    });
    EXPECT_EQ(ask("SESS00\r", 3, 300), "");
    EXPECT_TRUE(failed);
    port.close();

    QByteArray out;
    while (!out.contains('\n') && sim.waitForReadyRead(3000))
        out += sim.readAllStandardOutput();
    ASSERT_TRUE(out.startsWith("supply /dev/")) << out.constData();
    EXPECT_EQ(QFile::symLinkTarget(link), QString::fromLocal8Bit(out.mid(7).trimmed()));
    ASSERT_TRUE(openPort(link));
    EXPECT_EQ(ask("SESS00\r", 3, 1000), "OK\r");
}
