#pragma once

#include "db/MeasurementTable.h"
#include "spots/SpotResult.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>

#include <optional>

namespace psucal {

struct CertificateData;
struct ReportData;

// One row of table `measurement`, as the certificate prints it and the stores keep it: texts as
// stored, numbers as plain decimals that read back to the same double. Empty means not there.
struct MeasurementRow {
    QString certNo;
    QString serial;
    QString quantity; // "V" or "I"
    QString state;    // "found" or "left"
    int spot = 0;     // 1-based
    QString check;    // "display" or "output"
    QString setting;
    QString display;
    QString readings; // the meter's answers as sent, separated by blanks
    QString mean;     // the readings' mean in volts or amperes, unrounded; else the typed output
    QString rangeV;
    QString U;
    QString lower;
    QString upper;
    // The output check: "Pass", "Fail", "Pass*", "Fail*". The display check, which decides
    // nothing: "ok", "high", "low" (and starred). Empty when not measured.
    QString result;
    // (upper - lower) / 2U; not stored, as it follows from the row.
    std::optional<double> tur;
};

class MeasurementRows {
public:
    // Voltage before current, as found before as left, spots in order, the display check before
    // the output check.
    static QList<MeasurementRow> Build(const CertificateData& certificate, const QString& serial);
    // The certificate's rows of a report; none without a certificate.
    static QList<MeasurementRow> Build(const ReportData& data);
    static QList<MeasurementTable::Row> Records(const ReportData& data);

    // Without U there is no ratio.
    static std::optional<double> Tur(const CheckLimits& limits);
    // A plain decimal with "." that reads back to the same double; empty when not finite.
    static QString Plain(double value);
    // The output check's verdict as the rows keep it.
    static QString ResultText(Verdict verdict);

    // Calibration.dt: the table and its indexes when missing.
    static bool EnsureTable(QSqlDatabase& db, QString* error);
    // Replaces the rows of the certificates among `rows`, inside the caller's transaction: rows of
    // other certificates of the unit are kept.
    static bool Replace(QSqlDatabase& db, const QList<MeasurementTable::Row>& rows, QString* error);
    // The rows of the unit's latest certificate in Calibration.dt, or with `allRuns` of every
    // certificate, newest first.
    static QList<QSqlRecord> Read(QSqlDatabase& db, const QString& serial, QString* error, bool allRuns = false);
};

} // namespace psucal
