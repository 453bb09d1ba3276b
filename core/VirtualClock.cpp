#include "core/VirtualClock.h"

namespace psucal {

bool VirtualClock::waitUntil(double deadline, const std::function<bool()>& done)
{
    while (true) {
        if (done())
            return true;
        if (queue_.empty() || queue_.top().at > deadline) {
            if (deadline > now_)
                now_ = deadline;
            return done();
        }
        Item item = queue_.top();
        queue_.pop();
        if (item.at > now_)
            now_ = item.at;
        item.action();
    }
}

void VirtualClock::schedule(double at, std::function<void()> action)
{
    queue_.push(Item{at < now_ ? now_ : at, seq_++, std::move(action)});
}

void VirtualClock::advanceTo(double until)
{
    waitUntil(until, [] { return false; });
}

} // namespace psucal
