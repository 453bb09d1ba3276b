#include "link/LineRecovery.h"

#include "core/BenchState.h"
#include "core/BenchUi.h"
#include "core/Clock.h"
#include "link/Trace.h"
#include "link/Transport.h"

#include <algorithm>

namespace psucal::recovery {

QByteArray Drain(Clock& clock, Transport& port, double quiet, double limit, const std::function<bool()>& stop)
{
    const double end = clock.now() + limit;
    QByteArray dropped = port.readAll();
    while (clock.now() < end) {
        const double quietUntil = std::min(clock.now() + quiet, end);
        const bool more = clock.waitUntil(quietUntil, [&] { return stop() || !port.isOpen() || port.bytesAvailable() > 0; });
        if (!more || stop() || !port.isOpen())
            break;
        dropped += port.readAll();
    }
    return dropped;
}

void AskedAgain(BenchState& state, BenchUi& ui, Trace* trace, const char* port, const QString& frame, const char* why,
                int n, int of, bool traced)
{
    ++state.Repeats;
    const QString text = QStringLiteral("%1 %2: asked again (%3 of %4)").arg(frame, QLatin1String(why)).arg(n).arg(of);
    if (trace && traced)
        trace->note(port, text.toLatin1());
    ui.repeated(QStringLiteral("%1 # %2").arg(QLatin1String(port), text), state.Repeats);
}

} // namespace psucal::recovery
