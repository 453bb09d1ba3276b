#include "report/CertificateLines.h"

#include "core/Numbers.h"
#include "spots/SpotFormat.h"

#include <algorithm>
#include <cmath>

namespace psucal {

namespace {

QString Rounded(const QString& stored, int decimals)
{
    return stored.isEmpty() ? QString() : num::Fixed(stored.toDouble(), decimals);
}

// Places after the point of a stored plain decimal.
int Places(const QString& stored)
{
    const qsizetype point = stored.indexOf(u'.');
    return point < 0 ? 0 : static_cast<int>(stored.size() - point - 1);
}

QString Difference(const QString& a, const QString& b, int decimals)
{
    if (a.isEmpty() || b.isEmpty())
        return QString();
    return num::Fixed(num::RoundTo(a.toDouble() - b.toDouble(), decimals), decimals);
}

} // namespace

QString UncertaintyText(double U)
{
    if (!(U > 0) || !std::isfinite(U))
        return QStringLiteral("0");
    int exponent = static_cast<int>(std::floor(std::log10(U)));
    // Rounding may carry into a new digit (0.0996 -> 0.10): two digits are then one place fewer.
    if (num::RoundTo(U, 1 - exponent) >= std::pow(10.0, exponent + 1))
        ++exponent;
    return num::Fixed(U, std::max(0, 1 - exponent));
}

QList<CertificateLine> CertificateLines(bool current, const QList<MeasurementRow>& rows)
{
    const int decimals = spots::ValueDecimals(current);
    // One column, one number of places: the meter's digits, never fewer than the display's.
    int referencePlaces = decimals;
    for (const MeasurementRow& r : rows)
        referencePlaces = std::max(referencePlaces, Places(r.mean));
    // A mean of readings that did not all count may run to twelve digits; three past the display do.
    referencePlaces = std::min(referencePlaces, decimals + 3);

    QList<CertificateLine> lines;
    for (const MeasurementRow& r : rows) {
        CertificateLine line;
        line.check = r.check;
        const bool display = r.check == u"display";
        if (display) {
            line.spot = QString::number(r.spot);
            line.setting = Rounded(r.setting, spots::SettingDecimals(current));
            line.display = Rounded(r.display, decimals);
            line.reference = Rounded(r.mean, referencePlaces);
            line.error = Difference(r.display, r.setting, decimals);
        } else {
            line.error = Difference(r.mean, r.display, referencePlaces);
        }
        line.lower = Rounded(r.lower, decimals + 2);
        line.upper = Rounded(r.upper, decimals + 2);
        line.U = r.U.isEmpty() ? QString() : UncertaintyText(r.U.toDouble());
        line.tur = r.tur ? num::Fixed(*r.tur, 1) : QString();
        line.result = r.result;
        lines << line;
    }
    return lines;
}

} // namespace psucal
