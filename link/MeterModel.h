#pragma once

#include <QLatin1StringView>
#include <QString>

#include <array>

namespace psucal {

// One meter the bench can verify with, and its 1-year DC voltage accuracy per range:
// ±(percentOfReading % of the reading + percentOfRange % of the range).
struct MeterModel {
    struct DcRange {
        double volts;
        double percentOfReading;
        double percentOfRange;
    };

    QLatin1StringView model; // as the second field of the *IDN? answer
    std::array<DcRange, 5> dcVolts;


    // The row for an *IDN? answer ("MAKER,MODEL,SERIAL,FIRMWARE"); nullptr for a meter not in the table.
    static const MeterModel* FromIdentity(const QString& identity);
};

} // namespace psucal
