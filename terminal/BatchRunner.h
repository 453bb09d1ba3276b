#pragma once

#include <QString>

#include <cstdio>

namespace psucal {

class Session;
class BatchHost;

// Runs the wizard in the terminal: start-up, identification, voltage step, the prompt to
// short the output terminals (Enter, or none with `yes`), current step, "ENDS".
// Returns 0 when both steps succeeded, 1 when a step failed or left points outside the
// window, 2 when the supply did not answer, 130 when a signal ended it. Run modes 0-2 go to RunFullBatch; --restore
// puts a backup back instead (0 restored, 1 refused or not confirmed, 2 no answer).
int RunBatch(Session& session, BatchHost& host, bool yes, int inputFd);

// The events' last line for a run that ended with `status`; `why` when the caller knows better.
void TellOutcome(const Session& session, BatchHost& host, int status, const QString& why = QString());

} // namespace psucal
