#pragma once

#include <QObject>

#include <functional>

namespace psucal {

// Ctrl-C, a kill or a hang-up calls `onSignal` from the event loop, never from the handler, so
// that it may run the close sequence: "ENDS", then the end.
void RouteSignals(QObject* parent, std::function<void()> onSignal);

} // namespace psucal
