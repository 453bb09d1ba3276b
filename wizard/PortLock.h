#pragma once

#include "core/BenchUi.h"

namespace psucal {

// A port change would close the supply port under a running exchange, so the selector is
// locked while the wizard talks to the supply. A nested lock leaves it as it found it.
class PortLock {
public:
    explicit PortLock(BenchUi& ui) : ui_(ui), was_(ui.portSelectable()) { ui_.setPortSelectable(false); }
    ~PortLock() { ui_.setPortSelectable(was_); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

private:
    BenchUi& ui_;
    bool was_;
};

} // namespace psucal
