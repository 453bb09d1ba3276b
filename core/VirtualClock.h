#pragma once

#include "core/Clock.h"

#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

namespace psucal {

// Time that only moves when someone waits. Scheduled actions (a simulated reply, a test's
// "close the window now") run at their instant, in the order they were scheduled.
class VirtualClock : public Clock {
public:
    double now() const override { return now_; }
    bool waitUntil(double deadline, const std::function<bool()>& done) override;
    void wake() override {}

    void schedule(double at, std::function<void()> action);
    void scheduleIn(double delay, std::function<void()> action) { schedule(now_ + delay, std::move(action)); }
    // Runs everything due up to `until` and leaves the clock there.
    void advanceTo(double until);
    bool idle() const { return queue_.empty(); }

private:
    struct Item {
        double at;
        std::uint64_t seq;
        std::function<void()> action;
        bool operator>(const Item& o) const { return at != o.at ? at > o.at : seq > o.seq; }
    };
    double now_ = 0.0;
    std::uint64_t seq_ = 0;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue_;
};

} // namespace psucal
