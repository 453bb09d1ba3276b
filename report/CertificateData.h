#pragma once

#include "spots/SpotResult.h"

#include <QDate>
#include <QList>
#include <QString>

namespace psucal {

// One quantity's results before and after adjustment, in spot order. `found` is empty when the
// unit was not verified as it arrived (and with run mode 1, where nothing is adjusted, the one
// pass is the as-left data).
struct CertificateResults {
    QList<SpotResult> found;
    QList<SpotResult> left;
};

// What a calibration certificate states beyond the report's own facts. The report's data
// (unit, rating, operator's boxes) travels beside it in ReportData.
struct CertificateData {
    QString number; // unique: bench, day and a sequence the store never hands out twice
    QString bench;
    QString procedure;     // what the run did to the unit, in words
    QString meterIdentity; // the meter's *IDN? answer during the passes
    QString meterId;
    QDate meterCalDue;
    QString shuntId;
    QDate shuntCalDue;
    double shuntOhm = 0.001;
    double shuntTol = 0.1; // percent
    bool referenceOverdue = false; // a reference was past its due date and the run was allowed
    QString humidity;              // percent, as entered
    bool guardRule = false;
    bool adjusted = false;
    CertificateResults voltage;
    CertificateResults current;
};

} // namespace psucal
