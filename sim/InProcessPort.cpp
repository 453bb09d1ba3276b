#include "sim/InProcessPort.h"

#include "core/VirtualClock.h"

#include <algorithm>

namespace psucal::sim {

InProcessPort::InProcessPort(VirtualClock& clock, Responder responder, double charTime)
    : clock_(clock), responder_(std::move(responder)), charTime_(charTime),
      self_(std::make_shared<InProcessPort*>(this))
{
}

bool InProcessPort::open()
{
    if (vanished_ || (!present_.isEmpty() && !present_.contains(name_)))
        return false;
    gone_ = false;
    if (!open_) {
        open_ = true;
        rx_.clear();
    }
    return true;
}

void InProcessPort::close()
{
    open_ = gone_ = false;
    rx_.clear();
}

QByteArray InProcessPort::readAll()
{
    QByteArray out;
    out.swap(rx_);
    return out;
}

bool InProcessPort::write(const QByteArray& bytes)
{
    if (!open_ || vanished_)
        return false;
    const double start = std::max(clock_.now(), txFree_);
    txFree_ = start + bytes.size() * charTime_;
    std::weak_ptr<InProcessPort*> weak = self_;
    const quint64 line = line_;
    clock_.schedule(txFree_, [weak, bytes, line] {
        if (auto self = weak.lock(); self && (*self)->line_ == line)
            (*self)->arrive(bytes);
    });
    return true;
}

void InProcessPort::arrive(const QByteArray& frame)
{
    for (const Answer& a : responder_(frame)) {
        if (a.vanish) {
            vanish(a.restoreAfter);
            return;
        }
        const double start = std::max(clock_.now() + Turnaround + a.extraDelay, rxFree_);
        rxFree_ = start + a.bytes.size() * charTime_;
        std::weak_ptr<InProcessPort*> weak = self_;
        const quint64 line = line_;
        for (int i = 0; i < a.bytes.size(); ++i) {
            const char c = a.bytes[i];
            clock_.schedule(start + (i + 1) * charTime_, [weak, c, line] {
                if (auto self = weak.lock())
                    (*self)->deliver(c, line);
            });
        }
    }
}

void InProcessPort::deliver(char c, quint64 line)
{
    if (!open_ || line != line_)
        return;
    rx_.append(c);
    notifyActivity();
}

void InProcessPort::vanish(double restoreAfter)
{
    vanished_ = true;
    gone_ = open_;
    open_ = false;
    rx_.clear();
    ++line_;
    rxFree_ = txFree_ = clock_.now();
    notifyActivity();
    if (restoreAfter > 0) {
        std::weak_ptr<InProcessPort*> weak = self_;
        const quint64 line = line_;
        clock_.scheduleIn(restoreAfter, [weak, line] {
            if (auto self = weak.lock(); self && (*self)->line_ == line)
                (*self)->restore();
        });
    }
}

} // namespace psucal::sim
