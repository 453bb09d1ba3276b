#include "cal/Failure.h"

#include "core/BenchState.h"

namespace psucal {

void FailCalV(BenchState& state)
{
    state.AbortFlag = true;
    state.FailText = QStringLiteral("Cal.V failed !");
}

void FailCalC(BenchState& state)
{
    state.AbortFlag = true;
    state.FailText = QStringLiteral("Cal.C failed !");
}

} // namespace psucal
