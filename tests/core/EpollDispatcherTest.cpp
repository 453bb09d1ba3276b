#include "core/EpollDispatcher.h"
#include "core/RealClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTemporaryFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <unistd.h>

// Real time, tens of milliseconds each; every loop has a rescue so that a fault fails, not hangs.
namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fd), 0); }
    ~Pipe()
    {
        ::close(fd[0]);
        ::close(fd[1]);
    }
    void put() const { EXPECT_EQ(::write(fd[1], "x", 1), 1); }
};

void Round(double seconds)
{
    psucal::EpollDispatcher::current()->wakeBy(psucal::DeadlineTimer::now() + seconds);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

TEST(EpollDispatcher, NotifiersGoOffForTheirDescriptorOnlyWhileOn)
{
    ASSERT_NE(psucal::EpollDispatcher::current(), nullptr);
    Pipe p;
    QSocketNotifier reader(p.fd[0], QSocketNotifier::Read);
    QSocketNotifier writer(p.fd[1], QSocketNotifier::Write);
    int reads = 0, writes = 0;
    QObject::connect(&reader, &QSocketNotifier::activated, [&] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(p.fd[0], &c, 1);
        ++reads;
    });
    QObject::connect(&writer, &QSocketNotifier::activated, [&] {
        ++writes;
        writer.setEnabled(false);
    });
    Round(1.0);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(reads, 0);

    p.put();
    Round(1.0);
    EXPECT_EQ(reads, 1);

    reader.setEnabled(false);
    p.put();
    Round(0.02);
    EXPECT_EQ(reads, 1);
    reader.setEnabled(true);
    Round(1.0);
    EXPECT_EQ(reads, 2);

    // Two ready in one round, each switching the other off for good: only one goes off, and
    // the other, deleted, is not touched.
    Pipe a, b;
    auto na = std::make_unique<QSocketNotifier>(a.fd[0], QSocketNotifier::Read);
    auto nb = std::make_unique<QSocketNotifier>(b.fd[0], QSocketNotifier::Read);
    int fired = 0;
    QObject::connect(na.get(), &QSocketNotifier::activated, [&] { ++fired, nb.reset(); });
    QObject::connect(nb.get(), &QSocketNotifier::activated, [&] { ++fired, na.reset(); });
    a.put();
    b.put();
    Round(1.0);
    EXPECT_EQ(fired, 1);
}

TEST(EpollDispatcher, ARegularFileIsAlwaysReadyAndDoesNotBlockTheRound)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    QSocketNotifier n(file.handle(), QSocketNotifier::Read);
    int fired = 0;
    QObject::connect(&n, &QSocketNotifier::activated, [&] { ++fired; });
    const double t0 = psucal::DeadlineTimer::now();
    Round(5.0);
    EXPECT_EQ(fired, 1);
    EXPECT_LT(psucal::DeadlineTimer::now() - t0, 2.0);
}

TEST(EpollDispatcher, TimersGoOffInOrderAndNotAfterTheyAreKilled)
{
    QEventLoop loop;
    QList<int> order;
    QTimer::singleShot(30, [&] { order << 30; });
    QTimer::singleShot(10, [&] { order << 10; });
    QTimer repeating;
    repeating.setInterval(5);
    int shots = 0;
    QObject::connect(&repeating, &QTimer::timeout, [&] {
        if (++shots == 3)
            repeating.stop();
    });
    repeating.start();
    QTimer::singleShot(80, &loop, &QEventLoop::quit);
    QTimer::singleShot(3000, &loop, [&] { loop.exit(1); });
    EXPECT_EQ(loop.exec(), 0);
    EXPECT_EQ(order, (QList<int>{10, 30}));
    EXPECT_EQ(shots, 3);

    QTimer later;
    later.start(500);
    EXPECT_GT(later.remainingTime(), 0);
    EXPECT_LE(later.remainingTime(), 500);
}

TEST(EpollDispatcher, APostFromAnotherThreadWakesABlockedLoop)
{
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, [&] { loop.exit(1); });
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QMetaObject::invokeMethod(&loop, [&] { loop.exit(0); }, Qt::QueuedConnection);
    });
    const double t0 = psucal::DeadlineTimer::now();
    EXPECT_EQ(loop.exec(), 0);
    poster.join();
    EXPECT_LT(psucal::DeadlineTimer::now() - t0, 2.0);
}

// A wait on the lean loop ends at its deadline, never before it.
TEST(EpollDispatcher, AClockWaitEndsAtItsDeadline)
{
    psucal::RealClock clock;
    const double t0 = clock.now();
    EXPECT_FALSE(clock.waitUntil(t0 + 0.03, [] { return false; }));
    EXPECT_GE(clock.now(), t0 + 0.03);
    EXPECT_LT(clock.now(), t0 + 2.0);
}

int main(int argc, char** argv)
{
    QCoreApplication::setEventDispatcher(new psucal::EpollDispatcher);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
