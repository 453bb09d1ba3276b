#pragma once

#include "sim/InProcessMeter.h"
#include "sim/InProcessSupply.h"
#include "sim/MeterModel.h"
#include "sim/SupplyModel.h"

namespace psucal::sim {

// A whole simulated bench in virtual time: the supply, the meter on its terminals (or on the
// shunt once they are shorted), and a port to each. The meter's noise follows the unit's seed.
struct InProcessBench {
    explicit InProcessBench(VirtualClock& clock, const SupplyConfig& config = {})
        : supply(config), meter(supply, config.seed, config.ideal), supplyPort(clock, supply), meterPort(clock, meter)
    {
    }

    SupplyModel supply;
    MeterModel meter;
    InProcessSupply supplyPort;
    InProcessMeter meterPort;
};

} // namespace psucal::sim
