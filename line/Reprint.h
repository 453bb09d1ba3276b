#pragma once

#include "line/LineData.h"

#include <QByteArray>
#include <QString>

namespace psucal::line {

// A run's report again, as an A4 PDF painted by the code that filed it on the bench. Only what
// the records keep can show: the client's model box is the run's rating, and of the two checks
// only the output's is marked again (the display window is not recorded).
QByteArray ReprintPdf(const UnitRun& run, QString* error);

} // namespace psucal::line
