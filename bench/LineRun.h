#pragma once

#include "bench/IdealRun.h"

#include <QString>
#include <QStringList>

#include <sys/resource.h>

#include <vector>

namespace psucal::bench {

// One real-time run against psucal-sim on one pacing of its line: psucal --batch --yes, or the
// bench's reference client replaying the ideal run's exchanges.
struct LineRun {
    int status = -1;
    double wall = 0; // launch to exit
    rusage usage{};
    rusage simUsage{};
    QStringList frames; // as the unit took them off the line
    double firstFrame = 0;
    double lastFrame = 0; // when the last frame kept in the count started, or the last reply ended
    // From the end of each frame's reply to the start of the next frame (-1: no reply came).
    std::vector<double> turns;
    // The program's CPU half a second in (start-up) and at its last look before the end, and when.
    double cpuAtStart = -1;
    double cpuAtLastLook = -1;
    double startLookAt = 0;
    double lastLookAt = 0;

    double span() const { return lastFrame - firstFrame; }
    // CPU per second between the two looks: the exchanges without start-up and exit.
    double exchangeCpuRate() const;
};

struct LineRunOptions {
    QString pace = QStringLiteral("uart");
    bool client = false;    // the reference client instead of psucal
    bool withTrace = false; // psucal writes --trace too
    QString straceOut;      // psucal runs under strace -c -f, writing its counts here
    // Only the first `exchanges` exchanges (0: all): psucal is stopped once the unit has the
    // frame after them, and the span ends where that frame started.
    qsizetype exchanges = 0;
    QString keepLineLog; // where the simulator's line log is copied, for a closer look
};

bool MeasureLine(const QString& binDir, const IdealRun& ideal, const LineRunOptions& options, LineRun* run,
                 QString* error);

// The reference client's script: the ideal run's exchanges with their awaited counts, time-outs
// and the waits between them. False when a frame cannot go on a script line.
bool WriteClientScript(const IdealRun& ideal, qsizetype exchanges, const QString& path);

} // namespace psucal::bench
