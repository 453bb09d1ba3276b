#pragma once

#include "sim/InProcessPort.h"

namespace psucal::sim {

class MeterModel;

// The meter's port for tests in virtual time, at the meter's 11 bits per character.
class InProcessMeter : public InProcessPort {
public:
    InProcessMeter(VirtualClock& clock, MeterModel& model);
    MeterModel& model() { return model_; }

private:
    MeterModel& model_;
};

} // namespace psucal::sim
