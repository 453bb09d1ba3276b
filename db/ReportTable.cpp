#include "db/ReportTable.h"

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
