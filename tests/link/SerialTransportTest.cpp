#include "link/SerialTransport.h"
#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/RealClock.h"
#include "link/MeterLink.h"
#include "link/SupplyLink.h"


#include <gtest/gtest.h>

#include "tests/support/CoreApp.h"
#include "tests/support/RecordingHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

TEST_F(PtyPortTest, TheLookLearnsWhenRepliesAreWholeAndNeverTakesOneShort)
{
    const auto exchange = [&](int piece, int ms, double timeout = 0.2) {
        send("0123456789OK", piece, ms, true);
        const double t0 = clock.now();
        EXPECT_EQ(supply.SendCommand("GETD", "", 12, timeout), "0123456789OK");
        return clock.now() - t0;
    };
    // Whole 20 ms after the frame, as at 9600 baud: once learnt, most replies cost one timed
    // read and no wake-up (a loaded machine adds a few). Learnt takes more replies than the look
    // remembers: a machine that gets busy meanwhile moves the replies, which reads as a spread.
    for (int i = 0; i < 20; ++i)
        exchange(12, 20);
    int before = wakes;
    for (int i = 0; i < 12; ++i)
        exchange(12, 20);
    EXPECT_LT(wakes - before, 8);
    // Then a line that hands each reply over at once, as a USB CDC device does: it is seen to be
    // faster than its baud rate, and each reply is read as it comes, with one wake-up.
    std::vector<double> took;
    for (int i = 0; i < 40; ++i)
        took.push_back(exchange(12, 1));
    std::nth_element(took.begin() + 30, took.begin() + 35, took.end());
    EXPECT_LT(took[35], 0.01);
    before = wakes;
    for (int i = 0; i < 20; ++i)
        exchange(12, 1);
    EXPECT_LE(wakes - before, 22);

    // A reply at a third of the line's rate is waited for whole; silence still times out.
    EXPECT_LT(exchange(1, 3), 0.1);
    const double t0 = clock.now();
    EXPECT_EQ(supply.SendCommand("GETD", "", 12, 0.1), "");
    EXPECT_GE(clock.now() - t0, 0.1);
    EXPECT_LT(clock.now() - t0, 0.15);
    // A pseudo-terminal refuses the low-latency flag and has no adapter to tune: nothing to say.
    EXPECT_TRUE(host.notes.isEmpty());
}

// Behind an adapter's 16 ms latency timer each reply comes out at the timer's next tick, anywhere
// in its period: no look can be on time for all of them. Once that shows, every reply is read as
// it comes out, with one wake-up.
TEST_F(PtyPortTest, RepliesHeldForAnAdaptersTimerAreReadAsTheyComeOutWithOneWakeEach)
{
    using Steady = std::chrono::steady_clock;
    const Steady::time_point origin = Steady::now();
    const auto since = [origin] { return std::chrono::duration<double>(Steady::now() - origin).count(); };
    std::atomic<double> released{0};
    const auto exchange = [&](int i) {
        if (sender.joinable())
            sender.join();
        sender = std::thread([&] {
            for (char c = 0; c != '\r' && ::read(master, &c, 1) == 1;) {
            }
            const double tick = std::ceil((since() + 0.012) / 0.016) * 0.016;
            std::this_thread::sleep_until(origin + std::chrono::duration_cast<Steady::duration>(
                                                       std::chrono::duration<double>(tick)));
            released = since();
            EXPECT_EQ(::write(master, "0123456789OK", 12), 12);
        });
        // Frames at every phase of the timer.
        std::this_thread::sleep_for(std::chrono::microseconds(i * 3700 % 16000));
        EXPECT_EQ(supply.SendCommand("GETD", "", 12, 0.2), "0123456789OK");
        return since() - released;
    };
    for (int i = 0; i < 12; ++i)
        exchange(i);
    const int before = wakes;
    std::vector<double> late;
    for (int i = 0; i < 21; ++i)
        late.push_back(exchange(i));
    // All but the four latest, which a loaded machine may hold up (a parallel test run adds a few
    // tenths of a millisecond): a timed look is 1.3 ms or more late for five or six of them.
    std::sort(late.begin(), late.end());
    EXPECT_LT(late[16], 0.0013) << late[16];
    EXPECT_LE(wakes - before, 26);
}

// A waiter told that its reply is whole and asking again is waiting for what runs on past it (a
// late answer to an earlier frame): every character of that wakes it.
TEST_F(PtyPortTest, AWaiterThatAsksAgainAfterAWholeReplySeesASingleCharacterRunOn)
{
    port.discard();
    port.expect(2);
    ASSERT_TRUE(port.write("GETD00\r"));
    EXPECT_EQ(port.lookAfter(), 0); // a kind not seen yet is watched for
    send("OK", 2, 1, true);
    ASSERT_TRUE(await(2, 0.2));
    send("X", 1, 5);
    EXPECT_TRUE(await(3, 0.2));
    EXPECT_EQ(port.readAll(), "OKX");
}

// A USB adapter stood for by a folder: its latency timer still at 16 ms is named with the fix, once.
TEST_F(PtyPortTest, AnAdapterThatHoldsRepliesBackIsNamedOnceWithTheCommandThatFixesIt)
{
    QTemporaryDir sysfs;
    const QString name = QFileInfo(port.portName()).canonicalFilePath().mid(5).remove(u'/');
    ASSERT_TRUE(QDir(sysfs.path()).mkpath(name + "/device"));
    QFile timer(sysfs.filePath(name + "/device/latency_timer"));
    ASSERT_TRUE(timer.open(QIODevice::WriteOnly));
    timer.write("16\n");
    timer.close();
    port.close();
    port.setSysfsTty(sysfs.path());
    for (int i = 0; i < 2; ++i) {
        send("OK", 2, 1, true);
        EXPECT_EQ(supply.SendCommand("VOLT", "050", 2, 0.2), "OK");
        port.close(); // the link opens it again, as before an image read
    }
    ASSERT_EQ(host.notes.size(), 1);
    EXPECT_TRUE(host.notes[0].startsWith("Supply port " + port.portName())) << qPrintable(host.notes[0]);
    EXPECT_TRUE(host.notes[0].contains("16 ms"));
    EXPECT_TRUE(host.notes[0].contains("echo 1 | sudo tee " + QFileInfo(timer).canonicalFilePath()));

    ASSERT_TRUE(timer.open(QIODevice::WriteOnly | QIODevice::Truncate));
    timer.write("1\n");
    timer.close();
    ASSERT_TRUE(port.open());
    EXPECT_TRUE(port.lineAdvice().isEmpty());
}

// On a real port (PSUCAL_TEST_SERIAL=/dev/ttyUSB0, say) the driver is asked for low latency and
// keeps it, or says why not.
TEST(SerialPort, ARealPortIsSetToLowLatencyWhereItsDriverTakesIt)
{
    const QString device = qEnvironmentVariable("PSUCAL_TEST_SERIAL");
    if (device.isEmpty())
        GTEST_SKIP() << "no real serial port named in PSUCAL_TEST_SERIAL";
    psucal::SerialTransport port{psucal::SerialTransport::Settings{}};
    port.setPortName(device);
    ASSERT_TRUE(port.open()) << qPrintable(port.errorText());
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    serial_struct info{};
    if (fd >= 0 && ::ioctl(fd, TIOCGSERIAL, &info) == 0)
        EXPECT_TRUE((info.flags & ASYNC_LOW_LATENCY) || !port.lineAdvice().isEmpty());
    else
        GTEST_SKIP() << "the driver has no serial settings: " << std::strerror(errno);
    ::close(fd);
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
