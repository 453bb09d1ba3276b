#pragma once

#include "sim/InProcessPort.h"

namespace psucal::sim {

class SupplyModel;

// The supply's port for tests in virtual time.
class InProcessSupply : public InProcessPort {
public:
    InProcessSupply(VirtualClock& clock, SupplyModel& model);
    SupplyModel& model() { return model_; }

private:
    SupplyModel& model_;
};

} // namespace psucal::sim
