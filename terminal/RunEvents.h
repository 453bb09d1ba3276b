#pragma once

#include <QString>

namespace psucal {

class BatchHost;
class Session;

// The moments of a batch run that the event stream tells; nothing when there is no stream.
namespace runevents {

void Started(BatchHost& host, const Session& session);
void StepBegins(BatchHost& host, const QString& step);
void StepEnds(BatchHost& host, bool ok);
void Prompted(BatchHost& host, const QString& text);
// The run's one outcome; a later one is not told.
void Ended(BatchHost& host, const Session& session, const QString& result, int status);

} // namespace runevents
} // namespace psucal
