#pragma once

#include <QString>
#include <QVariant>

#include <array>

namespace psucal {

// Table `measurement`: one record per spot, check and state of a certificate, so that other tools
// can read what a certificate states. Both stores and the outbox use these fields in this order.
struct MeasurementTable {
    struct Field {
        const char* name;
        const char* type; // SQL type, the same on SQLite and PostgreSQL
    };
    static const std::array<Field, 15> Fields;
    static constexpr int CertField = 0;
    static constexpr int SerialField = 1;

    // As ReportTable's: quoted names, as many "?", and the column definitions.
    static QString NameList();
    static QString MarkList();
    static QString ColumnList();

    // One record's values in field order; NULL for an empty text.
    using Row = std::array<QVariant, 15>;
};

} // namespace psucal
