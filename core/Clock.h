#pragma once

#include <functional>

namespace psucal {

// Monotonic seconds and the single way anything in psucal waits. Real time runs a nested
// event loop (the window stays live, no polling); virtual time jumps ahead for tests.
class Clock {
public:
    virtual ~Clock() = default;

    virtual double now() const = 0;

    // Returns once done() holds (checked at once and after every wake) or when the
    // deadline has passed; returns done()'s last value.
    virtual bool waitUntil(double deadline, const std::function<bool()>& done) = 0;

    // Something a waiter may be waiting for has changed: bytes arrived, a flag was raised.
    virtual void wake() = 0;
};

} // namespace psucal
