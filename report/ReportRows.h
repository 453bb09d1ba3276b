#pragma once

#include "db/ReportTable.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>

#include <optional>

namespace psucal {

struct ReportData;

// The records behind every printed report, in table `report` of the results database: one
// record per test spot of a unit, the header facts repeated in each. A unit's records are
// replaced as a whole by its next report.
class ReportRows {
public:
    using Field = ReportTable::Field;
    static constexpr const auto& Fields = ReportTable::Fields;

    // Creates the table and its index on SN when they are missing.
    static bool EnsureTable(QSqlDatabase& db, QString* error);

    // Replaces the unit's records by one per spot row of the voltage grid. All values are checked
    // against their field sizes first, and the delete and the inserts share one transaction, so
    // on any failure the earlier records stay and `error` says why.
    static bool SaveReport(QSqlDatabase& db, const ReportData& data, QString* error);

    // The unit's records as a set for any store, or false when a value does not fit its field;
    // `error` then says why, as SaveReport would.
    static bool MakeSet(const ReportData& data, RecordSet* set, QString* error);

    // Table `report_run` beside `report`: one row per unit whose records are stored, its
    // records' run: SN, and Repeats, the replies of that run that were asked for again.
    // Replaced with the records, in their transaction. Nothing when the unit has no such row.
    static std::optional<int> Repeats(QSqlDatabase& db, const QString& serial);

    // The records of one serial number in spot order.
    static QList<QSqlRecord> Records(QSqlDatabase& db, const QString& serial, QString* error);
};

} // namespace psucal
