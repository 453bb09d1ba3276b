#pragma once

#include "db/MeasurementTable.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

#include <array>

namespace psucal {

// Table `report`: one record per test spot of a unit, the header facts repeated in each. Every
// store of the records, local or on a server, uses these fields in this order.
struct ReportTable {
    struct Field {
        const char* name;
        int size;          // characters at most
        const char* label; // how the operator knows the value
    };
    static const std::array<Field, 15> Fields;
    static constexpr int SerialField = 0;
    static constexpr int StepField = 8;

    // The fields for SQL, in field order: their quoted names, as many "?", and the column
    // definitions. Quoted, the names keep their case on PostgreSQL too.
    static QString NameList();
    static QString MarkList();
    static QString ColumnList();

    // One record's values in field order; NULL for an empty text.
    using Row = std::array<QVariant, 15>;
};

// One unit's records as one report made them. A set replaces the unit's earlier set as a whole;
// its id and the time it was made let a late resend neither duplicate it nor undo a newer one.
struct RecordSet {
    QString setId;
    QDateTime madeAt; // UTC, milliseconds
    QString bench;    // host name of the PC that made it
    QString serial;   // empty: the records carry no serial number and replace nothing
    int repeats = 0;  // replies of the run that were asked for again (a noisy line)
    QList<ReportTable::Row> rows;
    // A certificate's measurements, stored with the records or not at all.
    QList<MeasurementTable::Row> measurements;

    // A new set made now on this PC.
    static RecordSet Make(const QString& serial, QList<ReportTable::Row> rows);
};

} // namespace psucal
