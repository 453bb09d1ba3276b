#include "link/SerialTransport.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/RealClock.h"
#include "link/MeterLink.h"
#include "link/SupplyLink.h"


#include <gtest/gtest.h>

#include "tests/support/CoreApp.h"
#include "tests/support/RecordingHost.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <climits>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// The serial transport on a raw pseudo-terminal, in real time; the test writes the far end.
namespace {

class PtyPortTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureCoreApp(); }
    void SetUp() override
    {
        termios raw{};
        cfmakeraw(&raw);
        char name[PATH_MAX] = {};
        ASSERT_EQ(::openpty(&master, &slave, name, &raw, nullptr), 0);
        port.setPortName(QString::fromLocal8Bit(name));
        ASSERT_TRUE(port.open());
        port.setActivityCallback([this] {
            ++wakes;
            clock.wake();
        });
    }
    void TearDown() override
    {
        if (sender.joinable())
            sender.join();
        port.close();
        ::close(slave);
        ::close(master);
    }

    // The far end writes `bytes` in pieces of `piece` characters, one piece every `ms` milliseconds,
    // from a thread of its own as a device would: it wakes nobody's event loop. As an answer, once
    // a frame has come in.
    void send(const QByteArray& bytes, int piece, int ms = 1, bool answer = false)
    {
        if (sender.joinable())
            sender.join();
        sender = std::thread([this, bytes, piece, ms, answer] {
            for (char c = 0; answer && c != '\r' && c != '\n' && ::read(master, &c, 1) == 1;) {
            }
            for (qsizetype at = 0; at < bytes.size();) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                const auto n = std::min<qsizetype>(piece, bytes.size() - at);
                at += std::max<ssize_t>(::write(master, bytes.constData() + at, static_cast<size_t>(n)), 0);
            }
        });
    }
    bool await(qint64 count, double seconds)
    {
        return clock.waitUntil(clock.now() + seconds, [&] { return port.bytesAvailable() >= count; });
    }

    psucal::RealClock clock;
    psucal::SerialTransport port{psucal::SerialTransport::Settings{}};
    psucal::test::RecordingHost host;
    psucal::BenchUi ui{host};
    psucal::BenchState st;
    // Built before SetUp(), which puts the counting callback behind it.
    psucal::SupplyLink supply{st, ui, clock, port};
    std::thread sender;
    int master = -1;
    int slave = -1;
    int wakes = 0;
};

} // namespace

TEST_F(PtyPortTest, AShortReplyIsReadAtTheDeadlineAndAnImageArrivesWholeAndInOrder)
{
    port.expect(12);
    send("01234", 5);
    EXPECT_FALSE(await(12, 0.05));
    EXPECT_EQ(port.readAll(), "01234");

    // Longer than one VMIN count, in pieces that do not line up with it.
    QByteArray image;
    for (int i = 0; i < 1443; ++i)
        image += static_cast<char>('0' + i % 16);
    port.expect(image.size());
    send(image, 100);
    ASSERT_TRUE(await(image.size(), 2.0));
    EXPECT_EQ(port.readAll(), image);
}

TEST_F(PtyPortTest, AReplyIsReadOnceWholeAndASlowOneIsWaitedForWhileSilenceStillTimesOut)
{
    // There at once: read when the frame and the reply could have crossed the line, waking nobody.
    send("0123456789OK", 12, 1, true);
    double t0 = clock.now();
    EXPECT_EQ(supply.SendCommand("GETD", "", 12, 0.1), "0123456789OK");
    EXPECT_EQ(wakes, 0);
    EXPECT_GE(clock.now() - t0, 19 / 960.0);

    // A third of the line's rate: not whole at the look, so the line is watched for the rest.
    send("0123456789OK", 1, 3, true);
    t0 = clock.now();
    EXPECT_EQ(supply.SendCommand("GETD", "", 12, 0.2), "0123456789OK");
    EXPECT_LT(clock.now() - t0, 0.1);

    t0 = clock.now();
    EXPECT_EQ(supply.SendCommand("GETD", "", 12, 0.1), "");
    EXPECT_GE(clock.now() - t0, 0.1);
    EXPECT_LT(clock.now() - t0, 0.15);
}

TEST_F(PtyPortTest, AMeterReadingLongerThanItsCountIsReadToItsLineEndWithoutAWakeUpPerCharacter)
{
    // Counted behind the link, which set its own callback.
    psucal::MeterLink meter(st, ui, clock, port);
    port.setActivityCallback([this] { ++wakes; });
    send("+1.20000000E+01\r\n", 1, 1, true);
    const double t0 = clock.now();
    EXPECT_EQ(meter.ReadMeter(QStringLiteral(":READ?"), 14, 1.0), 12.0);
    EXPECT_LT(clock.now() - t0, 0.5);
    EXPECT_LE(wakes, 4);
}
