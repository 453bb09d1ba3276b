#pragma once

#include "report/ReportData.h"
#include "report/ReportRows.h"
#include "spots/SpotGrid.h"

#include <QSqlDatabase>

namespace psucal::test {

// A report of seven spots, as an earlier print would have left it.
inline bool SaveEarlierReport(QSqlDatabase& db, const QString& serial)
{
    SpotGrid v;
    SpotGrid c(true);
    v.BuildVoltageSpots(7, 1.0f, 7.0f);
    c.BuildCurrentSpots(7, 0.5f, 3.3f);
    ReportData data(v, c);
    data.SerialNo = serial;
    QString error;
    return ReportRows::SaveReport(db, data, &error);
}

} // namespace psucal::test
