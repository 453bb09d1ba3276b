#include "db/ReportTable.h"

#include "db/FieldList.h"

#include <QStringList>
#include <QSysInfo>
#include <QUuid>

namespace psucal {

const std::array<ReportTable::Field, 15> ReportTable::Fields = {{
    {"SN", 16, "Serial No."},
    {"MaxV", 4, "Max Output Voltage"},
    {"MaxC", 5, "Max Output Current"},
    {"TEquipment", 32, "Test Equipment"},
    {"AmbientTemp", 3, "Ambient Temp"},
    {"TestBy", 24, "Tested By"},
    {"TestData", 12, "Test date"},
    {"Pass", 6, "Pass"},
    {"Step", 2, "Step"},
    {"SV", 5, "voltage Setting"},
    {"DV", 6, "voltage Display"},
    {"OV", 6, "voltage Output"},
    {"SC", 5, "current Setting"},
    {"DC", 6, "current Display"},
    {"OC", 6, "current Output"},
}};

QString ReportTable::NameList()
{
    return QuotedNames(Fields);
}

QString ReportTable::MarkList()
{
    return BindMarks(Fields);
}

QString ReportTable::ColumnList()
{
    QStringList columns;
    for (const Field& f : Fields)
        columns << QStringLiteral("\"%1\" VARCHAR(%2)").arg(QLatin1String(f.name)).arg(f.size);
    return columns.join(QStringLiteral(", "));
}

RecordSet RecordSet::Make(const QString& serial, QList<ReportTable::Row> rows)
{
    RecordSet set;
    set.setId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    set.madeAt = QDateTime::currentDateTimeUtc();
    set.bench = QSysInfo::machineHostName();
    set.serial = serial;
    set.rows = std::move(rows);
    return set;
}

} // namespace psucal
