#pragma once

#include "wizard/PortLock.h"
#include "core/BenchUi.h"

namespace psucal {

// While a page talks to the supply only "Stop" acts: every other control of the full window
// waits until the page has unwound, so that two procedures never drive the supply at once.
class PageGuard {
public:
    explicit PageGuard(BenchUi& ui) : ui_(ui), lock_(ui)
    {
        ui_.full().pageRunning = true;
        ui_.fullChanged();
    }
    ~PageGuard()
    {
        ui_.full().pageRunning = false;
        ui_.fullChanged();
    }
    PageGuard(const PageGuard&) = delete;
    PageGuard& operator=(const PageGuard&) = delete;

private:
    BenchUi& ui_;
    PortLock lock_;
};

} // namespace psucal
