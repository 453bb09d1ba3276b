#include "sim/InProcessMeter.h"

#include "sim/MeterModel.h"

namespace psucal::sim {

InProcessMeter::InProcessMeter(VirtualClock& clock, MeterModel& model)
    : InProcessPort(
          clock, [&model](const QByteArray& bytes) { return model.receive(bytes); }, MeterModel::CharTime),
      model_(model)
{
}

} // namespace psucal::sim
