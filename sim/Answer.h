#pragma once

#include <QByteArray>

namespace psucal::sim {

// What a simulated instrument sends back for one frame. The host carries out the timing:
// the reply starts after the usual turnaround plus extraDelay, and `vanish` takes the port away.
struct Answer {
    QByteArray bytes;
    double extraDelay = 0;
    bool vanish = false;
    double restoreAfter = 0; // seconds until a vanished port is back; 0 keeps it gone
};

} // namespace psucal::sim
