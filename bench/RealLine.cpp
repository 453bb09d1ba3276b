#include "bench/RealLine.h"

namespace psucal::bench {

RealLine::~RealLine()
{
    supplyPort.close();
    meterPort.close();
}

} // namespace psucal::bench
