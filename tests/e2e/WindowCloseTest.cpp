#include "tests/e2e/Sim.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using psucal::test::Sim;

namespace {

// Whether process `pid` holds `path` open.
bool HoldsOpen(qint64 pid, const QString& path)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget() == path)
            return true;
    return false;
}

} // namespace

// The window (offscreen) is told to close while start-up waits on a supply that does not answer
// the image read: "ENDS" goes out, the trace is complete, and the program leaves by returning.
TEST(WindowClose, DuringAWaitSendsEndsAndLeavesACompleteTrace)
{
    QTemporaryDir dir;
    Sim sim({"--model", "40", "--fault", "GEEP:silence"});
    ASSERT_FALSE(sim.port.isEmpty());
    QProcess p;
    p.start(PSUCAL_PATH, {"--supply-port", sim.port, "--dir", dir.path(), "--trace", dir.filePath("trace.txt")});
    ASSERT_TRUE(p.waitForStarted(5000));
    QElapsedTimer waited;
    waited.start();
    while (!HoldsOpen(p.processId(), sim.port) && waited.elapsed() < 20000)
        QThread::msleep(10);
    ASSERT_TRUE(HoldsOpen(p.processId(), sim.port));

    // A signal runs the same close sequence as the window's close button.
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);

    QFile t(dir.filePath("trace.txt"));
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(t.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines.first().contains(" supply > SESS00\\r")) << lines.first().toStdString();
    EXPECT_TRUE(lines[lines.size() - 2].contains(" supply > ENDS00\\r")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.last().contains(" supply < ")) << lines.last().toStdString();
}
