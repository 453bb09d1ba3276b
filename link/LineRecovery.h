#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace psucal {

class BenchUi;
class Clock;
class Trace;
class Transport;
struct BenchState;

// What both links do when a reply was lost or came back malformed: let the line settle, and
// say that the question is asked again.
namespace recovery {

// Before a frame is asked again the line must have been quiet: after a silence for the time-out
// once more (at most LongestQuiet), so that the first try's answer cannot pass for the repeat's;
// after a line that went wrong, for `settled`.
constexpr double LongestQuiet = 0.3;
constexpr double QuietBeforeRepeat(bool silent, double timeout, double settled)
{
    return silent ? (timeout < LongestQuiet ? timeout : LongestQuiet) : settled;
}

// Reads and drops what the port still delivers until it has been quiet for `quiet` seconds, at
// most `limit` seconds in all, or until `stop` holds; returns what was dropped.
QByteArray Drain(Clock& clock, Transport& port, double quiet, double limit, const std::function<bool()>& stop);

// Counts a repeat in BenchState::Repeats, notes "FRAME WHY: asked again (N of OF)" in the
// trace under `port` (unless `traced` is false: the caller's own line says it) and tells the
// front end.
void AskedAgain(BenchState& state, BenchUi& ui, Trace* trace, const char* port, const QString& frame,
                const char* why, int n, int of, bool traced = true);

} // namespace recovery
} // namespace psucal
