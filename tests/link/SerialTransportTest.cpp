#include "link/SerialTransport.h"
#include "core/RealClock.h"

#include <QTimer>

#include <gtest/gtest.h>

#include "tests/support/CoreApp.h"

#include <algorithm>
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
        port.close();
        ::close(slave);
        ::close(master);
    }

    // The far end writes `bytes` in pieces of `piece` characters, one piece a millisecond.
    void send(const QByteArray& bytes, int piece)
    {
        auto* timer = new QTimer(&sender);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, bytes, piece, at = qsizetype(0)]() mutable {
            const auto n = std::min<qsizetype>(piece, bytes.size() - at);
            at += std::max<ssize_t>(::write(master, bytes.constData() + at, static_cast<size_t>(n)), 0);
            if (at >= bytes.size())
                timer->stop();
        });
        timer->start(1);
    }
    bool await(qint64 count, double seconds)
    {
        return clock.waitUntil(clock.now() + seconds, [&] { return port.bytesAvailable() >= count; });
    }

    psucal::RealClock clock;
    psucal::SerialTransport port{psucal::SerialTransport::Settings{}};
    QObject sender;
    int master = -1;
    int slave = -1;
    int wakes = 0;
};

} // namespace

TEST_F(PtyPortTest, AReplyArrivingByteByByteWakesTheWaiterOnceItsCountIsIn)
{
    ASSERT_TRUE(port.defersWakeUps());
    port.expect(12);
    send("0123456789OK", 1);
    ASSERT_TRUE(await(12, 1.0));
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(port.readAll(), "0123456789OK");

    // Reading ends the wish: a byte nobody announced wakes the waiter at once.
    send("x", 1);
    EXPECT_TRUE(await(1, 1.0));
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(port.readAll(), "x");
}

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
