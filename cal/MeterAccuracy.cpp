#include "cal/MeterAccuracy.h"

#include <QStringList>

namespace psucal::cal {

namespace {
// Another meter is one more entry here.
const QList<MeterAccuracy>& Known()
{
    static const QList<MeterAccuracy> known{
        {QStringLiteral("34401A"),
         {{0.1, 0.0050, 0.0035}, {1, 0.0040, 0.0007}, {10, 0.0035, 0.0005}, {100, 0.0045, 0.0006},
          {1000, 0.0045, 0.0010}}},
    };
    return known;
}
} // namespace

std::optional<RangeAccuracy> MeterAccuracy::rangeFor(double configuredV) const
{
    for (const RangeAccuracy& r : ranges) {
        if (r.rangeV >= configuredV)
            return r;
    }
    return std::nullopt;
}

QString IdnModel(const QString& idn)
{
    const QStringList fields = idn.split(u',');
    return (fields.size() >= 2 ? fields.at(1) : idn).trimmed();
}

std::optional<MeterAccuracy> FindMeterAccuracy(const QString& model)
{
    for (const MeterAccuracy& m : Known()) {
        if (m.model.compare(model.trimmed(), Qt::CaseInsensitive) == 0)
            return m;
    }
    return std::nullopt;
}

} // namespace psucal::cal
