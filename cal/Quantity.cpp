#include "cal/Quantity.h"

#include "cal/Failure.h"
#include "core/BenchState.h"
#include "link/SupplyLink.h"

namespace psucal::cal {

const Quantity VoltageQuantity{
    .letter = 'V',
    .set = &SupplyLink::setVoltage,
    .setDecimals = 1,
    .cellScale = 100,
    .errorDecimals = 2,
    .biasBase = 0.02,
    .retrigger = 0.1,
    .smallStep = 0.01,
    .roundBeforeBias = false,
    .shown = &DisplayReading::volts,
    .pauseAfterFirstRead = 0,
    .guardsOpenTerminals = false,
    .windowLow = &BenchState::RigorDnV,
    .windowHigh = &BenchState::RigorUpV,
    .fail = FailCalV,
};

const Quantity CurrentQuantity{
    .letter = 'C',
    .set = &SupplyLink::setCurrent,
    .setDecimals = 2,
    .cellScale = 1000,
    .errorDecimals = 3,
    .biasBase = 0.004,
    .retrigger = 0.01,
    .smallStep = 0.001,
    .roundBeforeBias = true,
    .shown = &DisplayReading::amps,
    .pauseAfterFirstRead = 0.1,
    .guardsOpenTerminals = true,
    .windowLow = &BenchState::RigorDnC,
    .windowHigh = &BenchState::RigorUpC,
    .fail = FailCalC,
};

} // namespace psucal::cal
