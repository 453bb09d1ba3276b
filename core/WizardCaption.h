#pragma once

#include <QString>

// The captions of the wizard button. The caption is also the wizard's state, so every
// comparison and every setter uses these, blanks included.
namespace psucal::caption {

inline const QString Design = QStringLiteral("Next   >");
inline const QString Refresh = QStringLiteral("REFRESH");
inline const QString Start = QStringLiteral("START  >");
inline const QString Wait = QStringLiteral("WAIT...");
inline const QString Next = QStringLiteral("NEXT  >");
inline const QString Close = QStringLiteral("CLOSE");

// The full window of run modes 0-2: Design ("Next   >") starts the next step, Stop ends the
// running one, Fulfill takes the next unit; Back is the other button's caption.
inline const QString Stop = QStringLiteral("Stop");
inline const QString Fulfill = QStringLiteral("Fulfill");
inline const QString Back = QStringLiteral("Back  <");

} // namespace psucal::caption
