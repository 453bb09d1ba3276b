#include "db/MeasurementTable.h"

#include "db/FieldList.h"

#include <QStringList>

namespace psucal {

const std::array<MeasurementTable::Field, 15> MeasurementTable::Fields = {{
    {"CertNo", "text"},
    {"SN", "text"},
    {"Quantity", "text"},
    {"State", "text"},
    {"Spot", "integer"},
    {"Check", "text"},
    {"Setting", "text"},
    {"Display", "text"},
    {"Readings", "text"},
    {"Mean", "text"},
    {"RangeV", "text"},
    {"U", "text"},
    {"Lower", "text"},
    {"Upper", "text"},
    {"Result", "text"},
}};

QString MeasurementTable::NameList()
{
    return QuotedNames(Fields);
}

QString MeasurementTable::MarkList()
{
    return BindMarks(Fields);
}

QString MeasurementTable::ColumnList()
{
    QStringList columns;
    for (const Field& f : Fields)
        columns << QStringLiteral("\"%1\" %2").arg(QLatin1String(f.name), QLatin1String(f.type));
    return columns.join(QStringLiteral(", "));
}

} // namespace psucal
