#pragma once

#include "spots/SpotResult.h"

#include <QList>
#include <QString>

namespace psucal {

// One printed line of a results table: one check of one spot. The spot's own values (number,
// setting, display, reference reading) stand on its first line only, so that the two checks of a
// spot read as one group.
struct CertificateLine {
    QString spot;
    QString setting;
    QString display;
    QString reference; // the meter's mean, in the table's unit
    QString check;     // "display" or "output"
    QString error;     // display - setting, or reference - display
    QString lower;
    QString upper;
    QString U; // empty when the meter's accuracy was not known
    QString tur;
    QString result; // Pass, Fail, Pass*, Fail*, or empty when not measured
};

// Two lines per spot, the display check first. Values at the grid's resolution, the limits two
// places finer (1 % of a display needs them), U to two significant digits.
QList<CertificateLine> CertificateLines(bool current, const QList<SpotResult>& spots);

// The words a certificate and the stored measurements use for a verdict.
QString ResultWord(Verdict verdict);
// U to two significant digits; "0" for none.
QString UncertaintyText(double U);

} // namespace psucal
