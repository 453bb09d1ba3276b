#include "sim/InProcessSupply.h"

#include "sim/SupplyModel.h"

namespace psucal::sim {

InProcessSupply::InProcessSupply(VirtualClock& clock, SupplyModel& model)
    : InProcessPort(clock, [&model](const QByteArray& bytes) { return model.receive(bytes); }), model_(model)
{
}

} // namespace psucal::sim
