#include "link/EepromImage.h"
#include "link/Trace.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/SupplyBench.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace psucal;
using psucal::Cancelled;

namespace {

struct LinkBench : test::SupplyBench {
    explicit LinkBench(const sim::SupplyConfig& cfg = {}) : SupplyBench(cfg)
    {
        port.setPortName("COM1");
        st.AbortFlag = false;
    }
    QString send(const char* cmd, const char* data, int count, double timeout)
    {
        return link.SendCommand(cmd, data, count, timeout);
    }
    void fault(const char* rule) { ASSERT_TRUE(model.faults().add(QString::fromLatin1(rule))); }
};

} // namespace

TEST(SupplyLink, ReplyLostToItsTimeoutIsDrainedBeforeTheNextFrame)
{
    LinkBench b;
    b.fault("GETD:silence:nth=1");
    double t0 = b.clock.now();
    EXPECT_EQ(b.send("GETD", "", 12, 0.1), "");
    EXPECT_NEAR(b.clock.now() - t0, 0.1, 1e-9);

    // The whole image takes 1.5 s; cut off after 0.1 s it goes on arriving. Without the drain
    // the next frame would take its first characters for an answer.
    EXPECT_EQ(b.send("GETD", "", 12, 0.1).size(), 12); // quiet line: 20 ms of drain
    EXPECT_LT(b.send("GEEP", "", 1443, 0.1).size(), 200);
    t0 = b.clock.now();
    EXPECT_EQ(b.send("VOLT", "050", 2, 0.1), "OK");
    EXPECT_GT(b.clock.now() - t0, 1.3);
    EXPECT_EQ(b.model.frames().last(), "VOLT00050");

    // A reply that came whole costs nothing extra: ten characters out, two back.
    t0 = b.clock.now();
    EXPECT_EQ(b.send("VOLT", "040", 2, 0.1), "OK");
    EXPECT_NEAR(b.clock.now() - t0, 12 / 960.0 + sim::InProcessPort::Turnaround, 1e-9);
    EXPECT_EQ(b.model.frames().last(), "VOLT00040");
}

// Each call is one frame with the reply length and time-out the procedures wait with.
TEST(SupplyLink, TypedCallsSendTheirFramesAndWaitTheirTimeOut)
{
    LinkBench b;
    const auto last = [&] { return b.model.frames().last(); };
    b.link.openSession();
    EXPECT_EQ(last(), "SESS00");
    EXPECT_TRUE(b.link.setVoltage(7.2)); // rounded to 072, never cut to 071
    EXPECT_EQ(last(), "VOLT00072");
    EXPECT_TRUE(b.link.setCurrent(0.29));
    EXPECT_EQ(last(), "CURR00029");
    b.link.switchOutput(true);
    EXPECT_EQ(last(), "SOUT001");
    b.link.switchOutput(false);
    EXPECT_EQ(last(), "SOUT000");
    EXPECT_EQ(b.link.writeCorrection(60, "80818283", b.model.row(60)), SupplyLink::RowWrite::Confirmed);
    EXPECT_EQ(last(), "SEEP0006080818283");
    EXPECT_EQ(b.model.row(60), "80818283");
    b.link.Delay(0.1); // the write's answer ends with a CR not waited for

    b.fault("VOLT:silence");
    b.fault("CURR:silence");
    b.st.Retries = 0;
    // The line is drained for 20 ms after each silence.
    const auto took = [&](auto call, double timeout) {
        const double t0 = b.clock.now();
        EXPECT_FALSE(call(timeout));
        const double dt = b.clock.now() - t0;
        EXPECT_TRUE(dt >= timeout && dt < timeout + 0.05) << dt << " for " << timeout;
    };
    for (const double timeout : {0.1, 0.3}) {
        took([&](double t) { return b.link.setVoltage(60.0, t); }, timeout);
        EXPECT_EQ(last(), "VOLT00600");
        took([&](double t) { return b.link.setCurrent(9.99, t); }, timeout);
        EXPECT_EQ(last(), "CURR00999");
    }
}

TEST(SupplyLink, RowWritesTryAgainUntilConfirmedAndSayHowTheyEnded)
{
    using W = SupplyLink::RowWrite;
    // Retries 0 takes only an "OK"; with retries a row read back holding the new cells is one too.
    struct Case {
        const char* fault;
        int retries;
        W outcome;
        int writes;
    } cases[] = {
        {nullptr, 2, W::Confirmed, 1},          {"SEEP:silence:nth=1", 0, W::Confirmed, 2},
        {"SEEP:garbage", 0, W::Unconfirmed, 3}, {"SEEP:garbage", 2, W::Confirmed, 1},
        {"SEEP:silence", 0, W::Silent, 3},      {"SEEP:silence", 2, W::Confirmed, 1},
        {"SEEP:lost", 2, W::Silent, 3},
    };
    for (const Case& c : cases) {
        LinkBench b;
        b.st.Retries = c.retries;
        if (c.fault)
            b.fault(c.fault);
        EXPECT_EQ(b.link.writeRow(7, "80808081", 3, 0.5), c.outcome) << (c.fault ? c.fault : "none") << c.retries;
        EXPECT_EQ(b.framesSince(0, "SEEP"), QStringList(c.writes, "SEEP0000780808081"));
    }
}

// The adjustment loop's write, settled by reading the row back when its "OK" went missing.
TEST(SupplyLink, ACorrectionWithoutOkIsReadBackAndWrittenAgainOnlyOverTheOldCells)
{
    using W = SupplyLink::RowWrite;
    const QString seep = "SEEP0006080818283", geep = "GEEP00060";
    struct Case {
        QStringList faults;
        W outcome;
        QStringList frames;
    } cases[] = {
        {{"SEEP:truncate=1:nth=1"}, W::Confirmed, {seep, geep}},
        {{"SEEP:lost:nth=1"}, W::Confirmed, {seep, geep, seep}},
        {{"SEEP:lost"}, W::Unconfirmed, {seep, geep, seep, geep, seep, geep}},
        // A row that cannot be read back whole is not written again.
        {{"SEEP:silence", "GEEP060:garbage"}, W::Silent, {seep, geep, geep, geep, geep}},
    };
    for (const Case& c : cases) {
        LinkBench b;
        const QString old = b.model.row(60);
        for (const QString& f : c.faults)
            ASSERT_TRUE(b.model.faults().add(f));
        EXPECT_EQ(b.link.writeCorrection(60, "80818283", old), c.outcome) << c.faults.join(' ').toStdString();
        EXPECT_EQ(b.model.frames().filter(QRegularExpression("^(SEEP|GEEP)")), c.frames);
    }
}

// One fault on a reply costs one repeat; the reply of the repeat is taken, and the run counts it.
TEST(SupplyLink, EveryWayAReplyGoesWrongIsAskedAgainOnceAndSaid)
{
    const std::pair<const char*, const char*> cases[] = {
        {"GETD:silence:nth=1", "no reply"},      {"GETD:late=0.12:nth=1", "reply late"},
        {"GETD:truncate=5:nth=1", "reply short"}, {"GETD:dropchar:nth=1", "reply short"},
        {"GETD:garbage:nth=1", "reply malformed"}, {"GETD:nondigits:nth=1", "reply malformed"},
    };
    for (const auto& [rule, why] : cases) {
        LinkBench clean;
        LinkBench b;
        b.fault(rule);
        const std::optional<DisplayReading> shown = b.link.ReadDisplay();
        ASSERT_TRUE(shown) << rule;
        EXPECT_EQ(shown->volts, clean.link.ReadDisplay()->volts) << rule;
        EXPECT_EQ(b.framesSince(0), QStringList({"GETD00", "GETD00"})) << rule;
        EXPECT_EQ(b.st.Repeats, 1) << rule;
        EXPECT_EQ(b.host.repeats, QStringList(QStringLiteral("supply # GETD %1: asked again (1 of 2)").arg(why)))
            << rule;
    }
    LinkBench b;
    b.fault("VOLT:garbage:nth=1");
    b.fault("GEEP:shortrow:nth=1");
    EXPECT_TRUE(b.link.setVoltage(5.0));
    b.st.CurRow = 58;
    EXPECT_EQ(b.link.ReadEepRow(), SupplyLink::RowReadOutcome::Read);
    EXPECT_EQ(b.host.repeats, QStringList({"supply # VOLT050 reply malformed: asked again (1 of 2)",
                                           "supply # GEEP058 reply short: asked again (1 of 3)"}));
}

// The first try's answer, however late, is never taken for the repeat's.
TEST(SupplyLink, ALateReplyIsNeverTakenForTheRepeatsAnswer)
{
    for (const double late : {0.05, 0.12, 0.19, 0.2, 0.21, 0.35}) {
        VirtualClock clock;
        int asked = 0;
        sim::InProcessPort port(clock, [&](const QByteArray&) {
            ++asked;
            return QList<sim::Answer>{asked == 1 ? sim::Answer{"050000000 OK", late} : sim::Answer{"060000000 OK"}};
        });
        test::RecordingHost host;
        BenchState st;
        BenchUi ui(host);
        SupplyLink link(st, ui, clock, port);
        port.setPortName("COM1");
        const std::optional<DisplayReading> shown = link.ReadDisplay();
        ASSERT_TRUE(shown) << late;
        // Within its time-out the first answer is the answer; after it, only the repeat's counts.
        EXPECT_EQ(shown->volts, late < 0.09 ? 5.0 : 6.0) << late;
        clock.advanceTo(clock.now() + 1.0);
        EXPECT_EQ(link.ReadDisplay()->volts, 6.0) << late;
    }
}

TEST(DisplayReading, IsTwelveCharactersWithDigitsAndOk)
{
    struct Case {
        const char* reply;
        bool valid;
    } cases[] = {
        {"176200250 OK", true},  {"17620025XYOK", true},  {"17620025XYOKZ", false}, {"17620025XYO", false},
        {"105000000OK", false},  {"1762002500KO", false}, {"1762 02500OK", false},  {"", false},
        {"-76200250 OK", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DisplayReading::Parse(c.reply).has_value(), c.valid) << c.reply;
    const auto d = DisplayReading::Parse("176200250 OK");
    EXPECT_DOUBLE_EQ(d->volts, 17.62);
    EXPECT_DOUBLE_EQ(d->amps, 0.025);
}

TEST(SupplyLink, APortThatCameBackIsNotWrittenUntilOpenedAnew)
{
    LinkBench b;
    b.fault("GETD:vanish=0.5:nth=1");
    EXPECT_EQ(b.send("GETD", "", 12, 0.1), "");
    b.clock.advanceTo(b.clock.now() + 1.0);
    EXPECT_EQ(b.send("SEEP", "05880808381", 3, 0.2), "");
    EXPECT_TRUE(b.model.frames().filter("SEEP").isEmpty());
    ASSERT_TRUE(b.port.open());
    EXPECT_EQ(b.send("SESS", "", 3, 0.2), "OK\r");
}

TEST(SupplyLink, APortThatWentBetweenExchangesIsSaidLostAndNotReopened)
{
    LinkBench b;
    EXPECT_EQ(b.send("SESS", "", 3, 0.2), "OK\r");
    b.port.vanish(0.5);
    b.clock.advanceTo(b.clock.now() + 1.0); // back under the same name
    EXPECT_EQ(b.send("SEEP", "05880808381", 3, 0.2), "");
    EXPECT_TRUE(b.model.frames().filter("SEEP").isEmpty());
    ASSERT_FALSE(b.host.messages.isEmpty());
    EXPECT_TRUE(b.host.messages.last().contains("lost (cable")) << b.host.messages.last().toStdString();
}

TEST(SupplyLink, StopFlagDuringAWaitEndsTheProgram)
{
    LinkBench b;
    b.fault("GETD:silence");
    b.clock.schedule(0.05, [&] { b.st.StopFlag = true; });
    EXPECT_THROW(b.send("GETD", "", 12, 1.0), Cancelled);
    EXPECT_LT(b.clock.now(), 0.06);
}

TEST(SupplyLink, ExchangeStartedInsideAWaitIsRefusedButEndsGetsThrough)
{
    LinkBench b;
    b.fault("GETD:silence");
    QString nested = "untouched";
    b.clock.schedule(0.02, [&] { nested = b.send("VOLT", "050", 2, 0.1); });
    b.clock.schedule(0.04, [&] { b.link.SendEnds(); });
    EXPECT_EQ(b.send("GETD", "", 12, 0.3), "");
    EXPECT_EQ(nested, "");
    EXPECT_FALSE(b.model.frames().contains("VOLT00050"));
    EXPECT_TRUE(b.model.frames().contains("ENDS00"));
}

TEST(SupplyLink, DelayEndsEarlyOnAbort)
{
    LinkBench b;
    b.clock.schedule(0.3, [&] { b.st.AbortFlag = true; });
    b.link.Delay(1.0);
    EXPECT_NEAR(b.clock.now(), 0.3, 1e-9);
    b.link.Delay(1.0); // already raised: no wait at all
    EXPECT_NEAR(b.clock.now(), 0.3, 1e-9);
}

// Line noise that keeps a row reply eight valid characters is caught by the shadow of the
// EEPROM: the as-found image plus every write, confirmed or not.
TEST(SupplyLink, RowReadsAreCheckedAgainstTheImageAndTheWritesSinceIt)
{
    LinkBench b;
    b.st.CurRow = 60;
    EXPECT_EQ(b.link.ReadEepRow(), SupplyLink::RowReadOutcome::Read); // no image yet: nothing to check against
    b.link.ReadImage();
    ASSERT_TRUE(b.link.shadow().known());

    b.fault("GEEP060:flipnibble=3:nth=1");
    qsizetype from = b.model.frames().size();
    ASSERT_EQ(b.link.ReadEepRow(), SupplyLink::RowReadOutcome::Read);
    EXPECT_EQ(b.framesSince(from, "GEEP").size(), 2);
    EXPECT_EQ(b.st.RowRead[1] + b.st.RowRead[2] + b.st.RowRead[3] + b.st.RowRead[4], b.model.row(60));

    // A confirmed write is what the row holds from then on; the old cells no longer pass.
    const QString old = b.model.row(60);
    const QString next = "8081" + old.mid(4);
    EXPECT_TRUE(b.link.SendCommand("SEEP", "060" + next, 2, 0.2).startsWith("OK"));
    EXPECT_TRUE(b.link.shadow().agrees(60, next));
    EXPECT_FALSE(b.link.shadow().agrees(60, old));

    // A write the supply did not confirm may or may not have landed: either state passes until
    // a read settles it. Here it landed, its answer did not come back.
    const QString landed = "8082" + old.mid(4);
    b.fault("SEEP060:silence:nth=1");
    b.link.SendCommand("SEEP", "060" + landed, 2, 0.2);
    EXPECT_TRUE(b.link.shadow().agrees(60, next));
    EXPECT_TRUE(b.link.shadow().agrees(60, landed));
    ASSERT_EQ(b.link.ReadEepRow(), SupplyLink::RowReadOutcome::Read);
    EXPECT_FALSE(b.link.shadow().agrees(60, next));

    // A row that never reads as it should: four reads, no buffers, the row and what it should hold named.
    b.model.faults().clear();
    b.fault("GEEP060:flipnibble=8");
    from = b.model.frames().size();
    b.st.RowRead[1].clear();
    EXPECT_EQ(b.link.ReadEepRow(), SupplyLink::RowReadOutcome::Mismatch);
    EXPECT_EQ(b.framesSince(from).size(), 4);
    EXPECT_TRUE(b.st.RowRead[1].isEmpty());
    EXPECT_TRUE(b.link.rowMismatch().startsWith("EEPROM row 060 reads 80 82 " + old.mid(4, 2) + ' '))
        << b.link.rowMismatch().toStdString();
    EXPECT_TRUE(b.link.rowMismatch().contains("should hold " + psucal::image::RowLine(60, landed).mid(4) + ';'));

    // Replies that are no row at all are read again too, and the buffers keep what they held.
    b.fault("GEEP061:shortrow");
    b.st.CurRow = 61;
    from = b.model.frames().size();
    EXPECT_EQ(b.link.ReadEepRow(), SupplyLink::RowReadOutcome::NoReply);
    EXPECT_EQ(b.framesSince(from).size(), 4);
    EXPECT_TRUE(b.st.RowRead[1].isEmpty());

    // A new unit starts from nothing: row 60's noise is no longer measured against anything.
    b.model.faults().clear();
    b.fault("GEEP060:flipnibble=8");
    b.st.CurRow = 60;
    b.link.shadow().forget();
    EXPECT_EQ(b.link.ReadEepRow(), SupplyLink::RowReadOutcome::Read);
}

TEST(SupplyLink, WaitOutputLowStopsOnceTheDisplayIsLowOrAfterSixSeconds)
{
    LinkBench b;
    b.send("SOUT", "1", 3, 0.2);
    const double t0 = b.clock.now();
    b.link.WaitOutputLow(false);
    EXPECT_LT(b.clock.now() - t0, 1.0);
    EXPECT_TRUE(b.model.frames().contains("VOLT00010"));

    LinkBench silent;
    silent.fault("GETD:silence");
    const double t1 = silent.clock.now();
    silent.link.WaitOutputLow(true);
    EXPECT_TRUE(silent.model.frames().contains("CURR00100"));
    EXPECT_GE(silent.clock.now() - t1, 6.0);
    EXPECT_LT(silent.clock.now() - t1, 7.0);
}

TEST(SupplyLink, TraceWritesOneEscapedLinePerFrame)
{
    QTemporaryDir dir;
    LinkBench b;
    const QString path = dir.filePath("trace.txt");
    Trace trace(path, b.clock);
    b.link.setTrace(&trace);
    b.send("SESS", "", 3, 0.2);
    // Read while the trace is still open: each line is on disk as soon as it happens.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(" supply > SESS00\\r")) << lines[0].constData();
    EXPECT_TRUE(lines[1].endsWith(" supply < OK\\r")) << lines[1].constData();
    EXPECT_EQ(Trace::escape(QByteArray("a\x01\\", 3)), "a\\x01\\\\");
}
