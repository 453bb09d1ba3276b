#include "report/CertificateLines.h"

#include "cal/Uncertainty.h"
#include "core/Numbers.h"
#include "spots/SpotFormat.h"

#include <cmath>

namespace psucal {

namespace {

QString Optional(const std::optional<double>& value, int decimals)
{
    return value ? num::Fixed(*value, decimals) : QString();
}

// A difference of two values that are both at the grid's resolution; none when either is missing.
QString Difference(const std::optional<double>& a, const std::optional<double>& b, int decimals)
{
    if (!a || !b)
        return QString();
    return num::Fixed(num::RoundTo(*a - *b, decimals), decimals);
}

void Judged(CertificateLine& line, const CheckLimits& limits, Verdict verdict, int decimals)
{
    line.result = ResultWord(verdict);
    if (limits.lower == 0 && limits.upper == 0)
        return; // a check that was never set up has no limits to print
    line.lower = num::Fixed(limits.lower, decimals + 2);
    line.upper = num::Fixed(limits.upper, decimals + 2);
    if (!limits.U)
        return;
    line.U = UncertaintyText(*limits.U);
    if (const std::optional<double> tur = cal::Tur(limits.lower, limits.upper, *limits.U))
        line.tur = num::Fixed(*tur, 1);
}

} // namespace

QString ResultWord(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("Pass");
    case Verdict::Fail:
        return QStringLiteral("Fail");
    case Verdict::ConditionalPass:
        return QStringLiteral("Pass*");
    case Verdict::ConditionalFail:
        return QStringLiteral("Fail*");
    case Verdict::NotMeasured:
        break;
    }
    return QString();
}

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

QList<CertificateLine> CertificateLines(bool current, const QList<SpotResult>& spots)
{
    const int decimals = spots::ValueDecimals(current);
    QList<CertificateLine> lines;
    for (qsizetype i = 0; i < spots.size(); ++i) {
        const SpotResult& s = spots[i];
        CertificateLine display;
        display.spot = QString::number(i + 1);
        display.setting = spots::SettingText(current, s.setting);
        display.display = Optional(s.display, decimals);
        display.reference = Optional(s.mean, decimals);
        display.check = QStringLiteral("display");
        display.error = Difference(s.display, s.setting, decimals);
        Judged(display, s.displayLimits, s.displayCheck, decimals);

        CertificateLine output;
        output.check = QStringLiteral("output");
        output.error = Difference(s.mean, s.display, decimals);
        Judged(output, s.outputLimits, s.outputCheck, decimals);
        lines << display << output;
    }
    return lines;
}

} // namespace psucal
