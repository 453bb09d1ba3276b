#pragma once

#include <QString>

namespace psucal {

class BatchHost;
class Session;
class SpotGrid;

// Run modes 0-2 in the terminal: start-up, Define when asked for (--define), the voltage step
// (calibration unless run mode 1, then verification), the prompt to short the output terminals
// (Enter, or none with `yes`), the current step, the report when asked for (--report), "ENDS".
// Each pass's grid is printed, then PASS or FAIL. Returns 0 for PASS, 1 for FAIL, a failed
// step, a report that was not filed or an unanswered prompt, 2 when the supply did not answer.
int RunFullBatch(Session& session, BatchHost& host, bool yes, int inputFd);

// A grid as the terminal shows it: its title, a heading, one line per spot with every judged
// cell marked "pass" or "FAIL".
QString SpotGridText(const SpotGrid& grid);

} // namespace psucal
