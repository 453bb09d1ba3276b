#pragma once

#include "spots/SpotResult.h"

#include <QColor>
#include <QString>

#include <optional>

// How spot values are written wherever they are shown or kept: the grids, the terminal, the
// stored records, the charts' labels and the printed report.
namespace psucal::spots {

inline const QColor PassColor(0, 128, 0); // dark green, &H8000
inline const QColor FailColor(192, 0, 0); // dark red, &HC0

// "0.0" / "0.00" for a setting, "0.00" / "0.000" for a display or an output.
int SettingDecimals(bool current);
int ValueDecimals(bool current);

QString SettingText(bool current, double setting);
// Nothing when there is no value.
QString ValueText(bool current, const std::optional<double>& value);

// The text colour of a judged cell; none before it is judged.
QColor VerdictColor(Verdict verdict);
// "pass", "FAIL", the conditional "pass*" and "FAIL*", or nothing, for the terminal.
QString VerdictMark(Verdict verdict);
// The display check does not decide the unit's verdict, so it says where the display lies: "ok",
// "high" or "low" against its window ("ok*", "high*", "low*" within U of a limit), or nothing when
// there was no display to judge.
QString DisplayMark(const SpotResult& spot);

} // namespace psucal::spots
