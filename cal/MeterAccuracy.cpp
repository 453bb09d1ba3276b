#include "cal/MeterAccuracy.h"

#include "link/MeterModel.h"

#include <QStringList>

namespace psucal::cal {

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
    // The meters the bench knows are the link's meter table; another meter is one more row there.
    const MeterModel* known = MeterModel::FromIdentity(QStringLiteral(",") + model.trimmed());
    if (!known)
        return std::nullopt;
    MeterAccuracy out{QString(known->model), {}};
    for (const MeterModel::DcRange& r : known->dcVolts)
        out.ranges.append({r.volts, r.percentOfReading, r.percentOfRange});
    return out;
}

} // namespace psucal::cal
