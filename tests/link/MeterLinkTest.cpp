#include "link/MeterLink.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/VirtualClock.h"
#include "sim/InProcessPort.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

using namespace psucal;
using psucal::Cancelled;
using psucal::test::RecordingHost;

namespace {

// A meter whose answer to every line is whatever the test puts in `reply`.
struct MeterBench {
    MeterBench()
        : port(clock,
               [this](const QByteArray& line) {
                   lines << line;
                   return QList<sim::Answer>{sim::Answer{queued.isEmpty() ? reply : queued.takeFirst(), delay}};
               }),
          ui(host), link(st, ui, clock, port)
    {
        port.setPortName("COM2");
        st.AbortFlag = false;
    }
    // -1 stands for no reading.
    double read(const char* cmd, int count, double timeout) { return link.ReadMeter(cmd, count, timeout).value_or(-1); }

    VirtualClock clock;
    QByteArray reply;
    QList<QByteArray> queued; // answered first, one a line
    double delay = 0;
    QList<QByteArray> lines;
    sim::InProcessPort port;
    RecordingHost host;
    BenchState st;
    BenchUi ui;
    MeterLink link;
};

} // namespace

TEST(MeterLink, ReadsWholeLinesOnly)
{
    MeterBench b;
    b.reply = "+1.20000000E+01\r\n";
    // Fourteen characters would cut the exponent short; the link waits for the line end.
    EXPECT_DOUBLE_EQ(b.read(":READ?", 14, 0.6), 12.0);
    EXPECT_EQ(b.lines.last(), ":READ?\n");

    EXPECT_EQ(b.link.lastReply(), "+1.20000000E+01\r\n");

    // The sign stays, and so does the text as the meter sent it.
    b.reply = "-1.23400000E-03\r\n";
    EXPECT_DOUBLE_EQ(b.read(":READ?", 17, 0.9), -0.001234);
    EXPECT_EQ(b.link.lastReply(), "-1.23400000E-03\r\n");

    // A reading cut short never ends its line: no reading, after the whole time-out.
    b.st.Retries = 0;
    b.reply = "+1.20000000E+0";
    const double t0 = b.clock.now();
    EXPECT_EQ(b.read(":READ?", 14, 0.6), -1);
    EXPECT_NEAR(b.clock.now() - t0, 0.6, 0.01);
    EXPECT_TRUE(b.link.lastReply().isEmpty());
}

TEST(MeterLink, OverloadGarbageZeroAndSilenceAreNoReading)
{
    MeterBench b;
    // What a line may hold is the reading parser's, fuzzed with its corpus; here the link's part.
    b.reply = "-9.90000000E+37\r\n";
    EXPECT_EQ(b.read(":READ?", 14, 0.6), -1);

    b.reply = "+0.00000000E+00\r\n";
    EXPECT_EQ(b.read(":READ?", 14, 0.6), -1);
    b.st.AbortFlag = true; // a raised flag takes the first line as it is
    EXPECT_EQ(b.read(":READ?", 14, 0.6), 0);
    b.st.AbortFlag = false;

    // Set-up commands get no answer: the link listens out their time-out all the same.
    b.reply.clear();
    const double t0 = b.clock.now();
    b.link.send(":SYST:REM", 0.2);
    EXPECT_EQ(b.lines.last(), ":SYST:REM\n");
    EXPECT_NEAR(b.clock.now() - t0, 0.2, 0.01);
}

TEST(MeterLink, AbortDoesNotCutTheWaitButStopEndsTheProgram)
{
    MeterBench b;
    b.reply = "+5.00000000E+00\r\n";
    b.delay = 0.3;
    b.clock.scheduleIn(0.05, [&] { b.st.AbortFlag = true; });
    EXPECT_DOUBLE_EQ(b.read(":READ?", 14, 0.6), 5.0);

    b.clock.scheduleIn(0.05, [&] { b.st.StopFlag = true; });
    EXPECT_THROW(b.read(":READ?", 14, 0.6), Cancelled);
}

// A reading of the wrong shape or none at all is asked for again; an overload is the meter's answer.
TEST(MeterLink, AMissingOrMalformedReadingIsAskedForAgain)
{
    MeterBench b;
    b.reply = "+1.20000000E+01\r\n";
    for (const QByteArray& bad : {QByteArray("+1.2000000E+01\r\n"), QByteArray("+1.2#000000E+01\r\n"),
                                  QByteArray("+1.200000000E+01\r\n"), QByteArray()}) {
        b.queued = {bad};
        b.lines.clear();
        EXPECT_DOUBLE_EQ(b.read(":READ?", 14, 0.6), 12.0) << bad.constData();
        EXPECT_EQ(b.lines, QList<QByteArray>(2, ":READ?\n"));
    }
    EXPECT_EQ(b.host.repeats.first(), "meter # :READ? reading malformed: asked again (1 of 2)");
    EXPECT_EQ(b.host.repeats.last(), "meter # :READ? no reading: asked again (1 of 2)");

    b.lines.clear();
    b.queued = {"+9.90000000E+37\r\n"};
    EXPECT_EQ(b.read(":READ?", 14, 0.6), -1);
    EXPECT_EQ(b.lines.size(), 1);

    // A meter that has gone quiet costs its repeats once.
    b.reply.clear();
    b.lines.clear();
    EXPECT_EQ(b.read(":READ?", 14, 0.6), -1);
    EXPECT_EQ(b.read(":READ?", 14, 0.6), -1);
    EXPECT_EQ(b.lines.size(), 3 + 1);
    EXPECT_EQ(b.st.Repeats, 4 + 2);
}
