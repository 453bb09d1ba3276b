#include "SimTestUtil.h"

#include "core/VirtualClock.h"
#include "sim/InProcessSupply.h"

#include <gtest/gtest.h>

#include <memory>

using namespace psucal;
using namespace psucal::sim;
using psucal::sim::test::Unit;

namespace {

constexpr double Char = 1.0 / 960;

struct Bench {
    VirtualClock clock;
    SupplyModel model{Unit(40)};
    InProcessSupply port{clock, model};
    int wakes = 0;

    Bench()
    {
        port.setPortName(QStringLiteral("COM1"));
        port.setActivityCallback([this] { ++wakes; });
        EXPECT_TRUE(port.open());
    }
    // What has arrived `after` seconds after sending the frame.
    QByteArray exchange(const QByteArray& frame, double after)
    {
        const double start = clock.now();
        EXPECT_TRUE(port.write(frame));
        clock.advanceTo(start + after);
        return port.readAll();
    }
};

} // namespace

TEST(InProcessSupply, ReplyArrivesAfterWireTimeAndTurnaround)
{
    Bench b;
    const double done = 7 * Char + InProcessPort::Turnaround + 9 * Char;
    b.port.write("GMAX00\r");
    b.clock.advanceTo(7 * Char + InProcessPort::Turnaround + 4.5 * Char);
    EXPECT_EQ(b.port.bytesAvailable(), 4);
    EXPECT_TRUE(b.model.frames().size() == 1);
    b.clock.advanceTo(done - 1e-6);
    EXPECT_EQ(b.port.bytesAvailable(), 8);
    b.clock.advanceTo(done);
    EXPECT_EQ(b.port.readAll(), "4005000OK");
    EXPECT_EQ(b.wakes, 9);
}

TEST(InProcessSupply, VanishedPortFailsUntilItComesBack)
{
    Bench b;
    b.model.faults().add(QStringLiteral("*:vanish=3:nth=2"));
    EXPECT_EQ(b.exchange("SESS00\r", 0.1), "OK\r");
    const int before = b.wakes;
    EXPECT_TRUE(b.port.write("GMAX00\r"));
    b.clock.advanceTo(b.clock.now() + 0.1);
    EXPECT_GT(b.wakes, before);
    EXPECT_FALSE(b.port.isOpen());
    EXPECT_FALSE(b.port.write("GMAX00\r"));
    EXPECT_FALSE(b.port.open());
    b.clock.advanceTo(b.clock.now() + 3.0);
    EXPECT_TRUE(b.port.open());
    EXPECT_EQ(b.exchange("GMAX00\r", 0.1), "4005000OK");
}

TEST(InProcessSupply, RepliesInFlightOutliveThePort)
{
    VirtualClock clock;
    SupplyModel model(Unit(20));
    auto port = std::make_unique<InProcessSupply>(clock, model);
    ASSERT_TRUE(port->open());
    port->write("GEEP00\r");
    clock.advanceTo(0.1);
    port.reset();
    clock.advanceTo(3.0);
    EXPECT_TRUE(clock.idle());
}
