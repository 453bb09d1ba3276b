#pragma once

namespace psucal {

struct BenchState;

// The failure reporters of the calibration steps: raise AbortFlag and name the failed step.
void FailCalV(BenchState& state);
void FailCalC(BenchState& state);

} // namespace psucal
