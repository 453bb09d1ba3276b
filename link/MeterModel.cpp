#include "link/MeterModel.h"

#include <QStringList>


namespace psucal {

namespace {
using namespace Qt::Literals::StringLiterals;

// 1-year accuracy, 23 °C ± 5 °C, after a 1-hour warm-up, at 10 PLC or more (slow, 6½ digits).
// 34401A: Agilent 34401A User's Guide, table of DC characteristics.
// 34461A: Keysight Truevolt 34460A/34461A data sheet, DC characteristics; the same figures.
// 34465A: Keysight Truevolt 34465A/34470A data sheet, DC characteristics; only the 10 V row has
//         been checked against it so far, the others must be before a certificate relies on them.
constexpr std::array<MeterModel, 3> Models{{
    {"34401A"_L1, {{{0.1, 0.0050, 0.0035}, {1, 0.0040, 0.0007}, {10, 0.0035, 0.0005}, {100, 0.0045, 0.0006},
                    {1000, 0.0045, 0.0010}}}},
    {"34461A"_L1, {{{0.1, 0.0050, 0.0035}, {1, 0.0040, 0.0007}, {10, 0.0035, 0.0005}, {100, 0.0045, 0.0006},
                    {1000, 0.0045, 0.0010}}}},
    {"34465A"_L1, {{{0.1, 0.0050, 0.0035}, {1, 0.0030, 0.0007}, {10, 0.0030, 0.0005}, {100, 0.0040, 0.0006},
                    {1000, 0.0040, 0.0006}}}},
}};
} // namespace

const MeterModel* MeterModel::FromIdentity(const QString& identity)
{
    const QStringList fields = identity.split(u',');
    if (fields.size() < 2)
        return nullptr;
    const QString model = fields[1].trimmed();
    for (const MeterModel& m : Models)
        if (model.compare(m.model, Qt::CaseInsensitive) == 0)
            return &m;
    return nullptr;
}

} // namespace psucal
