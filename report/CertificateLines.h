#pragma once

#include "report/MeasurementRows.h"

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
    QString result; // as the row keeps it
};

// The printed lines of one table from the stored rows of one quantity and state, in their order
// (a spot's display check before its output check). Settings and displays at the grid's
// resolution, the reference readings at the finest the table's readings have, the limits two places
// finer than a display (1 % of a display needs them), U to two significant digits: every number
// is the stored one, rounded for print.
QList<CertificateLine> CertificateLines(bool current, const QList<MeasurementRow>& rows);

// U to two significant digits; "0" for none.
QString UncertaintyText(double U);

} // namespace psucal
